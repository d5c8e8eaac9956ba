// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/PaddedFft.h"
#include "dsp/Peaks.h"
#include "dsp/PowerUnits.h"
#include "kit/RadarMath.h"

#include <QVector>
#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QCPGraph;
class QCPItemText;
class QCustomPlot;
class QLabel;
class QLayout;
class QSpinBox;
class QTableWidget;

// The read-out under a spectrum page of either radar tab: the strongest peaks of the frame shown,
// refined between bins, in the page's unit with their level, marked on the plot; optionally the
// detections of a CA-CFAR whose threshold is drawn. It also holds the page's window choice.
class PeakReadout : public QWidget
{
    Q_OBJECT
public:
    // What the page's x axis shows; the table's second column shows the other unit where useful.
    enum class Page { Spectrum, Range, DopplerShift, DopplerVelocity };

    // Adds the marker and threshold graphs to plot (after graph 0, the spectrum).
    PeakReadout(QCustomPlot *plot, Page page, QWidget *parent = nullptr);

    SpectrumWindow window() const;
    bool cfarOn() const;
    int peakCount() const;

    // spectrum: the page's curve (shown) and the one its peaks are found on, bin i at i times the
    // bin spacing of a frame of frameLength samples on the axes given. Lists and marks its
    // reflectors, one per tone whatever the window; does not replot.
    void show(const DisplaySpectrum &spectrum, const RadarMath::FrameAxes &axes, int frameLength);
    void clear();

    // The page's x axis for a spectrum of bins bins of a frame of frameLength samples.
    QVector<double> keys(int bins, const RadarMath::FrameAxes &axes, int frameLength) const;

    // A note shown instead of the table (empty: the table), e.g. when the page's unit means nothing
    // for the kit's sweep; while it shows, no peaks are listed or marked.
    void setNote(const QString &note);

    // The peaks listed, in the page's x unit.
    struct Row
    {
        double position = 0.0;
        double other = 0.0; // beat frequency (Range), velocity or shift (Doppler); NaN otherwise
        double levelDb = 0.0;
    };
    const std::vector<Row> &rows() const { return listed; }

signals:
    // A setting that changes the curve or the peaks: the tab draws the page again.
    void settingsChanged();

private:
    void makeTable();
    QLayout *makeSettings();
    void makeNote();
    void addGraphs();
    // The peaks to list, in bins of the spectrum shown; draws or hides the CFAR threshold.
    std::vector<Peaks::Peak> findPeaks(const DisplaySpectrum &spectrum,
                                       const RadarMath::FrameAxes &axes, double hzPerBin);
    void fillTable(const RadarMath::FrameAxes &axes, double hzPerBin);
    void numberMarkers();
    double position(double bin, double hzPerBin, const RadarMath::FrameAxes &axes) const;
    double other(double hz, const RadarMath::FrameAxes &axes) const;

    QCustomPlot *plot;
    Page page;
    QTableWidget *table;
    QLabel *noteLabel;
    QComboBox *windowBox;
    QSpinBox *countBox;
    QCheckBox *cfarBox;
    QSpinBox *guardBox;
    QSpinBox *trainingBox;
    QComboBox *pfaBox;
    QCPGraph *markers;
    QCPGraph *threshold;
    QVector<QCPItemText *> labels;
    std::vector<Row> listed;
};
