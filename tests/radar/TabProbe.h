// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// White-box access to the radar tab's state for the tests (the tab names this struct its friend).

#include "link/LinkThread.h"
#include "radar/TR7310_tab.h"
#include "widgets/MapImage.h"
#include "widgets/MapPage.h"
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

struct TR7310_tabProbe
{
    explicit TR7310_tabProbe(TR7310_tab &tab) : t(tab) {}

    QVector<double> &samples() { return t.samples; }
    QVector<double> &previousSamples() { return t.previousSamples; }
    QList<QVector<double>> &history() { return t.captureHistory; }
    QString &saveLoc() { return t.saveLoc; }
    QString &collectionFolder() { return t.collectionFolder; }
    int &captureCount() { return t.captureCount; }
    bool continuousCapture() const { return t.continuousCapture; }
    bool collectionRunning() const { return t.collectionRunning; }
    bool rfOn() const { return t.rfOn; }
    double maxRange() const { return t.maxRange; }
    int rawTimeColumn() const { return t.rawTimePage->column(); }
    int vsTimeColumn() const { return t.vsTimePage->column(); }
    QCPColorMap *rawTimeMap() const { return t.rawTimePage->map(); }
    QCPColorMap *vsTimeMap() const { return t.vsTimePage->map(); }
    QCPColorScale *vsTimeScale() const { return t.vsTimePage->scale(); }
    QCPTextElement *vsTimeTitle() const { return t.vsTimeTitle; }
    QStringList loadFiles() const { return t.loadFiles; }
    RadarMath::FrameAxes &kitAxes() { return t.kitAxes; }
    RadarMath::FrameAxes &frameAxes() { return t.frameAxes; }
    // A sweep as if the kit had reported it, for the frame held as well.
    void setSweep(double startGHz, double stopGHz, double rampMs)
    {
        t.kitAxes.sweep = {startGHz, stopGHz, rampMs};
        t.frameAxes = t.kitAxes;
    }
    void plot() { t.plot(); }
    // The kit's read-back settings, which a live frame is drawn with.
    void setKitSweep(const RadarMath::Sweep &sweep)
    {
        t.kitAxes.sweep = sweep;
        t.frameAxes.sweep = sweep;
    }
    RadarMath::FrameAxes frameAxes() const { return t.frameAxes; }
    void applyAxisMode() { t.applyAxisMode(); }
    void mousePress(QMouseEvent *e) { t.mousePress(e); }
    QRubberBand *rubberBand() const { return t.rubberBand; }
    // The message dialog: its text, whether it is up, and dismissing it.
    QString message() const
    {
        return t.msgDialog->findChild<QLabel *>(QStringLiteral("label"))->text();
    }
    bool messageShown() const { return t.msgDialog->isVisible(); }
    void dismissMessage()
    {
        t.msgDialog->hide();
        t.msgDialog->setMessage(QString());
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
    // The link thread has nothing queued or running, and every result has reached the tab.
    bool idle() const { return !t.link || t.link->pending() == 0; }
    bool settle(int timeoutMs = 15000)
    {
        return QTest::qWaitFor([this] { return idle(); }, timeoutMs);
    }
    void showPage(int index) { w<QTabWidget>("plot_tab")->setCurrentIndex(index); }

    TR7310_tab &t;
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
