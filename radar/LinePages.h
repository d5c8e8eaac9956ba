// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <QJsonArray>
#include <QObject>
#include <QVector>

#include <functional>

class PeakReadout;
class QCheckBox;
class QCustomPlot;
struct DisplaySpectrum;
namespace Ui {
class TR7310_tab;
}

// The tab's four line pages (raw, beat spectrum, range, Doppler) with their peak read-outs,
// plot menus and axis resets. Each frame is drawn on the axes it was taken with.
class LinePages : public QObject
{
    Q_OBJECT
public:
    enum Page { Raw = 0, Spectrum = 1, Range = 2, Doppler = 3 };

    // shownSweepType gives the sweep type (-1 unknown) of the frame on show, which picks the
    // Doppler page's note and span.
    LinePages(Ui::TR7310_tab &ui, std::function<int()> shownSweepType, QObject *parent = nullptr);

    void draw(Page page, const QVector<double> &w, const RadarMath::FrameAxes &axes);

    void resetRaw();
    void resetSpectrum();
    void resetRange();
    void resetDoppler();
    // The markers set on the pages, for the sidecar and exports of the frame on show.
    QJsonArray markers() const;
    // The far end of the range axis the last range spectrum reached (m).
    double maxRange() const { return rangeTop; }

    // The wheel zooms exactly the axes whose boxes are checked; dragging is never switched off.
    static void setZoom(QCustomPlot *plot, QCheckBox *xBox, QCheckBox *yBox);

signals:
    // A read-out's window or peak settings changed: the page needs drawing again.
    void settingsChanged();

private:
    void drawRaw(const QVector<double> &w, double samplePeriodS);
    void showPeaks(PeakReadout *readout, QCustomPlot *plot, const DisplaySpectrum &s,
                   const RadarMath::FrameAxes &axes, int n);

    Ui::TR7310_tab &ui;
    PeakReadout *spectrumPeaks = nullptr;
    PeakReadout *rangePeaks = nullptr;
    PeakReadout *dopplerPeaks = nullptr;
    double lastRawTime = 0.0;
    double rangeTop = 0.0;
    bool resetRangePending = true;
    std::function<int()> sweepType;
};
