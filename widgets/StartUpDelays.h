// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The delays after which a new radar tab reads its settings back from the kit and tunes it.
// Tests shorten them, keeping their order, so that they need not wait in real time.
namespace StartUpDelays {
// Applies to tabs made from now on; 1 unless replaced.
void setScale(double scale);
// A start-up delay of ms milliseconds, scaled, never negative.
int scaled(int ms);
} // namespace StartUpDelays
