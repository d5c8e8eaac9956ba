// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/TR7310_tab.h"

#include "capture/FrameCapture.h"
#include "dsp/PaddedFft.h"
#include "dsp/SpectrumUnits.h"
#include "kit/KitCommands.h"
#include "link/usbTMCabstraction.h"
#include "radar/ReplayControls.h"
#include "capture/Sigmf.h"
#include "ui_TR7310_tab.h"
#include "widgets/ColourSpanControl.h"
#include "widgets/DopplerView.h"
#include "widgets/FolderChooser.h"
#include "widgets/LinePlot.h"
#include "widgets/MapPage.h"
#include "widgets/Logging.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotTools.h"
#include "widgets/SampleCountField.h"
#include "widgets/SetupHints.h"
#include "widgets/StartUpDelays.h"
#include "widgets/parameterDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRubberBand>
#include <QThread>

#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace {

namespace Kc = KitCommands;
QString command(const std::string &text) { return QString::fromStdString(text); }

const QString kRfOnStyle = QStringLiteral("*{background-color:green}");
const QString kRfOffStyle = QStringLiteral("*{background-color:red}");

// Read-back numbers are shown as the kit's single-precision value in 'g', 6.
QString displayNumber(const QPair<int, QString> &reply)
{
    return QString::number(replyText(reply).trimmed().toFloat(), 'g', 6);
}

} // namespace

TR7310_tab::TR7310_tab(usbTMCabstraction *inst, QString instDesc, QString firmwareVersion,
                       QString productName, QString serialNumber, QWidget *parent)
    : QWidget(parent), instDesc(instDesc), firmwareVersion(firmwareVersion),
      productName(productName), serialNumber(serialNumber), ui(new Ui::TR7310_tab), inst(inst)
{
    ui->setupUi(this);
    SetupHints::apply(this);

    rfOn = false;
    continuousCapture = false;
    twoPulseCancellation = false;

    samplePeriod = RadarMath::samplePeriodForFirmware(firmwareVersion.toStdString());
    sampleRate = 1.0 / samplePeriod;
    kitAxes.samplePeriodS = samplePeriod;
    frameAxes = kitAxes;

    ui->subtractAverage_ckbx->hide();
    saveCaptureData = true;

    numCaptures = ui->numCaptures_txt->text().toInt();
    numSampleCapture = ui->numSampleCapture_txt->text().toInt();
    captureInterval = ui->captureInterval_txt->text().toDouble();
    captureCount = 0;

    for (int i = 0; i < 10; ++i)
        captureHistory.append(QVector<double>(1024, 0.0));

    msgDialog = new parameterDialog(this);

    saveLoc = QStringLiteral("Data");
    saveFileName = QStringLiteral("data.txt");
    collectionName = QStringLiteral("data.txt");
    collectionFolder = QStringLiteral("Data");
    ui->saveLoc_txt->setText(saveLoc);
    ui->save_fileName_txt->setText(saveFileName);

    resetRangeAxesPending = true;
    capAverage = false;

    setUpPlots();

    // Zero-padded collection numbers sort in every file list; plain numbers stay the default.
    zeroPadNumbers_ckbx =
        new QCheckBox(QStringLiteral("Zero-padded numbers (data0007.txt)"), ui->tab_6);
    zeroPadNumbers_ckbx->setObjectName(QStringLiteral("zeroPadNumbers_ckbx"));
    if (QLayoutItem *spacer = ui->gridLayout_8->itemAtPosition(7, 0)) {
        ui->gridLayout_8->removeItem(spacer);
        ui->gridLayout_8->addItem(spacer, 8, 0, 1, 3);
    }
    ui->gridLayout_8->removeWidget(ui->startCapture_btn);
    ui->gridLayout_8->addWidget(zeroPadNumbers_ckbx, 6, 0, 1, 3);
    ui->gridLayout_8->addWidget(ui->startCapture_btn, 7, 0, 1, 3);

    shownFrame_lbl = new QLabel(this);
    shownFrame_lbl->setObjectName(QStringLiteral("shownFrame_lbl"));
    shownFrame_lbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->gridLayout->addWidget(shownFrame_lbl, 2, 7);

    replay = new ReplayControls(ui->setup_tab);
    ui->setup_tab->addTab(replay, QStringLiteral("Replay"));
    connect(replay, &ReplayControls::frameReady, this, &TR7310_tab::showRecordedFrame);

    connect(ui->plot_tab, &QTabWidget::currentChanged, this, &TR7310_tab::tabChanged);
    connect(this, &TR7310_tab::rf_on, this, &TR7310_tab::set_RFPowerBtn_state);

    sweepGroup = new QButtonGroup(this);
    sweepGroup->addButton(ui->twoWayCont_rdbtn);
    sweepGroup->addButton(ui->twoWaySingle_rdbtn);
    sweepGroup->addButton(ui->oneWaySingle_rdbtn);
    sweepGroup->addButton(ui->continuousWave_rdbtn);
    connect(sweepGroup, &QButtonGroup::buttonClicked, this, &TR7310_tab::sweepBtnClicked);

    collectionTimer.setSingleShot(true);
    connect(&collectionTimer, &QTimer::timeout, this, &TR7310_tab::collectionStep);
    continuousTimer.setSingleShot(true);
    connect(&continuousTimer, &QTimer::timeout, this, &TR7310_tab::continueCapture);

    // Device work runs on the link thread of the command layer; the window only waits for its
    // results. A transfer shows its replies received out of those expected.
    link = LinkThread::of(inst);
    linkToken = LinkThread::newToken();
    rampText = std::make_shared<RampText>();
    kitTarget = std::make_shared<KitTarget>();
    kitTarget->serial = serialNumber;
    kitTarget->target.set(instDesc);
    rampText->set(ui->ramptime_txt->text());
    connect(ui->ramptime_txt, &QLineEdit::textChanged, this,
            [this](const QString &text) { rampText->set(text); });
    frameProgress = new QProgressBar(this);
    frameProgress->setObjectName(QStringLiteral("frameProgress_wdgt"));
    frameProgress->setFormat(QStringLiteral("%v/%m"));
    frameProgress->setRange(0, 1);
    frameProgress->setValue(0);
    ui->gridLayout_7->addWidget(frameProgress, 6, 0);
    collectionProgress = new QProgressBar(this);
    collectionProgress->setObjectName(QStringLiteral("collectionProgress_wdgt"));
    collectionProgress->setFormat(QStringLiteral("%v/%m"));
    collectionProgress->setRange(0, qMax(1, numCaptures));
    collectionProgress->setValue(0);
    ui->gridLayout_8->addWidget(collectionProgress, 8, 0, 1, 3);

    plot();

    QTimer::singleShot(StartUpDelays::scaled(500), this, &TR7310_tab::update_RFPower);
    QTimer::singleShot(StartUpDelays::scaled(1500), this, &TR7310_tab::tune);
    QTimer::singleShot(StartUpDelays::scaled(510), this, &TR7310_tab::readFreqs);
    QTimer::singleShot(StartUpDelays::scaled(515), this, &TR7310_tab::readRamptime);
    QTimer::singleShot(StartUpDelays::scaled(520), this, &TR7310_tab::readSweepType);
}

TR7310_tab::~TR7310_tab()
{
    linkToken->store(true); // a frame in flight ends at its next reply; its result is dropped
    delete ui;
}

void TR7310_tab::setFilesChooser(FilesChooser chooser) { filesChooser = std::move(chooser); }

void TR7310_tab::setTunePause(Pause pause) { tunePause = std::move(pause); }

bool TR7310_tab::openDevice(usbTMCabstraction &link, const std::shared_ptr<KitTarget> &kit)
{
    const int opened = link.openConnection(kit->target.get());
    if (opened >= 0)
        return true;
    if (opened != -2)
        return false; // busy or no link: the kit may well still be where it was
    // Replugged on another port, the kit answers under another target: find it by its serial.
    const QString found = FrameCapture::findKitBySerial(link, kit->serial);
    if (found.isEmpty()) {
        kit->missing.set(true);
        return false;
    }
    kit->target.set(found);
    kit->missing.set(false);
    return link.openConnection(found) >= 0;
}

void TR7310_tab::onLink(LinkThread::Work work)
{
    if (link)
        link->submit(this, linkToken, std::move(work));
}

// Sends each command in one bracket of its own, as a slot of its own would.
void TR7310_tab::sendInBracket(const QStringList &commands)
{
    const std::shared_ptr<KitTarget> target = kitTarget;
    onLink([target, commands](LinkThread::Job &job) -> LinkThread::Done {
        if (openDevice(job.inst, target)) {
            for (const QString &c : commands)
                job.inst.sendVISACommand(c);
            job.inst.closeConnection();
        }
        return {};
    });
}

// One query in one bracket; the answer goes to then on this thread, count -1 when the kit did not
// open or did not answer.
void TR7310_tab::queryInBracket(const QString &query,
                                std::function<void(const QPair<int, QString> &)> then)
{
    const std::shared_ptr<KitTarget> target = kitTarget;
    onLink([target, query, then](LinkThread::Job &job) -> LinkThread::Done {
        QPair<int, QString> reply(-1, QString());
        if (openDevice(job.inst, target)) {
            job.inst.sendVISACommand(query);
            reply = job.inst.readVISAResponseString();
            job.inst.closeConnection();
        }
        return [then, reply] { then(reply); };
    });
}

void TR7310_tab::tell(const QString &message)
{
    msgDialog->setMessage(message);
    msgDialog->show();
}

// ---------------------------------------------------------------------------------------------
// Radar set-up

void TR7310_tab::on_rf_power_btn_clicked()
{
    sendInBracket({command(Kc::setRfPower(!rfOn))});
    update_RFPower();
}

void TR7310_tab::set_RFPowerBtn_state(bool s)
{
    ui->rf_power_btn->setStyleSheet(s ? kRfOnStyle : kRfOffStyle);
    rfOn = s;
}

void TR7310_tab::update_RFPower()
{
    queryInBracket(command(Kc::queryRfPower()), [this](const QPair<int, QString> &reply) {
        if (reply.first < 0)
            return;
        const quint8 state = quint8(replyText(reply).trimmed().toInt());
        if (state <= 1)
            kitRfPower = state;
        if (state == 1)
            emit rf_on(true);
        else if (state == 0)
            emit rf_on(false);
        else
            qCDebug(lcRadar, "rfPowerCheck: bad return value");
    });
}

void TR7310_tab::tune()
{
    const std::shared_ptr<KitTarget> target = kitTarget;
    const Pause pause = tunePause;
    // The restore sends what the ramp-time field shows when the sequence ends, 1.5 s after it
    // began; the field lives on the window's thread, so its text is mirrored for the link.
    const std::shared_ptr<RampText> ramp = rampText;
    onLink([target, pause, ramp](LinkThread::Job &job) -> LinkThread::Done {
        if (!openDevice(job.inst, target))
            return {};
        QList<int> codes;
        for (int c = 1; c <= 8; ++c)
            codes << c;
        for (int c = 8; c >= 1; --c)
            codes << c;
        for (int i = 0; i < codes.size(); ++i) {
            job.inst.sendVISACommand(command(Kc::setRampTime(std::to_string(codes.at(i)))));
            if (i + 1 < codes.size()) {
                if (pause)
                    pause(100);
                else
                    QThread::msleep(100);
            }
        }
        const QString shown = ramp->get();
        qCDebug(lcRadar) << shown;
        job.inst.sendVISACommand(command(Kc::setRampTime(shown.toStdString())));
        job.inst.closeConnection();
        return {};
    });
}

void TR7310_tab::readFreqs() { readFreqsThen({}); }

void TR7310_tab::readFreqsThen(std::function<void()> then)
{
    const std::shared_ptr<KitTarget> target = kitTarget;
    onLink([this, target, then](LinkThread::Job &job) -> LinkThread::Done {
        QPair<int, QString> stop(-1, QString());
        QPair<int, QString> start(-1, QString());
        if (openDevice(job.inst, target)) {
            job.inst.sendVISACommand(command(Kc::queryStopFreq()));
            stop = job.inst.readVISAResponseString();
            if (stop.first >= 0) {
                job.inst.sendVISACommand(command(Kc::queryStartFreq()));
                start = job.inst.readVISAResponseString();
            }
            job.inst.closeConnection();
        }
        return [this, stop, start, then] {
            if (stop.first >= 0) {
                ui->stopFreq_txt->setText(displayNumber(stop));
                kitAxes.sweep.stopGHz = displayNumber(stop).toDouble();
            }
            if (start.first >= 0) {
                ui->startFreq_txt->setText(displayNumber(start));
                kitAxes.sweep.startGHz = displayNumber(start).toDouble();
                kitFreqsKnown = true;
            }
            if (stop.first >= 0 && samples.isEmpty())
                frameAxes = kitAxes;
            if (then)
                then();
        };
    });
}

void TR7310_tab::readRamptime() { readRamptimeThen({}); }

void TR7310_tab::readRamptimeThen(std::function<void()> then)
{
    queryInBracket(command(Kc::queryRampTime()), [this, then](const QPair<int, QString> &r) {
        if (r.first >= 0) {
            ui->ramptime_txt->setText(displayNumber(r));
            kitAxes.sweep.rampMs = displayNumber(r).toDouble();
            kitRampKnown = true;
            if (samples.isEmpty())
                frameAxes = kitAxes;
        }
        if (then)
            then();
    });
}

void TR7310_tab::readSweepType()
{
    queryInBracket(command(Kc::querySweepType()), [this](const QPair<int, QString> &reply) {
        if (reply.first < 0)
            return;
        const float code = replyText(reply).trimmed().toFloat();
        if (code == 0.0f || code == 1.0f || code == 2.0f || code == 3.0f)
            kitSweepType = int(code);
        if (code == 0.0f)
            ui->oneWaySingle_rdbtn->setChecked(true);
        else if (code == 1.0f)
            ui->twoWaySingle_rdbtn->setChecked(true);
        else if (code == 2.0f)
            ui->twoWayCont_rdbtn->setChecked(true);
        else if (code == 3.0f)
            ui->continuousWave_rdbtn->setChecked(true);
    });
}

void TR7310_tab::sweepBtnClicked(QAbstractButton *btn)
{
    const QString text = btn ? btn->text() : QString();
    int code = -1;
    if (text.contains(QStringLiteral("2 way sweep Continuous")))
        code = 2;
    else if (text.contains(QStringLiteral("2 way sweep, Single")))
        code = 1;
    else if (text.contains(QStringLiteral("1 way sweep, Single")))
        code = 0;
    else if (text.contains(QStringLiteral("Continuous Wave")))
        code = 3;

    if (code >= 0) {
        sendInBracket({command(Kc::setSweepType(code))});
        kitSweepType = code; // settings have no reply; the kit takes each of the four types
    } else
        qCDebug(lcRadar, "btn not recognized");
    sendInBracket({command(Kc::startSweep())});
}

void TR7310_tab::on_setFreqs_btn_clicked()
{
    sendInBracket({command(Kc::setStartFreq(ui->startFreq_txt->text().toStdString())),
                   command(Kc::setStopFreq(ui->stopFreq_txt->text().toStdString()))});
    // The axes follow the frequencies the kit reports, so they wait for the read-back.
    readFreqsThen([this] {
        // A live frame's axes follow the kit; a recorded frame keeps its own.
        if (samplesFile.isEmpty())
            setFrameAxes(kitAxes);
        applyAxisMode();
    });
}

void TR7310_tab::on_setRamp_btn_clicked()
{
    sendInBracket({command(Kc::setRampTime(ui->ramptime_txt->text().toStdString()))});
    readRamptimeThen([this] {
        if (samplesFile.isEmpty())
            setFrameAxes(kitAxes);
        applyAxisMode();
    });
}

void TR7310_tab::on_start_btn_clicked()
{
    sendInBracket({command(Kc::startSweep())});
    update_RFPower();
}

void TR7310_tab::on_stop_btn_clicked()
{
    sendInBracket({command(Kc::stopSweep())});
    update_RFPower();
}

// ---------------------------------------------------------------------------------------------
// Capture

// One frame on the link thread: request, fetch with progress, close. The frame comes back to
// frameArrived, or to openFailed when the kit did not open.
void TR7310_tab::captureOnLink(int n, bool forCollection, int intervalMs)
{
    captureInFlight = true;
    frameProgress->setRange(0, qMax(1, FrameCapture::queryCount(n)));
    frameProgress->setValue(0);
    updateControls();
    const std::shared_ptr<KitTarget> target = kitTarget;
    onLink([this, target, n, forCollection, intervalMs](LinkThread::Job &job) -> LinkThread::Done {
        if (!openDevice(job.inst, target))
            return [this, forCollection] { openFailed(forCollection); };
        FrameCapture::requestFrame(job.inst, n);
        if (forCollection) // the interval runs from the frame request
            job.post([this, intervalMs] {
                if (collectionRunning)
                    collectionTimer.start(intervalMs);
            });
        // Replies faster than the display move the bar once a display frame: each move repaints
        // it at once, and a fast kit's bursts would keep the window from its other events.
        QElapsedTimer sinceShown;
        sinceShown.start();
        const FrameCapture::FrameText frame = FrameCapture::fetchFrame(
            job.inst, n, [this, &job, &sinceShown](int received, int expected) {
                if (received <= 1 || received >= expected || sinceShown.elapsed() >= 15) {
                    sinceShown.restart();
                    job.post([this, received, expected] { showTransfer(received, expected); });
                }
                return !job.cancelled();
            });
        job.inst.closeConnection();
        return [this, frame, n, forCollection] { frameArrived(frame, n, forCollection); };
    });
}

void TR7310_tab::showTransfer(int received, int expected)
{
    frameProgress->setRange(0, qMax(1, expected));
    frameProgress->setValue(received);
}

void TR7310_tab::updateControls()
{
    // Starting a second kind of capture while one runs would only queue behind it; the set-up
    // commands stay available and run between two frames.
    ui->collect_btn->setEnabled(!captureInFlight && !continuousCapture && !collectionRunning);
    ui->continuousCapture_btn->setEnabled(!collectionRunning);
    ui->startCapture_btn->setEnabled(!continuousCapture);
    ui->startCapture_btn->setText(collectionRunning ? QStringLiteral("Stop Collection")
                                                    : QStringLiteral("Start Collection"));
}

void TR7310_tab::openFailed(bool forCollection)
{
    captureInFlight = false;
    if (kitTarget->missing.get())
        emit errorMessage(QStringLiteral("kit SN:%1 not found").arg(serialNumber));
    if (forCollection) {
        stopCollection(QStringLiteral("The collection stopped after %1 of %2 captures: the kit "
                                      "could not be opened. Press Start Collection to go on "
                                      "from there.")
                           .arg(captureCount)
                           .arg(numCaptures));
    } else if (continuousCapture) {
        stopContinuousCapture(
            QStringLiteral("Continuous capture stopped: the kit could not be opened."));
    }
    updateControls();
}

void TR7310_tab::frameArrived(const FrameCapture::FrameText &frame, int n, bool forCollection)
{
    captureInFlight = false;
    if (forCollection)
        collectionFrame(frame, n);
    else
        collectedFrame(frame);
    updateControls();
}

void TR7310_tab::on_collect_btn_clicked()
{
    if (captureInFlight)
        return; // one frame at a time; the one in flight is drawn when it arrives
    if (!SampleCountField::take(ui->numSamples_txt, &lastSampleCount).ok) {
        // Nothing is sent and the frame on show stays; continuous capture, if on, stops.
        stopContinuousCapture(SampleCount::rangeMessage());
        return;
    }
    captureOnLink(lastSampleCount, false, 0);
}

void TR7310_tab::frameDropped(const FrameCapture::FrameText &frame)
{
    ++framesDropped;
    emit errorMessage(QStringLiteral("frame %1 %2").arg(framesTaken).arg(frame.check.reason));
}

void TR7310_tab::collectedFrame(const FrameCapture::FrameText &frame)
{
    ++framesTaken;
    if (!frame.check.ok) {
        // Neither drawn, saved nor entered in the history; continuous capture goes on.
        frameDropped(frame);
        if (continuousCapture) {
            emit captureStatus(frameRateText());
            continuousTimer.start(1);
        }
        return;
    }
    previousSamples = samples;
    samples = FrameCapture::hexToVolts(frame.hex);

    if (samples.isEmpty() && continuousCapture) {
        stopContinuousCapture(
            QStringLiteral("Continuous capture stopped: the kit sent an empty frame."));
        return;
    }

    qCDebug(lcRadar) << "cap history size: " << captureHistory.size();
    if (captureHistory.isEmpty() || samples.size() != captureHistory.first().size()) {
        captureHistory.clear();
        for (int i = 0; i < 10; ++i)
            captureHistory.append(QVector<double>(samples.size(), 0.0));
    }
    if (captureHistory.size() > 9)
        captureHistory.removeAt(9);
    qCDebug(lcRadar) << "cap history size: " << captureHistory.size();
    captureHistory.prepend(samples);

    if (capAverage) {
        const int length = samples.size();
        QVector<double> sum(length, 0.0);
        for (const QVector<double> &entry : std::as_const(captureHistory))
            for (int i = 0; i < length; ++i)
                sum[i] += entry[i];
        for (int i = 0; i < length; ++i) {
            const double a = sum[i] / 10.0;
            samples[i] = subtractAverage ? samples[i] - a : a;
        }
    }
    newLiveFrame(!capAverage       ? FrameMeta::Averaging::None
                 : subtractAverage ? FrameMeta::Averaging::MinusMeanOfTen
                                   : FrameMeta::Averaging::MeanOfTen);

    plot();

    if (continuousCapture) {
        ++continuousFrames;
        emit captureStatus(frameRateText());
        continuousTimer.start(1); // the next frame, once the event loop has drawn this one
    }
}

QString TR7310_tab::frameRateText() const
{
    const double seconds = continuousClock.elapsed() / 1000.0;
    const double rate = seconds > 0 ? continuousFrames / seconds : 0.0;
    QString text = QStringLiteral("Frame %1 \u00b7 %2 frames/s")
                       .arg(continuousFrames)
                       .arg(QString::number(rate, 'f', 2));
    if (framesDropped > 0)
        text += QStringLiteral(" \u00b7 %1 dropped").arg(framesDropped);
    return text;
}

void TR7310_tab::continueCapture()
{
    if (continuousCapture)
        on_collect_btn_clicked();
}

void TR7310_tab::stopContinuousCapture(const QString &reason)
{
    qCDebug(lcRadar) << reason;
    continuousCapture = false;
    continuousTimer.stop();
    ui->continuousCapture_btn->setChecked(false);
    ui->continuousCapture_btn->setText(QStringLiteral("Start Continuous Capture"));
    updateControls();
    tell(reason);
}

void TR7310_tab::on_continuousCapture_btn_clicked(bool checked)
{
    if (checked) {
        ui->continuousCapture_btn->setText(QStringLiteral("Stop Capture"));
        continuousCapture = true;
        continuousFrames = 0;
        continuousClock.start();
        on_collect_btn_clicked(); // with a frame in flight, the loop goes on when it arrives
    } else {
        // The frame in flight still arrives and is drawn; nothing starts after it.
        ui->continuousCapture_btn->setText(QStringLiteral("Start Continuous Capture"));
        continuousCapture = false;
        continuousTimer.stop();
    }
    updateControls();
}

void TR7310_tab::on_startCapture_btn_clicked()
{
    if (collectionRunning) { // the button reads "Stop Collection" while a run goes on
        collectionTimer.stop();
        collectionRunning = false;
        collectionStepDue = false;
        collectionProgress->setFormat(
            QStringLiteral("%v/%m stopped; Start Collection goes on from there"));
        qCDebug(lcRadar) << "collection stopped by the user after" << captureCount << "captures";
        updateControls();
        return;
    }
    collectionRunning = true;
    backToBackTold = false;
    collectionProgress->setFormat(QStringLiteral("%v/%m"));
    if (captureCount == 0) {
        // A new collection, in the folder the field shows; one that stopped early goes on in
        // the same index.
        collectionFolder = ui->saveFolderCapture_txt->text().trimmed();
        CollectionWriter::Plan plan;
        plan.folder = collectionFolder;
        plan.name = collectionName;
        plan.planned = numCaptures;
        plan.intervalS = captureInterval;
        plan.zeroPadded = zeroPadNumbers_ckbx->isChecked();
        plan.link = QStringLiteral("USB");
        plan.kitSerial = serialNumber;
        collection.begin(plan);
        collectionClock.invalidate();
    }
    updateControls();
    collectionStep();
}

void TR7310_tab::stopCollection(const QString &reason)
{
    collectionTimer.stop();
    collectionRunning = false;
    collectionStepDue = false;
    updateControls();
    qCDebug(lcRadar) << reason;
    tell(reason);
}

void TR7310_tab::collectionStep()
{
    if (!collectionRunning)
        return;
    if (captureInFlight) {
        // The interval is shorter than one frame's transfer: the next frame follows this one.
        collectionStepDue = true;
        if (!backToBackTold) {
            backToBackTold = true;
            collectionProgress->setFormat(
                QStringLiteral("%v/%m, frames follow back to back: the interval is shorter "
                               "than one frame's transfer"));
        }
        return;
    }
    if (captureCount >= numCaptures) {
        captureCount = 0;
        collectionRunning = false;
        updateControls();
        return;
    }
    collectionProgress->setRange(0, qMax(1, numCaptures));
    collectionProgress->setValue(captureCount);
    if (!collectionClock.isValid())
        collectionClock.start();
    collectionSinceFirstS = collectionClock.nsecsElapsed() / 1e9;
    const double ms = std::trunc(captureInterval * 1000.0);
    captureOnLink(numSampleCapture, true,
                  int(qBound(0.0, ms, double(std::numeric_limits<int>::max()))));
}

void TR7310_tab::collectionFrame(const FrameCapture::FrameText &frame, int n)
{
    Q_UNUSED(n);
    ++framesTaken;
    if (!frame.check.ok) {
        // The step leaves a gap: no file, and the collection's index says so.
        frameDropped(frame);
        ++captureCount;
        collectionProgress->setValue(captureCount);
        if (saveCaptureData)
            recordCollectionStep(nullptr);
        if (collectionStepDue) {
            collectionStepDue = false;
            collectionStep();
        }
        return;
    }
    QVector<double> volts = FrameCapture::hexToVolts(frame.hex);

    samples = std::move(volts);
    newLiveFrame(FrameMeta::Averaging::None);
    plot();

    ++captureCount;
    collectionProgress->setValue(captureCount);
    if (saveCaptureData)
        recordCollectionStep(&samples);
    if (collectionStepDue) {
        collectionStepDue = false;
        collectionStep();
    }
}

// One step into the collection's files: the frame, or a gap when data is null. A file that
// cannot be written ends the collection: the disk will not take the next one either.
void TR7310_tab::recordCollectionStep(const QVector<double> *data)
{
    QString error;
    const int number = captureCount - 1;
    const bool ok =
        data ? collection.addFrame(number, *data, samplesMeta, collectionSinceFirstS, &error)
             : collection.addGap(number, collectionSinceFirstS, &error);
    if (ok)
        return;
    emit errorMessage(QStringLiteral("Could not save %1").arg(error));
    if (collectionRunning) // a frame that arrived after a stop is told on the status bar only
        stopCollection(QStringLiteral("The collection stopped after %1 of %2 captures. Could not "
                                      "save %3")
                           .arg(captureCount)
                           .arg(numCaptures)
                           .arg(error));
}

void TR7310_tab::on_numCaptures_txt_editingFinished()
{
    numCaptures = ui->numCaptures_txt->text().toInt();
    ui->numCaptures_txt->setText(QString::number(numCaptures));
}

void TR7310_tab::on_numSampleCapture_txt_editingFinished()
{
    const SampleCount::Checked c =
        SampleCountField::take(ui->numSampleCapture_txt, &numSampleCapture);
    if (!c.ok || c.clamped)
        tell(SampleCount::rangeMessage());
}

void TR7310_tab::on_captureInterval_txt_editingFinished()
{
    captureInterval = ui->captureInterval_txt->text().toDouble();
}

void TR7310_tab::on_captureInterval_txt_cursorPositionChanged(int, int)
{
    captureInterval = ui->captureInterval_txt->text().toDouble();
}

void TR7310_tab::on_saveNameCapture_txt_editingFinished()
{
    collectionName = ui->saveNameCapture_txt->text();
}

void TR7310_tab::on_browsCollection_btn_clicked()
{
    collectionFolder = FolderChooser::choose(this, ui->saveFolderCapture_txt->text().trimmed());
    ui->saveFolderCapture_txt->setText(collectionFolder);
}

// ---------------------------------------------------------------------------------------------
// Data files

void TR7310_tab::saveData(QVector<double> data, QString path)
{
    tellSaved(DataFile::saveTold(data, path, nullptr));
}

void TR7310_tab::tellSaved(const DataFile::Told &told)
{
    if (told.ok) {
        emit captureStatus(told.text);
        return;
    }
    emit errorMessage(told.text);
    tell(told.text);
}

void TR7310_tab::on_save_btn_clicked()
{
    saveLoc = ui->saveLoc_txt->text().trimmed(); // a folder typed by hand counts
    const FrameMeta::Meta meta = shownMeta(); // with the markers set on the pages
    tellSaved(DataFile::saveTold(samples, saveLoc + QLatin1Char('/') + saveFileName, &meta));
}

void TR7310_tab::on_browse_btn_clicked()
{
    saveLoc = FolderChooser::choose(this, ui->saveLoc_txt->text().trimmed());
    qCDebug(lcRadar) << saveLoc;
    ui->saveLoc_txt->setText(saveLoc);
}

void TR7310_tab::on_save_fileName_txt_editingFinished()
{
    saveFileName = ui->save_fileName_txt->text();
}

void TR7310_tab::on_load_btn_clicked()
{
    const QString caption = QStringLiteral("Load Data...");
    loadFiles = filesChooser ? filesChooser(this, caption)
                             : QFileDialog::getOpenFileNames(this, caption, QString(), QString());
    qCDebug(lcRadar) << loadFiles;
    loadData(loadFiles);
}

void TR7310_tab::loadData(QStringList files)
{
    // data2.txt before data10.txt, whatever order the dialog gives.
    for (const QString &name : Recording::naturallySorted(Sigmf::expandFrames(files))) {
        qCDebug(lcRadar) << name;
        showRecordedFrame(Recording::load(name));
    }
}

void TR7310_tab::showRecordedFrame(const Recording::Frame &frame)
{
    const QString note = Recording::loadNote(frame);
    if (!frame.readOk) {
        // Not a frame: refused, and the one on show stays.
        emit errorMessage(note);
        tell(note);
        return;
    }
    if (!note.isEmpty())
        emit captureStatus(note);
    previousSamples = samples;
    samples = frame.samples;
    samplesFile = frame.path;
    QString when;
    if (frame.hasMeta) {
        samplesMeta = frame.meta;
        RadarMath::FrameAxes axes = frame.meta.axes();
        if (!frame.meta.sweepKnown)
            axes.sweep = kitAxes.sweep; // a frame saved before the kit answered
        setFrameAxes(axes);
        when = FrameMeta::timeStamp(frame.meta.capturedUtc)
                   .replace(QLatin1Char('T'), QLatin1Char(' '));
    } else {
        // A file without a usable sidecar is taken to come from this kit as it is set up now.
        samplesMeta = liveMeta(FrameMeta::Averaging::None);
        samplesMeta.capturedUtc = QFileInfo(frame.path).lastModified().toUTC();
        setFrameAxes(kitAxes);
        when = QStringLiteral("no metadata");
    }
    shownFrame_lbl->setText(
        QStringLiteral("Showing %1 (%2)").arg(QDir::toNativeSeparators(frame.path), when));
    plot();
}

FrameMeta::Meta TR7310_tab::liveMeta(FrameMeta::Averaging averaging) const
{
    const FrameMeta::Kit kit{
        "USB",   productName,  serialNumber, firmwareVersion, kitFreqsKnown && kitRampKnown,
        kitAxes, kitSweepType, kitRfPower};
    FrameMeta::Meta m = FrameMeta::live(kit, averaging);
    m.sampleCount = int(samples.size());
    return m;
}

void TR7310_tab::newLiveFrame(FrameMeta::Averaging averaging)
{
    samplesMeta = liveMeta(averaging);
    samplesFile.clear();
    setFrameAxes(kitAxes);
    shownFrame_lbl->setText(QStringLiteral("Live frame (%1)")
                                .arg(FrameMeta::timeStamp(samplesMeta.capturedUtc)
                                         .replace(QLatin1Char('T'), QLatin1Char(' '))));
}

void TR7310_tab::setFrameAxes(const RadarMath::FrameAxes &axes)
{
    const bool changed = axes.samplePeriodS != frameAxes.samplePeriodS ||
                         axes.sweep.startGHz != frameAxes.sweep.startGHz ||
                         axes.sweep.stopGHz != frameAxes.sweep.stopGHz ||
                         axes.sweep.rampMs != frameAxes.sweep.rampMs;
    frameAxes = axes;
    // The vs-time map's value axis belongs to the frames it holds.
    if (changed && vsTimePage->frameLength() > 0)
        applyAxisMode();
}

// ---------------------------------------------------------------------------------------------
// Plots

void TR7310_tab::setUpPlots()
{
    LinePlot::setUp(ui->rawPlot_wdgt, QStringLiteral("Raw Data"));

    LinePlot::setUp(ui->spectrum_wdgt, QStringLiteral("Beat Frequency Spectrum Plot"));
    ui->spectrum_wdgt->yAxis->setRange(-120, 0);
    ui->spectrum_wdgt->xAxis->setRange(0, 10000);

    LinePlot::setUp(ui->rangeSpectrum_wdgt, QStringLiteral("Range Plot"),
                    QStringLiteral("Range (m)"), QString::fromLatin1(kPowerLabel));
    ui->rangeSpectrum_wdgt->yAxis->setRange(-120, 0);
    ui->rangeSpectrum_wdgt->xAxis->setRange(0, 10000);

    LinePlot::setUp(ui->dopplerPlot_wdgt, QStringLiteral("Doppler Plot"),
                    QStringLiteral("Doppler Shift (Hz)"), QString::fromLatin1(kPowerLabel));
    ui->dopplerPlot_wdgt->yAxis->setRange(-120, 0);
    ui->dopplerPlot_wdgt->xAxis->setRange(0, 10000);

    // Raw samples keep their sign on screen; a spectrum keeps its peaks.
    rawTimePage = std::make_unique<MapPage>(
        ui->rawTime_wdgt, new ColourSpanControl(ui->rawTime_wdgt->parentWidget()),
        ScreenDecimation::Keep::Extreme,
        new QCPTextElement(ui->rawTime_wdgt, QStringLiteral("Raw Vs Time"), LinePlot::titleFont()),
        QStringLiteral("Long Time (Capture Number)"), QStringLiteral("Short Time (s)"),
        QStringLiteral("Amplitude"), 100.0);
    vsTimeTitle = new QCPTextElement(ui->FrequencyVsTimePlot_wdgt, QStringLiteral("Range Vs Time"),
                                     LinePlot::titleFont());
    vsTimePage = std::make_unique<MapPage>(
        ui->FrequencyVsTimePlot_wdgt,
        new ColourSpanControl(ui->FrequencyVsTimePlot_wdgt->parentWidget()),
        ScreenDecimation::Keep::Highest, vsTimeTitle, QStringLiteral("Capture Number"),
        QStringLiteral("Frequency (Hz)"), QString::fromLatin1(kPowerLabel), 0.0);

    on_zoomRaw2Fit_btn_clicked();
    setUpReadouts();
}

// The read-outs, window choices, colour spans and plot menus: new widgets beside the form's, in a
// row of their own under the spectrum pages and beside the reset buttons of the maps.
void TR7310_tab::setUpReadouts()
{
    struct LinePage
    {
        QCustomPlot *plot;
        QGridLayout *layout;
        PeakReadout::Page kind;
        PeakReadout **readout;
    };
    const LinePage pages[] = {
        {ui->spectrum_wdgt, ui->plotLayout_1, PeakReadout::Page::Spectrum, &spectrumPeaks},
        {ui->rangeSpectrum_wdgt, ui->plotLayout_2, PeakReadout::Page::Range, &rangePeaks},
        {ui->dopplerPlot_wdgt, ui->plotLayout_3, PeakReadout::Page::DopplerShift, &dopplerPeaks}};
    for (const LinePage &page : pages) {
        auto *readout = new PeakReadout(page.plot, page.kind, page.plot->parentWidget());
        page.layout->addWidget(readout, 3, 0, 1, 5);
        connect(readout, &PeakReadout::settingsChanged, this, &TR7310_tab::plot);
        *page.readout = readout;
    }

    ui->plotLayout_4->addWidget(rawTimePage->colourControl(), 0, 1, 1, 4, Qt::AlignRight);
    ui->plotLayout_5->addWidget(vsTimePage->colourControl(), 0, 4, Qt::AlignRight);
    connect(rawTimePage->colourControl(), &ColourSpanControl::changed, this,
            [this] { rawTimePage->applyColours(); });
    connect(vsTimePage->colourControl(), &ColourSpanControl::changed, this,
            [this] { vsTimePage->applyColours(); });

    new PlotTools(ui->rawPlot_wdgt, [this] { on_zoomRaw2Fit_btn_clicked(); });
    new PlotTools(ui->spectrum_wdgt, [this] { on_specPlot_axesReset_btn_clicked(); });
    new PlotTools(ui->rangeSpectrum_wdgt, [this] { on_resetRangeAxes_btn_clicked(); });
    new PlotTools(ui->dopplerPlot_wdgt, [this] { on_resetDopplerAxes_btn_clicked(); });
    new PlotTools(ui->rawTime_wdgt, [this] { on_resetRawTimeAxes_btn_clicked(); });
    new PlotTools(ui->FrequencyVsTimePlot_wdgt, [this] { on_resetFreqVTimeAxes_btn_clicked(); });
}

void TR7310_tab::tabChanged(int t)
{
    if (t >= 0 && t <= 5)
        plot();
}

void TR7310_tab::plot()
{
    if (samples.isEmpty())
        return;
    const int page = ui->plot_tab->currentIndex();
    const int n = samples.size();

    QVector<double> w;
    if (twoPulseCancellation && previousSamples.size() == n) {
        w.resize(n);
        for (int k = 0; k < n; ++k)
            w[k] = samples[k] - previousSamples[k];
    } else {
        w = samples;
    }

    switch (page) {
    case 0:
        plotRaw(w);
        break;
    case 1:
        plotSpectrum(w);
        break;
    case 2:
        plotRange(w);
        break;
    case 3:
        plotDoppler(w);
        break;
    case 4:
        plotRawTime(w);
        break;
    case 5:
        plotVsTime(w);
        break;
    default:
        break;
    }
}

void TR7310_tab::plotRaw(const QVector<double> &w)
{
    const int n = w.size();
    QVector<double> t(n);
    for (int k = 0; k < n; ++k)
        t[k] = k * frameAxes.samplePeriodS;
    QCustomPlot *p = ui->rawPlot_wdgt;
    p->xAxis->setLabel(QStringLiteral("Time (s)"));
    p->yAxis->setLabel(QStringLiteral("Amplitude (V)"));
    if (t.last() != lastRawTime) {
        lastRawTime = t.last();
        p->xAxis->setRange(0, lastRawTime);
    }
    LinePlot::show(p, t, w);
}

void TR7310_tab::showPeaks(PeakReadout *readout, QCustomPlot *plot, const DisplaySpectrum &s, int n)
{
    readout->show(s, frameAxes, n);
    plot->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::plotSpectrum(const QVector<double> &w)
{
    const DisplaySpectrum s = displaySpectrum(w, spectrumPeaks->window());
    const QVector<double> f = spectrumPeaks->keys(s.shown.size(), frameAxes, w.size());
    QCustomPlot *plot = ui->spectrum_wdgt;
    plot->yAxis->setLabel(QString::fromLatin1(kPowerLabel));
    plot->xAxis->setLabel(QStringLiteral("Frequency (Hz)"));
    LinePlot::setData(plot, f, s.shown);
    showPeaks(spectrumPeaks, plot, s, w.size());
}

void TR7310_tab::plotRange(const QVector<double> &w)
{
    const DisplaySpectrum s = displaySpectrum(w, rangePeaks->window());
    // A range is a distance: a down-chirp gives the same ascending axis as an up-chirp.
    const QVector<double> r = rangePeaks->keys(s.shown.size(), frameAxes, w.size());
    LinePlot::setData(ui->rangeSpectrum_wdgt, r, s.shown);
    showPeaks(rangePeaks, ui->rangeSpectrum_wdgt, s, w.size());
    if (!r.isEmpty())
        maxRange = r.last();
    if (resetRangeAxesPending) {
        on_resetRangeAxes_btn_clicked();
        resetRangeAxesPending = false;
    }
}

void TR7310_tab::plotDoppler(const QVector<double> &w)
{
    const DisplaySpectrum s = displaySpectrum(w, dopplerPeaks->window());
    const QVector<double> f = dopplerPeaks->keys(s.shown.size(), frameAxes, w.size());
    LinePlot::setData(ui->dopplerPlot_wdgt, f, s.shown);
    dopplerPeaks->setNote(DopplerView::note(samplesMeta.sweepType));
    showPeaks(dopplerPeaks, ui->dopplerPlot_wdgt, s, w.size());
}

void TR7310_tab::plotRawTime(const QVector<double> &w)
{
    const int n = w.size();
    qCDebug(lcRadar) << "range size: " << ui->rawTime_wdgt->yAxis->range().size();
    // The start-up layout is 50 x 50 for 100 rows; frames of 100 samples need the full layout too.
    if (!rawTimePage->laidOutFor(n, n)) {
        qCDebug(lcRadar, "startingOver");
        rawTimePage->setValueRange(QCPRange(0, n * frameAxes.samplePeriodS));
        rawTimePage->layOut(n, n);
    }
    qCDebug(lcRadar) << rawTimePage->column();
    rawTimePage->addColumn(w.constData(), n);
}

void TR7310_tab::plotVsTime(const QVector<double> &w)
{
    const int n = w.size();
    const int rows = (7 * n) / 2;
    if (!vsTimePage->laidOutFor(n, rows)) {
        qCDebug(lcRadar, "startingOver");
        vsTimePage->layOut(n, rows);
        applyAxisMode();
    } else if (frameAxes.samplePeriodS != vsTimeAxes.samplePeriodS ||
               frameAxes.sweep.startGHz != vsTimeAxes.sweep.startGHz ||
               frameAxes.sweep.stopGHz != vsTimeAxes.sweep.stopGHz ||
               frameAxes.sweep.rampMs != vsTimeAxes.sweep.rampMs) {
        applyAxisMode(); // the kit was set to another sweep: label the rows for it
    }
    const QVector<double> p = mapSpectrum(w);
    qCDebug(lcRadar) << "tmpArraySize: " << p.size();
    qCDebug(lcRadar) << "bufferArraySize: " << p.size();
    vsTimePage->addColumn(p.constData(), p.size());
}

void TR7310_tab::applyAxisMode()
{
    vsTimeAxes = frameAxes;
    // The map's rows run from 0 Hz up to half the sample rate (10 kHz at 20 kHz sampling).
    const double topHz = frameAxes.sampleRateHz() / 2.0;
    QCustomPlot *plot = ui->FrequencyVsTimePlot_wdgt;
    if (ui->setFreqAxis_rdbn->isChecked()) {
        vsTimePage->setValueRange(QCPRange(0, topHz));
        plot->yAxis->setLabel(QStringLiteral("Frequency (Hz)"));
        vsTimeTitle->setText(QStringLiteral("Frequency Vs Time"));
    } else if (ui->setVelocityAxis_rdbn->isChecked()) {
        const double topMps =
            RadarMath::velocityForDoppler(topHz, RadarMath::carrierHz(frameAxes.sweep));
        vsTimePage->setValueRange(QCPRange(0, topMps));
        plot->yAxis->setLabel(QStringLiteral("Velocity (m/s)"));
        vsTimeTitle->setText(QStringLiteral("Velocity Vs Time"));
    } else if (ui->setRangeAxis_rdbn->isChecked()) {
        vsTimePage->setValueRange(QCPRange(0, RadarMath::rangeForBeat(topHz, frameAxes.sweep)));
        plot->yAxis->setLabel(QStringLiteral("Range (m)"));
        vsTimeTitle->setText(QStringLiteral("Range Vs Time"));
    }
    plot->replot(QCustomPlot::rpRefreshHint);
    on_resetFreqVTimeAxes_btn_clicked();
}

void TR7310_tab::on_setRangeAxis_rdbn_clicked() { applyAxisMode(); }

void TR7310_tab::on_setVelocityAxis_rdbn_clicked() { applyAxisMode(); }

void TR7310_tab::on_setFreqAxis_rdbn_clicked() { applyAxisMode(); }

// ---------------------------------------------------------------------------------------------
// Plot interaction

void TR7310_tab::mousePress(QMouseEvent *mevent)
{
    qCDebug(lcRadar, "mouse event");
    if (mevent && mevent->button() == Qt::RightButton) {
        if (!rubberBand)
            rubberBand = new QRubberBand(QRubberBand::Rectangle, this);
        rubberBand->setGeometry(QRect(mevent->position().toPoint(), QSize()));
        rubberBand->show();
        qCDebug(lcRadar, "right click");
    }
}

void TR7310_tab::on_zoomRaw2Fit_btn_clicked()
{
    ui->rawPlot_wdgt->yAxis->setRange(-2.5, 2.5);
    ui->rawPlot_wdgt->xAxis->setRange(0, lastRawTime);
    ui->rawPlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_specPlot_axesReset_btn_clicked()
{
    ui->spectrum_wdgt->yAxis->setRange(-120, 0);
    ui->spectrum_wdgt->xAxis->setRange(0, 10000);
    ui->spectrum_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_resetRangeAxes_btn_clicked()
{
    ui->rangeSpectrum_wdgt->yAxis->setRange(-120, 0);
    ui->rangeSpectrum_wdgt->xAxis->setRange(0, maxRange);
    ui->rangeSpectrum_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_resetDopplerAxes_btn_clicked()
{
    ui->dopplerPlot_wdgt->yAxis->setRange(-120, 0);
    ui->dopplerPlot_wdgt->xAxis->setRange(
        0, DopplerView::resetTop(ui->dopplerPlot_wdgt, samplesMeta.sweepType, 10000));
    ui->dopplerPlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_resetRawTimeAxes_btn_clicked() { rawTimePage->resetAxes(); }

void TR7310_tab::on_resetFreqVTimeAxes_btn_clicked() { vsTimePage->resetAxes(); }

// The wheel zooms exactly the axes whose boxes are checked; dragging is never switched off.
void TR7310_tab::setZoom(QCustomPlot *plot, QCheckBox *xBox, QCheckBox *yBox)
{
    Qt::Orientations zoom;
    if (xBox->isChecked())
        zoom |= Qt::Horizontal;
    if (yBox->isChecked())
        zoom |= Qt::Vertical;
    if (zoom) {
        plot->setInteraction(QCP::iRangeZoom, true);
        plot->axisRect()->setRangeZoom(zoom);
    } else {
        plot->axisRect()->setRangeZoom(Qt::Vertical);
        plot->setInteraction(QCP::iRangeZoom, false);
    }
}

void TR7310_tab::on_rawPlot_zoomX_clicked(bool)
{
    setZoom(ui->rawPlot_wdgt, ui->rawPlot_zoomX, ui->rawPlot_zoomY);
}
void TR7310_tab::on_rawPlot_zoomY_clicked(bool)
{
    setZoom(ui->rawPlot_wdgt, ui->rawPlot_zoomX, ui->rawPlot_zoomY);
}
void TR7310_tab::on_specPlot_zoomX_clicked(bool)
{
    setZoom(ui->spectrum_wdgt, ui->specPlot_zoomX, ui->specPlot_zoomY);
}
void TR7310_tab::on_specPlot_zoomY_clicked(bool)
{
    setZoom(ui->spectrum_wdgt, ui->specPlot_zoomX, ui->specPlot_zoomY);
}
void TR7310_tab::on_rangePlot_zoomX_clicked(bool)
{
    setZoom(ui->rangeSpectrum_wdgt, ui->rangePlot_zoomX, ui->rangePlot_zoomY);
}
void TR7310_tab::on_rangePlot_zoomY_clicked(bool)
{
    setZoom(ui->rangeSpectrum_wdgt, ui->rangePlot_zoomX, ui->rangePlot_zoomY);
}
void TR7310_tab::on_doppler_zoomX_clicked(bool)
{
    setZoom(ui->dopplerPlot_wdgt, ui->doppler_zoomX, ui->doppler_zoomY);
}
void TR7310_tab::on_doppler_zoomY_clicked(bool)
{
    setZoom(ui->dopplerPlot_wdgt, ui->doppler_zoomX, ui->doppler_zoomY);
}
void TR7310_tab::on_rawTime_zoomX_clicked(bool)
{
    setZoom(ui->rawTime_wdgt, ui->rawTime_zoomX, ui->rawTime_zoomY);
}
void TR7310_tab::on_rawTime_zoomY_clicked(bool)
{
    setZoom(ui->rawTime_wdgt, ui->rawTime_zoomX, ui->rawTime_zoomY);
}
void TR7310_tab::on_freqVtime_zoomX_clicked(bool)
{
    setZoom(ui->FrequencyVsTimePlot_wdgt, ui->freqVtime_zoomX, ui->freqVtime_zoomY);
}
void TR7310_tab::on_freqVtime_zoomY_clicked(bool)
{
    setZoom(ui->FrequencyVsTimePlot_wdgt, ui->freqVtime_zoomX, ui->freqVtime_zoomY);
}

// ---------------------------------------------------------------------------------------------
// Flags

void TR7310_tab::on_saveData_ckbx_clicked(bool checked) { saveCaptureData = checked; }

void TR7310_tab::on_twoPulseCancellation_btn_clicked(bool checked)
{
    twoPulseCancellation = checked;
}

void TR7310_tab::on_capAverage_btn_clicked(bool checked) { capAverage = checked; }

void TR7310_tab::on_subtractAverage_ckbx_clicked(bool checked) { subtractAverage = checked; }
