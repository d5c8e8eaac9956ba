// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

// Peaks of a spectrum in dB: the strongest local maxima, refined between bins, and a
// cell-averaging CFAR detector. Positions are in bins of the array handed in (fractional).
namespace Peaks {

struct Peak
{
    double bin = 0.0;     // refined position
    double levelDb = 0.0; // refined level
};

// Offset in bins (-0.5 ... 0.5) of the vertex of the parabola through three neighbouring values,
// the middle one the highest; 0 when they do not bend downwards.
double parabolicOffset(double left, double centre, double right);

// Every local maximum of db[0 .. n-1] whose refined level exceeds aboveDb, refined by a parabola
// through its three highest bins, in the order they lie. Non-finite values are never maxima.
std::vector<Peak> maxima(const double *db, int n, double aboveDb);

// The maxPeaks strongest local maxima of db[0 .. n-1], strongest first, each refined by a parabola
// through its three highest bins. A maximum within minSeparation bins of a stronger one is part of
// that one's peak and not listed. Non-finite values are never peaks.
std::vector<Peak> strongest(const double *db, int n, int maxPeaks, double minSeparation);

struct CfarSettings
{
    int guardCells = 2;     // each side of the cell under test
    int trainingCells = 16; // each side, beyond the guard cells
    double falseAlarmRate = 1e-4;
};

struct CfarResult
{
    std::vector<double> thresholdDb; // one per bin; NaN where no training cell exists
    std::vector<Peak> detections;    // strongest first, at most maxPeaks
};

// Cell-averaging CFAR on the power 10^(db/10). cellWidth is the number of array bins that make one
// independent cell (the padding factor of a zero-padded spectrum): guard and training widths are
// counted in cells, and the threshold factor alpha = M (Pfa^(-1/M) - 1) uses the M independent
// training cells found, so that padding does not make the detector over-confident. At the ends the
// training window keeps only its side inside the spectrum. Detections are the peaks (as
// strongest() finds them) whose level exceeds the threshold at their bin.
CfarResult cfar(const double *db, int n, const CfarSettings &settings, int cellWidth, int maxPeaks,
                double minSeparation);

} // namespace Peaks
