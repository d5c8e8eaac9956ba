// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/kv7310bt_tab.h"
#include "ui_kv7310bt_tab.h"

#include "app/SetupHints.h"
#include "app/FolderChooser.h"
#include "app/Logging.h"
#include "app/parameterDialog.h"
#include "bt/BtProtocol.h"
#include "dsp/PaddedFft.h"
#include "radar/LinePlot.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtMath>
#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace {
constexpr double kSpeedOfLight = 3e8;
enum Page { RawPage, SpectrumPage, RangePage, DopplerPage };

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
    saver.setNotify([this](const QString &message) { tellUser(message); });

    connect(ui->plot_tab, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));
    connect(this, SIGNAL(rf_on(bool)), this, SLOT(set_RFPowerBtn_state(bool)));

    sweepGroup = new QButtonGroup(this);
    sweepGroup->addButton(ui->twoWayCont_rdbtn);
    sweepGroup->addButton(ui->twoWaySingle_rdbtn);
    sweepGroup->addButton(ui->oneWaySingle_rdbtn);
    sweepGroup->addButton(ui->continuousWave_rdbtn);
    connect(sweepGroup, SIGNAL(buttonClicked(QAbstractButton *)), this,
            SLOT(sweepBtnClicked(QAbstractButton *)));

    // The pages' empty layouts get the plots the tab draws its frames on.
    QGridLayout *layouts[4] = {ui->plot_layout, ui->spectrum_layout, ui->range_layout,
                               ui->doppler_layout};
    const char *names[4] = {"rawPlot_wdgt", "spectrum_wdgt", "rangeSpectrum_wdgt",
                            "dopplerPlot_wdgt"};
    for (int i = 0; i < 4; ++i) {
        plots[i] = new QCustomPlot(this);
        plots[i]->setObjectName(QLatin1String(names[i]));
        plots[i]->setMinimumSize(380, 300);
        layouts[i]->addWidget(plots[i], 0, 0);
    }
    LinePlot::setUp(plots[RawPage], QStringLiteral("Raw Data"), QStringLiteral("Time (s)"),
                    QStringLiteral("Amplitude (V)"));
    LinePlot::setUp(plots[SpectrumPage], QStringLiteral("Beat Frequency Spectrum Plot"),
                    QStringLiteral("Frequency (Hz)"), QStringLiteral("Power (dBm)"));
    LinePlot::setUp(plots[RangePage], QStringLiteral("Range Plot"), QStringLiteral("Range (m)"),
                    QStringLiteral("Power (dBm)"));
    LinePlot::setUp(plots[DopplerPage], QStringLiteral("Doppler Plot"),
                    QStringLiteral("Radial Velocity (m/s)"), QStringLiteral("Power (dBm)"));
    plots[RawPage]->yAxis->setRange(-2.5, 2.5);
    for (int i = SpectrumPage; i <= DopplerPage; ++i)
        plots[i]->yAxis->setRange(-120, 0);

    seriesTimer.setSingleShot(true);
    connect(&seriesTimer, SIGNAL(timeout()), this, SLOT(seriesStep()));
    frameWatchdog.setSingleShot(true);
    connect(&frameWatchdog, SIGNAL(timeout()), this, SLOT(frameOverdue()));

    plotData();

    QTimer::singleShot(1500, this, SLOT(tune()));
    QTimer::singleShot(100, this, SLOT(update_RFPower()));
    QTimer::singleShot(1000, this, SLOT(readFreqs()));
    QTimer::singleShot(300, this, SLOT(readRamptime()));
    QTimer::singleShot(400, this, SLOT(readSweepType()));
}

kv7310bt_tab::~kv7310bt_tab() { delete ui; }

void kv7310bt_tab::send(const QString &command) { emit sendBTmsg(command); }

void kv7310bt_tab::delay()
{
    // A monotonic clock: a change of the wall clock must not stretch the wait.
    QElapsedTimer waited;
    waited.start();
    ++delayDepth;
    while (waited.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(100 - waited.elapsed()));
    if (--delayDepth == 0 && captureAfterDelay) {
        captureAfterDelay = false;
        QTimer::singleShot(1, this, SLOT(continueCapture()));
    }
}

void kv7310bt_tab::continueCapture()
{
    if (!continuousCapture)
        return;
    if (delayDepth > 0) {
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
    send(QStringLiteral("SWEEP:FREQSTAR ") + ui->startFreq_txt->text() + QStringLiteral("$"));
    delay();
    send(QStringLiteral("SWEEP:FREQSTOP ") + ui->stopFreq_txt->text() + QStringLiteral("$"));
    delay();
    readFreqs();
}

void kv7310bt_tab::readFreqs()
{
    send(QStringLiteral("SWEEP:FREQSTOP?$"));
    delay();
    send(QStringLiteral("SWEEP:FREQSTAR?$"));
}

void kv7310bt_tab::setSweepType(int type)
{
    send(QStringLiteral("SWEEP:TYPE ") + QString::number(type) + QStringLiteral("$"));
    delay();
}

void kv7310bt_tab::setRamptime(int type)
{
    send(QStringLiteral("SWEEP:RAMPTIME ") + QString::number(type) + QStringLiteral("$"));
    delay();
}

void kv7310bt_tab::startSweep()
{
    send(QStringLiteral("SWEEP:START$"));
    delay();
}

void kv7310bt_tab::stopSweep()
{
    send(QStringLiteral("SWEEP:STOP$"));
    delay();
}

void kv7310bt_tab::on_stop_btn_clicked() { stopSweep(); }

void kv7310bt_tab::on_start_btn_clicked() { startSweep(); }

void kv7310bt_tab::on_setRamp_btn_clicked()
{
    send(QStringLiteral("SWEEP:RAMPTIME ") + ui->ramptime_txt->text() + QStringLiteral("$"));
    delay();
    readRamptime();
}

void kv7310bt_tab::readRamptime()
{
    send(QStringLiteral("SWEEP:RAMPTIME?$"));
    delay();
}

void kv7310bt_tab::readSweepType() { send(QStringLiteral("SWEEP:TYPE?$")); }

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
    send(QStringLiteral("SWEEP:START$"));
    delay();
}

void kv7310bt_tab::update_RFPower()
{
    send(QStringLiteral("POWE:RF?$"));
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
    send(QStringLiteral("POWE:RF ") + (rfOn ? QStringLiteral("0") : QStringLiteral("1")) +
         QStringLiteral("$"));
    delay();
    update_RFPower();
}

// ---- Capture ----

void kv7310bt_tab::on_numSamples_txt_editingFinished() {}

void kv7310bt_tab::on_collect_btn_clicked()
{
    const int n = ui->numSamples_txt->text().toInt();
    send(QStringLiteral("CAPT:STRE ") + QString::number(n) + QStringLiteral("$"));
    if (continuousCapture)
        frameWatchdog.start(timerMs(std::ceil((BtProtocol::replySeconds(n) + 2.0) * 1000.0)));
    delay();
}

void kv7310bt_tab::on_continuousCapture_btn_clicked(bool checked)
{
    ui->continuousCapture_btn->setText(checked ? QStringLiteral("Stop Capture")
                                               : QStringLiteral("Start Continuous Capture"));
    continuousCapture = checked;
    if (!checked)
        frameWatchdog.stop();
}

void kv7310bt_tab::frameOverdue()
{
    if (!continuousCapture)
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
    saver.beginRun();
    seriesStep();
}

void kv7310bt_tab::seriesStep()
{
    if (seriesAwaiting >= 0)
        qCDebug(lcBt) << "no frame came for capture" << seriesAwaiting << "of the series";
    seriesAwaiting = -1;
    if (captureCount >= numCaptures) {
        endSeries();
        return;
    }
    // Awaiting is set before the command leaves, so a reply parsed at once finds it.
    seriesAwaiting = captureCount;
    ++captureCount;
    send(QStringLiteral("CAPT:STRE ") + QString::number(numSampleCapture) + QStringLiteral("$"));
    seriesTimer.start(timerMs(captureInterval * 1000));
}

void kv7310bt_tab::endSeries()
{
    seriesTimer.stop();
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
    const QString text = ui->numSampleCapture_txt->text();
    const double asDouble = text.toDouble();
    numSampleCapture = text.toInt();
    if (numSampleCapture > 0) {
        ui->numSampleCapture_txt->setText(QString::number(numSampleCapture));
        return;
    }
    msgDialog->setMessage(QStringLiteral("Number of samples must be an integer greater than zero"));
    msgDialog->show();
    ui->numSampleCapture_txt->setText(QString::number(qFloor(asDouble + 0.5)));
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
    saveLoc = FolderChooser::choose(this, saveLoc);
    qCDebug(lcBt) << saveLoc;
    ui->saveLoc_txt->setText(saveLoc);
}

void kv7310bt_tab::on_browsCollection_btn_clicked()
{
    collectionFolder = FolderChooser::choose(this, collectionFolder);
    qCDebug(lcBt) << collectionFolder;
    ui->saveFolderCapture_txt->setText(collectionFolder);
}

void kv7310bt_tab::saveData(QVector<double> data, QString save_loc) { saver.save(data, save_loc); }

void kv7310bt_tab::on_save_btn_clicked()
{
    saver.beginRun();
    saveData(samples, saveLoc + QStringLiteral("/") + saveFileName);
}

// ---- Replies ----

void kv7310bt_tab::parseBTmsg(QByteArray msg)
{
    qCDebug(lcBt) << "received: " << msg.size();
    const BtProtocol::Reply reply = BtProtocol::parseReply(msg);
    switch (reply.tag) {
    case BtProtocol::Tag::StartFreq:
        ui->startFreq_txt->setText(reply.value);
        break;
    case BtProtocol::Tag::StopFreq:
        ui->stopFreq_txt->setText(reply.value);
        break;
    case BtProtocol::Tag::Ramp:
        ui->ramptime_txt->setText(reply.value);
        break;
    case BtProtocol::Tag::Type:
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
    case BtProtocol::Tag::Data: {
        qCDebug(lcBt) << msg.size() - BtProtocol::kHeaderBytes - BtProtocol::kTerminatorBytes;
        samples = BtProtocol::decodeSamples(msg);
        frameWatchdog.stop();
        if (seriesRunning && seriesAwaiting >= 0) {
            const int number = seriesAwaiting;
            seriesAwaiting = -1;
            if (saveCaptureData)
                saveData(samples, collectionFolder + QStringLiteral("/") +
                                      DataFile::numberedName(collectionName, number));
            if (captureCount >= numCaptures)
                endSeries();
        }
        plotData();
        break;
    }
    default:
        break;
    }
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
        if (page == RawPage) {
            keys.resize(n);
            for (int i = 0; i < n; ++i)
                keys[i] = i * samplePeriod;
            values = samples;
        } else {
            values = paddedSpectrum(samples);
            finishLinePlot(values);
            const double df = sampleRate / (7.0 * n);
            double scale = 1.0; // axis units per hertz of beat or Doppler frequency
            if (page == RangePage) {
                const double start = ui->startFreq_txt->text().toDouble();
                const double stop = ui->stopFreq_txt->text().toDouble();
                const double ramp = ui->ramptime_txt->text().toDouble();
                const double slope = 2.0 * (stop - start) * 1e9 / (ramp / 1000.0);
                scale = kSpeedOfLight / slope;
            } else if (page == DopplerPage) {
                // v = f_d c / (2 f0): the radial velocity, not twice it.
                const double start = ui->startFreq_txt->text().toDouble();
                scale = kSpeedOfLight / (2.0 * start * 1e9);
            }
            keys.resize(values.size());
            for (int i = 0; i < keys.size(); ++i)
                keys[i] = i * df * scale;
        }
        LinePlot::show(plot, keys, values);
        // Fit the key axis when the frame length (or the first frame) changes; otherwise keep
        // the user's zoom.
        if (plottedLength[page] != n && !keys.isEmpty() && std::isfinite(keys.last()) &&
            keys.last() > 0) {
            plot->xAxis->setRange(0, keys.last());
            plot->replot(QCustomPlot::rpQueuedReplot);
            plottedLength[page] = n;
        }
    }
    if (continuousCapture) {
        QTimer::singleShot(1, this, SLOT(continueCapture()));
        qCDebug(lcBt) << "plotting finished";
    }
}
