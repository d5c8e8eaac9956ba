// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The radar tab as a user and a script see it: form widgets by object name, its signals and its
// public calls. Frames without a kit are shown as recorded frames are.

#include "capture/Recording.h"
#include "radar/TR7310_tab.h"
#include "widgets/MapImage.h"
#include "widgets/StartUpDelays.h"
#include "widgets/parameterDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRubberBand>
#include <QTabWidget>
#include <QTest>

#include <qcustomplot.h>

#include <cmath>
#include <optional>

struct TR7310_tabProbe
{
    explicit TR7310_tabProbe(TR7310_tab &tab) : t(tab) {}

    QVector<double> samples() const { return t.frameOnShow().samples; }
    QVector<double> previousSamples() const { return t.frameOnShow().previous; }
    RadarMath::FrameAxes frameAxes() const { return t.frameOnShow().axes; }
    CaptureCycle::State state() const { return t.captureState(); }
    bool continuousCapture() const { return state() == CaptureCycle::State::Continuous; }
    bool collectionRunning() const { return state() == CaptureCycle::State::Collecting; }
    bool rfOn() { return w<QPushButton>("rf_power_btn")->styleSheet().contains("green"); }

    // Frames without a kit: shown as a recorded frame with a sidecar that gives the sweep set
    // here (the kit's, when none is set), and drawn on the page on show. Setting a sweep shows
    // the frame on show again (one zero sample if none) on it.
    void setSweep(double startGHz, double stopGHz, double rampMs)
    {
        setKitSweep(RadarMath::Sweep{startGHz, stopGHz, rampMs});
    }
    void setKitSweep(const RadarMath::Sweep &s)
    {
        sweep = s;
        const QVector<double> now = samples();
        show(now.isEmpty() ? QVector<double>{0.0} : now);
    }
    void show(const QVector<double> &frame)
    {
        Recording::Frame f;
        f.readOk = true;
        f.samples = frame;
        if (sweep) {
            f.hasMeta = true;
            f.meta.sweepKnown = true;
            f.meta.sweep = *sweep;
            f.meta.samplePeriodS = t.frameOnShow().axes.samplePeriodS;
            f.meta.sampleCount = int(frame.size());
        }
        t.showRecordedFrame(f);
    }
    // The tab reads the kit's sweep back, as at start-up, and waits for it.
    void readBack()
    {
        QMetaObject::invokeMethod(&t, "readFreqs");
        QMetaObject::invokeMethod(&t, "readRamptime");
        settle();
    }
    // The page on show again, as a page switch or a read-out setting draws it.
    void plot() { QMetaObject::invokeMethod(&t, "plot"); }
    void mousePress(QMouseEvent *e)
    {
        QMetaObject::invokeMethod(&t, "mousePress", Q_ARG(QMouseEvent *, e));
    }
    QRubberBand *rubberBand() const { return t.findChild<QRubberBand *>(); }

    // The colour maps over time, as their plots hold them.
    static QCPColorMap *mapOf(QCustomPlot *plot)
    {
        for (int i = 0; i < plot->plottableCount(); ++i)
            if (auto *map = qobject_cast<QCPColorMap *>(plot->plottable(i)))
                return map;
        qFatal("no colour map");
        return nullptr;
    }
    QCPColorMap *rawTimeMap() { return mapOf(plotWidget("rawTime_wdgt")); }
    QCPColorMap *vsTimeMap() { return mapOf(plotWidget("FrequencyVsTimePlot_wdgt")); }
    QCPColorScale *vsTimeScale() { return vsTimeMap()->colorScale(); }
    QCPTextElement *vsTimeTitle()
    {
        QCPLayoutGrid *layout = plotWidget("FrequencyVsTimePlot_wdgt")->plotLayout();
        for (int i = 0; i < layout->elementCount(); ++i)
            if (auto *title = qobject_cast<QCPTextElement *>(layout->elementAt(i)))
                return title;
        qFatal("no title");
        return nullptr;
    }
    // The next column a map writes, while it has not wrapped: columns fill from the left.
    static int column(QCPColorMap *map)
    {
        int filled = 0;
        for (int c = 0; c < map->data()->keySize(); ++c)
            filled += std::isnan(map->data()->cell(c, 0)) ? 0 : 1;
        return filled % map->data()->keySize();
    }
    int rawTimeColumn() { return column(rawTimeMap()); }
    int vsTimeColumn() { return column(vsTimeMap()); }
    // The far end of the range plot, where its reset button puts the axis.
    double maxRange()
    {
        w<QAbstractButton>("resetRangeAxes_btn")->click();
        return plotWidget("rangeSpectrum_wdgt")->xAxis->range().upper;
    }

    // The message dialog: its text, whether it is up, and dismissing it.
    parameterDialog *dialog() { return t.findChild<parameterDialog *>(); }
    QString message() { return dialog()->findChild<QLabel *>(QStringLiteral("label"))->text(); }
    bool messageShown() { return dialog()->isVisible(); }
    void dismissMessage()
    {
        dialog()->hide();
        dialog()->setMessage(QString());
    }
    void finishEditing(const char *name, const QString &text)
    {
        setText(name, text);
        emit w<QLineEdit>(name)->editingFinished();
    }

    template <typename W = QWidget> W *w(const char *name)
    {
        W *found = t.findChild<W *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QCustomPlot *plotWidget(const char *name) { return w<QCustomPlot>(name); }
    QString text(const char *name) { return w<QLineEdit>(name)->text(); }
    void setText(const char *name, const QString &text) { w<QLineEdit>(name)->setText(text); }
    // Clicks and waits until the device work it started is done and its results are shown.
    void click(const char *name)
    {
        w<QAbstractButton>(name)->click();
        settle();
    }
    // The link thread has nothing of this tab queued or running, and every result has arrived.
    bool idle() const { return t.pendingLinkJobs() == 0; }
    bool settle(int timeoutMs = 15000)
    {
        return QTest::qWaitFor([this] { return idle(); }, timeoutMs);
    }
    void showPage(int index) { w<QTabWidget>("plot_tab")->setCurrentIndex(index); }

    TR7310_tab &t;
    std::optional<RadarMath::Sweep> sweep;
};

// Turns the kvvlx.radar debug lines on while it lives, whatever QT_LOGGING_RULES says, so that
// tests can expect them with QTest::ignoreMessage.
class RadarLogOn
{
public:
    RadarLogOn() { previous = QLoggingCategory::installFilter(&RadarLogOn::filter); }
    ~RadarLogOn()
    {
        QLoggingCategory::installFilter(previous);
        previous = nullptr;
    }

private:
    static void filter(QLoggingCategory *category)
    {
        if (previous)
            previous(category);
        if (qstrcmp(category->categoryName(), "kvvlx.radar") == 0)
            category->setEnabled(QtDebugMsg, true);
    }
    static inline QLoggingCategory::CategoryFilter previous = nullptr;
};

// The tabs' start-up read-backs and tune at a fifth of their delays, in the same order, so the
// tests do not wait 1.5 s for each tab.
inline void quickStartUp() { StartUpDelays::setScale(0.2); }
