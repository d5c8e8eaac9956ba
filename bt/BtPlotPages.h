// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <QJsonArray>
#include <QObject>
#include <QVector>

class QCustomPlot;
class QGridLayout;
class QWidget;
class PeakReadout;

// The Bluetooth tab's four plot pages: raw data, spectrum, range and Doppler, each a line plot
// placed in the page's empty layout, the three spectrum pages with their peak read-outs. The
// frame is drawn on the page that shows; the key axis is fitted when the frame length changes
// and otherwise keeps the user's zoom.
class BtPlotPages : public QObject
{
    Q_OBJECT
public:
    enum Page { RawPage, SpectrumPage, RangePage, DopplerPage, PageCount };

    // layouts: the raw, spectrum, range and Doppler pages' layouts, in that order.
    BtPlotPages(QWidget *owner, QGridLayout *const (&layouts)[PageCount]);

    // Draws the frame on page (other indices draw nothing); sweepType picks the Doppler note.
    void draw(int page, const QVector<double> &samples, const RadarMath::FrameAxes &axes,
              int sweepType);
    // The next draw fits every page's key axis again (the sample period changed).
    void refitAll();
    // The markers the user placed, for the sidecar.
    QJsonArray markers() const;

signals:
    // A read-out's settings (its window) changed: the page wants the frame drawn again.
    void redrawWanted();

private:
    void resetAxes(int page);

    QCustomPlot *plots[PageCount] = {};
    PeakReadout *readouts[PageCount] = {}; // under the three spectrum pages
    int plottedLength[PageCount] = {-1, -1, -1, -1};
    int shownSweepType = -1;
};
