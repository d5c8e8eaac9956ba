// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The USB tab on the virtual kit, capturing: Collect and Plot against the floor its pauses set,
// ten seconds of continuous capture with a Stop halfway through a frame, and the longest time the
// window's thread goes without serving its events during continuous capture on each page.

// The tab's pages in order, as the figures name them.
inline constexpr const char *kPageNames[] = {"raw",     "spectrum",    "range",
                                             "Doppler", "raw vs time", "vs time"};

void registerLiveBenchmarks();
void printLiveFigures();
