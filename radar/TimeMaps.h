// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"
#include "widgets/MapPage.h"

#include <QObject>
#include <QVector>

#include <memory>

class QCPTextElement;
namespace Ui {
class TR7310_tab;
}

// The tab's two colour maps over time: raw samples per capture, and the spectrum per capture
// with its rows labelled in frequency, velocity or range as the form's axis buttons choose.
class TimeMaps : public QObject
{
    Q_OBJECT
public:
    explicit TimeMaps(Ui::TR7310_tab &ui, QObject *parent = nullptr);
    ~TimeMaps() override;

    // One capture more: a column on the map. capture numbers the frame on show
    // (ShownFrame::number); a map takes each capture once, however often its page is shown.
    void addRaw(const QVector<double> &w, const RadarMath::FrameAxes &axes, quint64 capture);
    void addSpectrum(const QVector<double> &w, const RadarMath::FrameAxes &axes, quint64 capture);
    // Labels the spectrum map's rows for axes in the chosen quantity, and resets its view.
    void applyAxisMode(const RadarMath::FrameAxes &axes);
    // The frame on show changed its axes: the spectrum map's rows follow once it holds frames.
    void axesChanged(const RadarMath::FrameAxes &axes);

    MapPage &raw() { return *rawPage; }
    MapPage &spectrum() { return *vsTimePage; }
    QCPTextElement *spectrumTitle() const { return vsTimeTitle; }

private:
    Ui::TR7310_tab &ui;
    std::unique_ptr<MapPage> rawPage;
    std::unique_ptr<MapPage> vsTimePage;
    QCPTextElement *vsTimeTitle = nullptr;
    RadarMath::FrameAxes vsTimeAxes; // the axes the spectrum map's rows were labelled for
    quint64 rawCapture = 0;          // the capture each map took last (0: none yet)
    quint64 spectrumCapture = 0;
};
