// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A column of n values shown on fewer pixels: pixel j stands for the values j n / p up to
// (j + 1) n / p (integer division), and keeps the one value that must stay visible there. The data
// behind a plot stays whole; only the picture is thinned.
namespace ScreenDecimation {

enum class Keep {
    Highest, // a spectrum: the strongest bin, so that a peak narrower than a pixel shows
    Extreme, // a signal about zero: the value farthest from zero, with its sign
};

// out[j] for j = 0 ... pixels - 1 from in[i * stride] for i = 0 ... n - 1 (pixels <= n). NaN
// values are passed over; a pixel of NaN only is NaN.
void column(const double *in, int n, int stride, double *out, int pixels, Keep keep);

} // namespace ScreenDecimation
