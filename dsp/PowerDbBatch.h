// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// powerDb (dsp/PaddedFft.h) of n powers in place, as one batch: four at a time where the
// processor has AVX2 and FMA, by a table of 256 reciprocals and a seventh-degree polynomial, which
// agrees with powerDb to 1e-13 dB at a quarter of its cost; powerDb itself elsewhere and for 0,
// subnormal, infinite and NaN powers.
void powerDbInPlace(double *p, int n);
