// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/kv7310bt_tab.h"
#include "ui_kv7310bt_tab.h"

#include "bt/BtFrameRequests.h"
#include "bt/BtPlotPages.h"
#include "bt/BtProtocol.h"
#include "bt/BtSeriesRun.h"
#include "bt/BtSetupSteps.h"
#include "bt/CommandSteps.h"
#include "bt/FirmwareChoice.h"
#include "widgets/FolderChooser.h"
#include "widgets/Logging.h"
#include "widgets/SampleCountField.h"
#include "widgets/SetupHints.h"
#include "widgets/StartUpDelays.h"
#include "widgets/parameterDialog.h"

#include <QButtonGroup>

kv7310bt_tab::kv7310bt_tab(QWidget *parent)
    : QWidget(parent), ui(new Ui::kv7310bt_tab), steps(new CommandSteps(this))
{
    ui->setupUi(this);
    frameAxes.samplePeriodS = samplePeriod;
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
    sweepGroup->addButton(ui->twoWayCont_rdbtn, 2);
    sweepGroup->addButton(ui->twoWaySingle_rdbtn, 1);
    sweepGroup->addButton(ui->oneWaySingle_rdbtn, 0);
    sweepGroup->addButton(ui->continuousWave_rdbtn, 3);
    connect(sweepGroup, SIGNAL(buttonClicked(QAbstractButton *)), this,
            SLOT(sweepBtnClicked(QAbstractButton *)));

    setUpPages();

    connect(steps, &CommandSteps::command, this, &kv7310bt_tab::sendBTmsg);
    setUpCapture();
    plotData();

    const auto at = StartUpDelays::scaled;
    QTimer::singleShot(at(1500), this, SLOT(tune()));
    QTimer::singleShot(at(100), this, SLOT(update_RFPower()));
    QTimer::singleShot(at(1000), this, SLOT(readFreqs()));
    QTimer::singleShot(at(300), this, SLOT(readRamptime()));
    QTimer::singleShot(at(400), this, SLOT(readSweepType()));
}

kv7310bt_tab::~kv7310bt_tab() { delete ui; }

void kv7310bt_tab::setCommandPause(int ms) { steps->setPause(ms); }

void kv7310bt_tab::setLineBusy(bool busy) { steps->setLineBusy(busy); }

void kv7310bt_tab::tellUser(const QString &message)
{
    msgDialog->setMessage(message);
    msgDialog->show();
}

// ---- Sweep set-up ----

namespace Setup = BtSetupSteps;

void kv7310bt_tab::on_setFreqs_btn_clicked()
{
    steps->run(Setup::setFreqs(ui->startFreq_txt->text(), ui->stopFreq_txt->text()));
}

void kv7310bt_tab::readFreqs() { steps->run(Setup::readFreqs()); }

void kv7310bt_tab::setSweepType(int type)
{
    steps->run(Setup::setSweepType(type));
    kit.sweepTypeSent(type);
}

void kv7310bt_tab::setRamptime(int type) { steps->run(Setup::setRamp(type)); }

void kv7310bt_tab::startSweep() { steps->run(Setup::startSweep()); }

void kv7310bt_tab::stopSweep() { steps->run(Setup::stopSweep()); }

void kv7310bt_tab::on_stop_btn_clicked() { stopSweep(); }

void kv7310bt_tab::on_start_btn_clicked() { startSweep(); }

void kv7310bt_tab::on_setRamp_btn_clicked()
{
    steps->run(Setup::setRamp(ui->ramptime_txt->text()));
}

void kv7310bt_tab::readRamptime() { steps->run(Setup::readRamp()); }

void kv7310bt_tab::readSweepType() { steps->run(Setup::readSweepType()); }

// Every click restarts the sweep, whatever the type.
void kv7310bt_tab::sweepBtnClicked(QAbstractButton *btn)
{
    const int type = sweepGroup->id(btn); // the ids are the kit's sweep types
    if (type >= 0)
        setSweepType(type);
    else
        qCDebug(lcBt) << "btn not recognized";
    startVLX();
}

void kv7310bt_tab::startVLX() { steps->run(Setup::startSweep()); }

void kv7310bt_tab::update_RFPower() { steps->run(Setup::readRfPower()); }

void kv7310bt_tab::tune() {}

void kv7310bt_tab::set_RFPowerBtn_state(bool s)
{
    ui->rf_power_btn->setStyleSheet(s ? QStringLiteral("*{background-color:green}")
                                      : QStringLiteral("*{background-color:red}"));
    rfOn = s;
}

void kv7310bt_tab::on_rf_power_btn_clicked() { steps->run(Setup::switchRf(!rfOn)); }

// ---- Capture ----

void kv7310bt_tab::setUpCapture()
{
    requests = new BtFrameRequests(capture, *steps, this);
    connect(requests, &BtFrameRequests::nextDue, this, &kv7310bt_tab::on_collect_btn_clicked);
    connect(requests, &BtFrameRequests::overdue, this, [this] {
        stopContinuousCapture(QStringLiteral("No frame came from the kit in time: continuous "
                                             "capture stopped."));
    });
    seriesRun = new BtSeriesRun(
        capture, *steps,
        [this](QVector<double> *data, FrameMeta::Meta *meta) {
            *data = samples;
            *meta = frameMeta();
        },
        this);
    connect(seriesRun, &BtSeriesRun::failed, this, [this](const QString &status, const QString &why) {
        emit errorMessage(status);
        tellUser(why);
    });
}

void kv7310bt_tab::on_numSamples_txt_editingFinished() {}

void kv7310bt_tab::on_collect_btn_clicked()
{
    if (!requests->mayRequest()) // a frame is on its way; its arrival asks for the next
        return;
    if (!SampleCountField::take(ui->numSamples_txt, &lastSampleCount).ok) {
        // Nothing is sent and the frame held stays; continuous capture, if on, stops.
        stopContinuousCapture(SampleCount::rangeMessage());
        return;
    }
    requests->request(lastSampleCount);
}

void kv7310bt_tab::on_continuousCapture_btn_clicked(bool checked)
{
    ui->continuousCapture_btn->setText(checked ? QStringLiteral("Stop Capture")
                                               : QStringLiteral("Start Continuous Capture"));
    // A frame still on the wire keeps its watchdog: one that never comes must not hold up the
    // next loop.
    capture.setContinuous(checked);
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
    if (capture.seriesRunning()) // one series at a time
        return;
    collectionFolder = ui->saveFolderCapture_txt->text().trimmed(); // a typed folder counts
    BtSeriesRun::Settings s;
    s.plan.folder = collectionFolder;
    s.plan.name = collectionName;
    s.plan.planned = numCaptures;
    s.plan.intervalS = captureInterval;
    s.plan.link = QStringLiteral("Bluetooth");
    s.samples = numSampleCapture;
    s.save = saveCaptureData;
    seriesRun->start(s);
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
    const FrameMeta::Kit about{"Bluetooth",     {},        {},
                               firmwareChoice->firmware(), kit.sweepKnown(),
                               frameAxes,       kit.sweepType(), kit.rfPower()};
    FrameMeta::Meta m = FrameMeta::live(about, FrameMeta::Averaging::None, samplesUtc);
    m.markers = pages->markers();
    return m;
}

// ---- Replies ----

void kv7310bt_tab::parseBTmsg(QByteArray msg)
{
    qCDebug(lcBt) << "received: " << msg.size();
    const KitReadback::Effect effect = kit.take(BtProtocol::parseReply(msg));
    if (effect.frame)
        takeFrame(msg);
    else
        applyReply(effect);
}

void kv7310bt_tab::applyReply(const KitReadback::Effect &effect)
{
    using Field = KitReadback::Effect::Field;
    using Rf = KitReadback::Effect::Rf;
    QLineEdit *fields[] = {nullptr, ui->startFreq_txt, ui->stopFreq_txt, ui->ramptime_txt};
    if (effect.field != Field::None)
        fields[int(effect.field)]->setText(effect.text);
    if (effect.sweepType >= 0)
        sweepGroup->button(effect.sweepType)->setChecked(true); // the ids are the sweep types
    if (effect.rf == Rf::On || effect.rf == Rf::Off)
        emit rf_on(effect.rf == Rf::On);
    else if (effect.rf == Rf::BadValue)
        qCDebug(lcBt) << "rfPowerCheck: bad return value";
}

void kv7310bt_tab::takeFrame(const QByteArray &msg)
{
    qCDebug(lcBt) << msg.size() - BtProtocol::kHeaderBytes - BtProtocol::kTerminatorBytes;
    const int number = ++framesReceived;
    const int seriesStep = requests->frameArrived();
    const BtProtocol::DataCheck check =
        BtProtocol::checkDataReply(msg, capture.requestedSamples());
    if (check.ok) {
        samples = BtProtocol::decodeSamples(msg);
        samplesUtc = QDateTime::currentDateTimeUtc();
        frameAxes.sweep = kit.sweep();
    } else {
        // Neither drawn nor saved: a series leaves a gap under this number.
        const QString text = QStringLiteral("frame %1 %2").arg(number).arg(check.reason);
        qCDebug(lcBt).noquote() << text;
        emit errorMessage(text);
    }
    seriesRun->replied(seriesStep, check.ok);
    if (check.ok)
        plotData();
}

// ---- Plots ----

void kv7310bt_tab::setUpPages()
{
    pages = new BtPlotPages(
        this, {ui->plot_layout, ui->spectrum_layout, ui->range_layout, ui->doppler_layout});
    connect(pages, &BtPlotPages::redrawWanted, this, [this] { plotData(); });
    firmwareChoice = new FirmwareChoice(this);
    ui->control_layout->addWidget(firmwareChoice, 21, 0, 1, 4);
    connect(firmwareChoice, &FirmwareChoice::changed, this, &kv7310bt_tab::takeSamplePeriod);
}

void kv7310bt_tab::takeSamplePeriod()
{
    samplePeriod = firmwareChoice->samplePeriodS();
    sampleRate = 1.0 / samplePeriod;
    frameAxes.samplePeriodS = samplePeriod; // the frame held came from the same kit
    pages->refitAll();
    plotData();
}

void kv7310bt_tab::tabChanged(int t)
{
    if (t >= 0 && t <= 3)
        plotData();
}

void kv7310bt_tab::plotData()
{
    if (samples.isEmpty())
        return;
    pages->draw(ui->plot_tab->currentIndex(), samples, frameAxes, kit.sweepType());
    qCDebug(lcBt) << "plotting finished";
}
