// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/kv7310bt_tab.h"
#include "ui_kv7310bt_tab.h"

#include "bt/BtProtocol.h"
#include "bt/FirmwareChoice.h"
#include "dsp/SpectrumUnits.h"
#include "kit/KitCommands.h"
#include "widgets/DopplerView.h"
#include "widgets/FolderChooser.h"
#include "widgets/LinePlot.h"
#include "widgets/Logging.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotTools.h"
#include "widgets/SampleCountField.h"
#include "widgets/PlotMarkers.h"
#include "widgets/SetupHints.h"
#include "widgets/StartUpDelays.h"
#include "widgets/parameterDialog.h"

#include <QDir>

#include <QButtonGroup>
#include <QtMath>
#include <qcustomplot.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {
namespace Kc = KitCommands;
// The Bluetooth text of a command: the kit's text ended by "$".
QString command(const std::string &text)
{
    return QString::fromStdString(Kc::Bt::terminated(text));
}
std::string typed(const QLineEdit *field) { return field->text().toStdString(); }

// A timer interval from typed or computed milliseconds: QTimer refuses negative ones (a series
// would never take its next step) and an int cannot hold every double.
int timerMs(double ms)
{
    return int(qBound(0.0, std::trunc(ms), double(std::numeric_limits<int>::max())));
}
} // namespace

kv7310bt_tab::kv7310bt_tab(QWidget *parent) : QWidget(parent), ui(new Ui::kv7310bt_tab)
{
    ui->setupUi(this);
    kitAxes.samplePeriodS = samplePeriod;
    frameAxes = kitAxes;
    SetupHints::apply(this);
    saveLoc = QStringLiteral("Data");
    saveFileName = QStringLiteral("data.txt");
    collectionFolder = QStringLiteral("Data");
    collectionName = QStringLiteral("data.txt");
    numCaptures = ui->numCaptures_txt->text().toInt();
    numSampleCapture = ui->numSampleCapture_txt->text().toInt();
    captureInterval = ui->captureInterval_txt->text().toDouble();
    ui->saveLoc_txt->setText(saveLoc);
    ui->save_fileName_txt->setText(saveFileName);

    msgDialog = new parameterDialog(this);

    connect(ui->plot_tab, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));
    connect(this, SIGNAL(rf_on(bool)), this, SLOT(set_RFPowerBtn_state(bool)));

    sweepGroup = new QButtonGroup(this);
    sweepGroup->addButton(ui->twoWayCont_rdbtn);
    sweepGroup->addButton(ui->twoWaySingle_rdbtn);
    sweepGroup->addButton(ui->oneWaySingle_rdbtn);
    sweepGroup->addButton(ui->continuousWave_rdbtn);
    connect(sweepGroup, SIGNAL(buttonClicked(QAbstractButton *)), this,
            SLOT(sweepBtnClicked(QAbstractButton *)));

    setUpPlots();

    stepTimer.setSingleShot(true);
    connect(&stepTimer, &QTimer::timeout, this, &kv7310bt_tab::runSteps);
    seriesTimer.setSingleShot(true);
    connect(&seriesTimer, SIGNAL(timeout()), this, SLOT(seriesStep()));
    frameWatchdog.setSingleShot(true);
    connect(&frameWatchdog, SIGNAL(timeout()), this, SLOT(frameOverdue()));

    plotData();

    const auto at = StartUpDelays::scaled;
    QTimer::singleShot(at(1500), this, SLOT(tune()));
    QTimer::singleShot(at(100), this, SLOT(update_RFPower()));
    QTimer::singleShot(at(1000), this, SLOT(readFreqs()));
    QTimer::singleShot(at(300), this, SLOT(readRamptime()));
    QTimer::singleShot(at(400), this, SLOT(readSweepType()));
}

kv7310bt_tab::~kv7310bt_tab() { delete ui; }

// The waits after commands are steps of a queue run by a timer: the window stays live and an idle
// wait costs nothing. Commands and pauses keep the order the slots gave them; a slot called
// during a wait runs its commands after it, not in the middle of another slot's sequence.
void kv7310bt_tab::send(const QString &command)
{
    pendingSteps.append(command);
    runSteps();
}

void kv7310bt_tab::delay()
{
    pendingSteps.append(QString()); // a pause
    runSteps();
}

void kv7310bt_tab::setCommandPause(int ms) { commandPause = qMax(0, ms); }

// The window used to block for its write pause inside the emit, so every wait the tab started
// after a command began when that pause was over. The window's pause now runs on a timer; the
// tab holds its waits back until the line is free, which keeps the spacing on the line
// (write pause + tab pause) and the window live throughout.
void kv7310bt_tab::setLineBusy(bool busy)
{
    lineBusy = busy;
    if (busy)
        return;
    const QHash<QTimer *, int> due = std::exchange(afterLine, {});
    for (auto it = due.begin(); it != due.end(); ++it)
        it.key()->start(it.value());
}

void kv7310bt_tab::startAfterLine(QTimer &timer, int ms)
{
    if (lineBusy)
        afterLine.insert(&timer, ms);
    else
        timer.start(ms);
}

void kv7310bt_tab::stopTimer(QTimer &timer)
{
    afterLine.remove(&timer);
    timer.stop();
}

bool kv7310bt_tab::timerRunning(const QTimer &timer) const
{
    return timer.isActive() || afterLine.contains(const_cast<QTimer *>(&timer));
}

void kv7310bt_tab::runSteps()
{
    while (!timerRunning(stepTimer) && !pendingSteps.isEmpty()) {
        const QString step = pendingSteps.takeFirst();
        if (step.isNull())
            startAfterLine(stepTimer, commandPause);
        else
            emit sendBTmsg(step);
    }
    if (!stepsBusy() && captureAfterDelay) {
        captureAfterDelay = false;
        QTimer::singleShot(1, this, SLOT(continueCapture()));
    }
}

bool kv7310bt_tab::stepsBusy() const { return timerRunning(stepTimer) || !pendingSteps.isEmpty(); }

void kv7310bt_tab::continueCapture()
{
    if (continuous.state() != ContinuousCapture::State::Ready)
        return;
    // A frame that arrives during a wait requests the next one after it, as it always did.
    if (stepsBusy()) {
        captureAfterDelay = true;
        return;
    }
    on_collect_btn_clicked();
}

void kv7310bt_tab::tellUser(const QString &message)
{
    msgDialog->setMessage(message);
    msgDialog->show();
}

// ---- Sweep set-up ----

void kv7310bt_tab::on_setFreqs_btn_clicked()
{
    send(command(Kc::setStartFreq(typed(ui->startFreq_txt))));
    delay();
    send(command(Kc::setStopFreq(typed(ui->stopFreq_txt))));
    delay();
    readFreqs();
}

void kv7310bt_tab::readFreqs()
{
    send(command(Kc::queryStopFreq()));
    delay();
    send(command(Kc::queryStartFreq()));
}

void kv7310bt_tab::setSweepType(int type)
{
    send(command(Kc::setSweepType(type)));
    if (type >= 0 && type <= 3)
        kitSweepType = type; // settings have no reply; the kit takes each of the four types
    delay();
}

void kv7310bt_tab::setRamptime(int type)
{
    send(command(Kc::setRampTime(std::to_string(type))));
    delay();
}

void kv7310bt_tab::startSweep()
{
    send(command(Kc::startSweep()));
    delay();
}

void kv7310bt_tab::stopSweep()
{
    send(command(Kc::stopSweep()));
    delay();
}

void kv7310bt_tab::on_stop_btn_clicked() { stopSweep(); }

void kv7310bt_tab::on_start_btn_clicked() { startSweep(); }

void kv7310bt_tab::on_setRamp_btn_clicked()
{
    send(command(Kc::setRampTime(typed(ui->ramptime_txt))));
    delay();
    readRamptime();
}

void kv7310bt_tab::readRamptime()
{
    send(command(Kc::queryRampTime()));
    delay();
}

void kv7310bt_tab::readSweepType() { send(command(Kc::querySweepType())); }

void kv7310bt_tab::sweepBtnClicked(QAbstractButton *btn)
{
    const QString text = btn->text();
    if (text.contains(QStringLiteral("2 way sweep Continuous")))
        setSweepType(2);
    else if (text.contains(QStringLiteral("2 way sweep, Single")))
        setSweepType(1);
    else if (text.contains(QStringLiteral("1 way sweep, Single")))
        setSweepType(0);
    else if (text.contains(QStringLiteral("Continuous Wave")))
        setSweepType(3);
    else
        qCDebug(lcBt) << "btn not recognized";
    startVLX();
}

void kv7310bt_tab::startVLX()
{
    send(command(Kc::startSweep()));
    delay();
}

void kv7310bt_tab::update_RFPower()
{
    send(command(Kc::queryRfPower()));
    delay();
}

void kv7310bt_tab::tune() {}

void kv7310bt_tab::set_RFPowerBtn_state(bool s)
{
    ui->rf_power_btn->setStyleSheet(s ? QStringLiteral("*{background-color:green}")
                                      : QStringLiteral("*{background-color:red}"));
    rfOn = s;
}

void kv7310bt_tab::on_rf_power_btn_clicked()
{
    send(command(Kc::setRfPower(!rfOn)));
    delay();
    update_RFPower();
}

// ---- Capture ----

void kv7310bt_tab::on_numSamples_txt_editingFinished() {}

void kv7310bt_tab::on_collect_btn_clicked()
{
    if (!continuous.mayRequest()) // a frame is on its way; its arrival asks for the next
        return;
    if (!SampleCountField::take(ui->numSamples_txt, &lastSampleCount).ok) {
        // Nothing is sent and the frame held stays; continuous capture, if on, stops.
        stopContinuousCapture(SampleCount::rangeMessage());
        return;
    }
    const int n = lastSampleCount;
    requestedSamples = n;
    continuous.requested();
    send(QString::fromStdString(Kc::Bt::requestStream(n)));
    if (continuous.isOn())
        startAfterLine(frameWatchdog,
                       timerMs(std::ceil((BtProtocol::replySeconds(n) + 2.0) * 1000.0)));
    delay();
}

void kv7310bt_tab::on_continuousCapture_btn_clicked(bool checked)
{
    ui->continuousCapture_btn->setText(checked ? QStringLiteral("Stop Capture")
                                               : QStringLiteral("Start Continuous Capture"));
    checked ? continuous.start() : continuous.stop();
    if (!checked)
        stopTimer(frameWatchdog);
}

void kv7310bt_tab::frameOverdue()
{
    if (!continuous.isOn())
        return;
    stopContinuousCapture(QStringLiteral("No frame came from the kit in time: continuous "
                                         "capture stopped."));
}

void kv7310bt_tab::stopContinuousCapture(const QString &why)
{
    ui->continuousCapture_btn->setChecked(false);
    on_continuousCapture_btn_clicked(false);
    qCDebug(lcBt) << why;
    tellUser(why);
}

// ---- Capture series ----

void kv7310bt_tab::on_startCapture_btn_clicked()
{
    // One series at a time: a second chain would share the counter with the first.
    if (seriesRunning)
        return;
    seriesRunning = true;
    seriesAwaiting = -1;
    captureCount = 0;
    collectionFolder = ui->saveFolderCapture_txt->text().trimmed(); // a typed folder counts
    CollectionWriter::Plan plan;
    plan.folder = collectionFolder;
    plan.name = collectionName;
    plan.planned = numCaptures;
    plan.intervalS = captureInterval;
    plan.link = QStringLiteral("Bluetooth");
    series.begin(plan);
    seriesRequestS.clear();
    seriesClock.start();
    seriesStep();
}

void kv7310bt_tab::seriesStep()
{
    if (seriesAwaiting >= 0) {
        qCDebug(lcBt) << "no frame came for capture" << seriesAwaiting << "of the series";
        recordSeriesStep(seriesAwaiting, false);
    }
    seriesAwaiting = -1;
    if (!seriesRunning)
        return; // the gap could not be written
    if (captureCount >= numCaptures) {
        endSeries();
        return;
    }
    // Awaiting is set before the command leaves, so a reply parsed at once finds it.
    seriesAwaiting = captureCount;
    seriesRequestS.append(seriesClock.nsecsElapsed() / 1e9);
    ++captureCount;
    requestedSamples = numSampleCapture;
    send(QString::fromStdString(Kc::Bt::requestStream(numSampleCapture)));
    startAfterLine(seriesTimer, timerMs(captureInterval * 1000));
}

void kv7310bt_tab::endSeries()
{
    stopTimer(seriesTimer);
    seriesRunning = false;
    seriesAwaiting = -1;
    captureCount = 0;
}

// ---- Fields ----

void kv7310bt_tab::on_numCaptures_txt_editingFinished()
{
    numCaptures = ui->numCaptures_txt->text().toInt();
    ui->numCaptures_txt->setText(QString::number(numCaptures));
}

void kv7310bt_tab::on_numSampleCapture_txt_editingFinished()
{
    const SampleCount::Checked c =
        SampleCountField::take(ui->numSampleCapture_txt, &numSampleCapture);
    if (!c.ok || c.clamped)
        tellUser(SampleCount::rangeMessage());
}

void kv7310bt_tab::on_captureInterval_txt_cursorPositionChanged(int, int)
{
    captureInterval = ui->captureInterval_txt->text().toDouble();
}

void kv7310bt_tab::on_captureInterval_txt_editingFinished()
{
    captureInterval = ui->captureInterval_txt->text().toDouble();
}

void kv7310bt_tab::on_saveData_ckbx_clicked(bool checked) { saveCaptureData = checked; }

void kv7310bt_tab::on_save_fileName_txt_editingFinished()
{
    saveFileName = ui->save_fileName_txt->text();
}

// ---- Files ----

void kv7310bt_tab::on_browse_btn_clicked()
{
    saveLoc = FolderChooser::choose(this, ui->saveLoc_txt->text().trimmed());
    qCDebug(lcBt) << saveLoc;
    ui->saveLoc_txt->setText(saveLoc);
}

void kv7310bt_tab::on_browsCollection_btn_clicked()
{
    collectionFolder = FolderChooser::choose(this, ui->saveFolderCapture_txt->text().trimmed());
    qCDebug(lcBt) << collectionFolder;
    ui->saveFolderCapture_txt->setText(collectionFolder);
}

void kv7310bt_tab::saveData(QVector<double> data, QString save_loc)
{
    tellSaved(DataFile::saveTold(data, save_loc, nullptr));
}

void kv7310bt_tab::on_save_btn_clicked()
{
    saveLoc = ui->saveLoc_txt->text().trimmed(); // a folder typed by hand counts
    const FrameMeta::Meta meta = frameMeta();
    tellSaved(DataFile::saveTold(samples, saveLoc + QStringLiteral("/") + saveFileName, &meta));
}

void kv7310bt_tab::tellSaved(const DataFile::Told &told)
{
    if (told.ok) {
        emit captureStatus(told.text);
        return;
    }
    emit errorMessage(told.text);
    tellUser(told.text);
}

FrameMeta::Meta kv7310bt_tab::frameMeta() const
{
    // The Bluetooth link does not tell the kit's model or serial: left empty. The firmware is
    // the one the user stated, which gave the sample period.
    const bool sweep = kitStartKnown && kitStopKnown && kitRampKnown;
    const FrameMeta::Kit kit{"Bluetooth", {}, {}, firmwareChoice->firmware(), sweep,
                             frameAxes,   kitSweepType, kitRfPower};
    FrameMeta::Meta m = FrameMeta::live(kit, FrameMeta::Averaging::None, samplesUtc);
    m.markers = PlotMarkers::json(
        {plots[RawPage], plots[SpectrumPage], plots[RangePage], plots[DopplerPage]});
    return m;
}

// One step into the series' files: the frame held, or a gap when no good frame came. A file
// that cannot be written ends the series: the disk will not take the next one either.
void kv7310bt_tab::recordSeriesStep(int number, bool withFrame)
{
    if (!saveCaptureData || !series.isOpen())
        return;
    const double sinceFirstS = seriesRequestS.value(number);
    QString error;
    if (withFrame ? series.addFrame(number, samples, frameMeta(), sinceFirstS, &error)
                  : series.addGap(number, sinceFirstS, &error))
        return;
    emit errorMessage(QStringLiteral("Could not save %1").arg(error));
    if (seriesRunning) {
        endSeries();
        tellUser(QStringLiteral("The series stopped after %1 of %2 captures. Could not save %3")
                     .arg(number + 1)
                     .arg(numCaptures)
                     .arg(error));
    }
}

// ---- Replies ----

void kv7310bt_tab::parseBTmsg(QByteArray msg)
{
    qCDebug(lcBt) << "received: " << msg.size();
    const BtProtocol::Reply reply = BtProtocol::parseReply(msg);
    switch (reply.tag) {
    case BtProtocol::Tag::StartFreq:
        ui->startFreq_txt->setText(reply.value);
        kitAxes.sweep.startGHz = reply.value.toDouble(&kitStartKnown);
        break;
    case BtProtocol::Tag::StopFreq:
        ui->stopFreq_txt->setText(reply.value);
        kitAxes.sweep.stopGHz = reply.value.toDouble(&kitStopKnown);
        break;
    case BtProtocol::Tag::Ramp:
        ui->ramptime_txt->setText(reply.value);
        kitAxes.sweep.rampMs = reply.value.toDouble(&kitRampKnown);
        break;
    case BtProtocol::Tag::Type:
        kitSweepType = BtProtocol::intValue(reply.value);
        if (kitSweepType < 0 || kitSweepType > 3)
            kitSweepType = -1;
        switch (BtProtocol::intValue(reply.value)) {
        case 0:
            ui->oneWaySingle_rdbtn->setChecked(true);
            break;
        case 1:
            ui->twoWaySingle_rdbtn->setChecked(true);
            break;
        case 2:
            ui->twoWayCont_rdbtn->setChecked(true);
            break;
        case 3:
            ui->continuousWave_rdbtn->setChecked(true);
            break;
        default:
            break;
        }
        break;
    case BtProtocol::Tag::RfPower:
        kitRfPower = BtProtocol::intValue(reply.value);
        if (kitRfPower != 0 && kitRfPower != 1)
            kitRfPower = -1;
        switch (BtProtocol::intValue(reply.value)) {
        case 1:
            emit rf_on(true);
            break;
        case 0:
            emit rf_on(false);
            break;
        default:
            qCDebug(lcBt) << "rfPowerCheck: bad return value";
            break;
        }
        break;
    case BtProtocol::Tag::Data:
        takeFrame(msg);
        break;
    default:
        break;
    }
}

void kv7310bt_tab::takeFrame(const QByteArray &msg)
{
    qCDebug(lcBt) << msg.size() - BtProtocol::kHeaderBytes - BtProtocol::kTerminatorBytes;
    const int number = ++framesReceived;
    stopTimer(frameWatchdog);
    // The one place that asks for the next frame; it leaves once this one is handled.
    if (continuous.frameArrived())
        QTimer::singleShot(1, this, SLOT(continueCapture()));
    const BtProtocol::DataCheck check = BtProtocol::checkDataReply(msg, requestedSamples);
    if (!check.ok) {
        // Neither drawn nor saved: a series leaves a gap under this number.
        const QString text = QStringLiteral("frame %1 %2").arg(number).arg(check.reason);
        qCDebug(lcBt).noquote() << text;
        emit errorMessage(text);
        if (seriesRunning && seriesAwaiting >= 0) {
            recordSeriesStep(seriesAwaiting, false);
            seriesAwaiting = -1;
            if (captureCount >= numCaptures)
                endSeries();
        }
        return;
    }
    samples = BtProtocol::decodeSamples(msg);
    samplesUtc = QDateTime::currentDateTimeUtc();
    frameAxes = kitAxes;
    if (seriesRunning && seriesAwaiting >= 0) {
        const int capture = seriesAwaiting;
        seriesAwaiting = -1;
        recordSeriesStep(capture, true);
        if (captureCount >= numCaptures)
            endSeries();
    }
    plotData();
}

// ---- Plots ----

void kv7310bt_tab::tabChanged(int t)
{
    if (t >= 0 && t <= 3)
        plotData();
}

void kv7310bt_tab::plotData()
{
    if (samples.isEmpty())
        return;
    const int page = ui->plot_tab->currentIndex();
    const int n = int(samples.size());
    if (page >= RawPage && page <= DopplerPage) {
        QCustomPlot *plot = plots[page];
        QVector<double> keys;
        QVector<double> values;
        DisplaySpectrum spectrum;
        if (page == RawPage) {
            keys.resize(n);
            for (int i = 0; i < n; ++i)
                keys[i] = i * frameAxes.samplePeriodS;
            values = samples;
        } else {
            spectrum = displaySpectrum(samples, readouts[page]->window());
            values = spectrum.shown;
            keys = readouts[page]->keys(int(values.size()), frameAxes, n);
        }
        LinePlot::setData(plot, keys, values);
        if (page == DopplerPage)
            readouts[page]->setNote(DopplerView::note(kitSweepType));
        if (readouts[page])
            readouts[page]->show(spectrum, frameAxes, n);
        plot->replot(QCustomPlot::rpRefreshHint);
        // Fit the key axis when the frame length (or the first frame) changes; otherwise keep
        // the user's zoom.
        if (plottedLength[page] != n && !keys.isEmpty() && std::isfinite(keys.last()) &&
            keys.last() > 0) {
            plot->xAxis->setRange(0, keys.last());
            plot->replot(QCustomPlot::rpQueuedReplot);
            plottedLength[page] = n;
        }
    }
    qCDebug(lcBt) << "plotting finished";
}
