// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/TR7310_tab.h"

#include "capture/DataFile.h"
#include "capture/Sigmf.h"
#include "radar/CaptureControls.h"
#include "radar/CaptureSession.h"
#include "radar/KitSession.h"
#include "radar/KitSettings.h"
#include "radar/LinePages.h"
#include "radar/ReplayControls.h"
#include "radar/TimeMaps.h"
#include "ui_TR7310_tab.h"
#include "widgets/FolderChooser.h"
#include "widgets/Logging.h"
#include "widgets/SampleCountField.h"
#include "widgets/SetupHints.h"
#include "widgets/StartUpDelays.h"
#include "widgets/parameterDialog.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTimer>

#include <qcustomplot.h>

TR7310_tab::TR7310_tab(usbTMCabstraction *inst, QString instDesc, QString firmwareVersion,
                       QString productName, QString serialNumber, QWidget *parent)
    : QWidget(parent), instDesc(instDesc), firmwareVersion(firmwareVersion),
      productName(productName), serialNumber(serialNumber), ui(new Ui::TR7310_tab)
{
    ui->setupUi(this);
    SetupHints::apply(this);
    ui->subtractAverage_ckbx->hide();
    FrameMeta::Kit identity{QStringLiteral("USB"), productName, serialNumber, firmwareVersion,
                            false, {}, -1, -1};
    identity.axes.samplePeriodS = RadarMath::samplePeriodForFirmware(firmwareVersion.toStdString());
    shown.axes = identity.axes;
    numCaptures = ui->numCaptures_txt->text().toInt();
    numSampleCapture = ui->numSampleCapture_txt->text().toInt();
    captureInterval = ui->captureInterval_txt->text().toDouble();
    msgDialog = new parameterDialog(this);
    saveLoc = QStringLiteral("Data");
    saveFileName = collectionName = QStringLiteral("data.txt");
    ui->saveLoc_txt->setText(saveLoc);
    ui->save_fileName_txt->setText(saveFileName);

    lines = new LinePages(*ui, [this] { return shown.meta.sweepType; }, this);
    connect(lines, &LinePages::settingsChanged, this, &TR7310_tab::plot);
    maps = new TimeMaps(*ui, this);
    addFormExtras();

    connect(ui->plot_tab, &QTabWidget::currentChanged, this, &TR7310_tab::tabChanged);
    connect(this, &TR7310_tab::rf_on, this, &TR7310_tab::set_RFPowerBtn_state);
    kit = new KitSession(inst, instDesc, serialNumber, this);
    kit->setRampText(ui->ramptime_txt->text());
    connect(ui->ramptime_txt, &QLineEdit::textChanged, kit, &KitSession::setRampText);
    settings = new KitSettings(*ui, *kit, identity, this);
    connect(settings->sweepButtons(), &QButtonGroup::buttonClicked, this,
            &TR7310_tab::sweepBtnClicked);
    connect(settings, &KitSettings::rfPowerRead, this, &TR7310_tab::rf_on);
    connect(settings, &KitSettings::sweepRead, this, &TR7310_tab::kitSweepRead);
    wireCapture();
    plot();

    QTimer::singleShot(StartUpDelays::scaled(500), this, &TR7310_tab::update_RFPower);
    QTimer::singleShot(StartUpDelays::scaled(1500), this, &TR7310_tab::tune);
    QTimer::singleShot(StartUpDelays::scaled(510), this, &TR7310_tab::readFreqs);
    QTimer::singleShot(StartUpDelays::scaled(515), this, &TR7310_tab::readRamptime);
    QTimer::singleShot(StartUpDelays::scaled(520), this, &TR7310_tab::readSweepType);
}

TR7310_tab::~TR7310_tab()
{
    delete kit; // its jobs are cancelled and their results dropped before the form goes
    delete ui;
}

// Widgets beyond the form's: the replay page and the frame's label.
void TR7310_tab::addFormExtras()
{
    shownFrame_lbl = new QLabel(this);
    shownFrame_lbl->setObjectName(QStringLiteral("shownFrame_lbl"));
    shownFrame_lbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->gridLayout->addWidget(shownFrame_lbl, 2, 7);

    replay = new ReplayControls(ui->setup_tab);
    ui->setup_tab->addTab(replay, QStringLiteral("Replay"));
    connect(replay, &ReplayControls::frameReady, this, &TR7310_tab::showRecordedFrame);
}

void TR7310_tab::setFilesChooser(FilesChooser chooser) { filesChooser = std::move(chooser); }
void TR7310_tab::setTunePause(Pause pause) { kit->setTunePause(std::move(pause)); }
CaptureCycle::State TR7310_tab::captureState() const { return capture->cycle().state(); }
int TR7310_tab::pendingLinkJobs() const { return kit->pending(); }

void TR7310_tab::tell(const QString &message)
{
    msgDialog->setMessage(message);
    msgDialog->show();
}

// Radar set-up: each command in a bracket of its own, read-backs into the form.
void TR7310_tab::on_rf_power_btn_clicked() { settings->setRfPower(!rfOn); }

void TR7310_tab::set_RFPowerBtn_state(bool s)
{
    ui->rf_power_btn->setStyleSheet(s ? QStringLiteral("*{background-color:green}")
                                      : QStringLiteral("*{background-color:red}"));
    rfOn = s;
}

void TR7310_tab::update_RFPower() { settings->readRfPower(); }
void TR7310_tab::tune() { kit->tune(); }
void TR7310_tab::readFreqs() { settings->readFreqs(); }
void TR7310_tab::readRamptime() { settings->readRamp(); }
void TR7310_tab::readSweepType() { settings->readSweepType(); }
void TR7310_tab::sweepBtnClicked(QAbstractButton *btn) { settings->pickSweep(btn); }

// Until a frame is shown, the axes are the kit's as it reads them back.
void TR7310_tab::kitSweepRead()
{
    if (shown.samples.isEmpty())
        shown.axes = settings->readback().kit.axes;
}

// A live frame is drawn on the kit's sweep as read back; a recorded frame keeps its own.
void TR7310_tab::followKitAxes()
{
    if (shown.live()) {
        const RadarMath::FrameAxes before = shown.axes;
        shown.axes = settings->readback().kit.axes;
        axesShown(before);
    }
    applyAxisMode();
}

// The axes follow the frequencies the kit reports, so they wait for the read-back.
void TR7310_tab::on_setFreqs_btn_clicked() { settings->applyFreqs([this] { followKitAxes(); }); }
void TR7310_tab::on_setRamp_btn_clicked() { settings->applyRamp([this] { followKitAxes(); }); }
void TR7310_tab::on_start_btn_clicked() { settings->runSweep(true); }
void TR7310_tab::on_stop_btn_clicked() { settings->runSweep(false); }

// Capture: the session decides and asks the kit; the tab shows, saves and tells.
void TR7310_tab::wireCapture()
{
    capture = new CaptureSession(*kit, [this](int *n) {
        const bool ok = SampleCountField::take(ui->numSamples_txt, &lastSampleCount).ok;
        *n = lastSampleCount;
        return ok;
    }, this);
    controls = new CaptureControls(*ui, *capture, this);
    setPlan();
    connect(capture, &CaptureSession::liveFrame, this, &TR7310_tab::showLiveFrame);
    connect(capture, &CaptureSession::collectionFrame, this, &TR7310_tab::showCollectionFrame);
    connect(capture, &CaptureSession::collectionStopped, this, &TR7310_tab::tell);
    connect(capture, &CaptureSession::continuousStopped, this, &TR7310_tab::tell);
    connect(capture, &CaptureSession::captureStatus, this, &TR7310_tab::captureStatus);
    connect(capture, &CaptureSession::errorMessage, this, &TR7310_tab::errorMessage);
}

void TR7310_tab::setPlan()
{
    capture->setPlan({numCaptures, numSampleCapture, captureInterval});
    controls->setPlan({collectionName, numCaptures, captureInterval, serialNumber});
}

void TR7310_tab::on_collect_btn_clicked() { capture->collectOnce(); }
void TR7310_tab::on_startCapture_btn_clicked() { controls->toggleCollection(); }

void TR7310_tab::on_continuousCapture_btn_clicked(bool checked)
{
    ui->continuousCapture_btn->setText(checked ? QStringLiteral("Stop Capture")
                                               : QStringLiteral("Start Continuous Capture"));
    capture->setContinuous(checked);
}

void TR7310_tab::showLiveFrame(const FrameCapture::FrameText &frame)
{
    shown.replace(FrameCapture::hexToVolts(frame.hex));
    if (shown.samples.isEmpty() && capture->cycle().state() == CaptureCycle::State::Continuous) {
        capture->stopContinuous(
            QStringLiteral("Continuous capture stopped: the kit sent an empty frame."));
        return;
    }
    history.add(shown.samples);
    const FrameMeta::Averaging mode = !capAverage       ? FrameMeta::Averaging::None
                                      : subtractAverage ? FrameMeta::Averaging::MinusMeanOfTen
                                                        : FrameMeta::Averaging::MeanOfTen;
    // The history's modes are the sidecar's, in the same order.
    newLiveFrame(history.averaged(shown.samples, FrameHistory::Averaging(int(mode))), mode);
    plot();
}

// A collection frame is drawn but kept out of the history; a refused one leaves a gap in the
// index. A file that cannot be written ends the collection: the disk will not take the next.
void TR7310_tab::showCollectionFrame(const FrameCapture::FrameText &frame, int number,
                                     double sinceFirstS)
{
    if (frame.check.ok) {
        newLiveFrame(FrameCapture::hexToVolts(frame.hex), FrameMeta::Averaging::None);
        plot();
    }
    QString error;
    if (!saveCaptureData ||
        controls->save(number, frame.check.ok ? &shown.samples : nullptr, shown.meta, sinceFirstS,
                       &error))
        return;
    emit errorMessage(QStringLiteral("Could not save %1").arg(error));
    if (capture->cycle().state() == CaptureCycle::State::Collecting) // else the status bar only
        capture->stopCollection(QStringLiteral("The collection stopped after %1 of %2 captures. "
                                               "Could not save %3")
                                    .arg(number + 1)
                                    .arg(numCaptures)
                                    .arg(error));
}

void TR7310_tab::on_numCaptures_txt_editingFinished()
{
    numCaptures = ui->numCaptures_txt->text().toInt();
    ui->numCaptures_txt->setText(QString::number(numCaptures));
    setPlan();
}

void TR7310_tab::on_numSampleCapture_txt_editingFinished()
{
    const SampleCount::Checked c =
        SampleCountField::take(ui->numSampleCapture_txt, &numSampleCapture);
    setPlan();
    if (!c.ok || c.clamped)
        tell(SampleCount::rangeMessage());
}

void TR7310_tab::on_captureInterval_txt_editingFinished()
{
    captureInterval = ui->captureInterval_txt->text().toDouble();
    setPlan();
}

void TR7310_tab::on_captureInterval_txt_cursorPositionChanged(int, int)
{
    on_captureInterval_txt_editingFinished(); // the interval counts as it is typed
}

void TR7310_tab::on_saveNameCapture_txt_editingFinished()
{
    collectionName = ui->saveNameCapture_txt->text();
    setPlan();
}

void TR7310_tab::on_browsCollection_btn_clicked()
{
    ui->saveFolderCapture_txt->setText(
        FolderChooser::choose(this, ui->saveFolderCapture_txt->text().trimmed()));
}

// The frame on show and data files
void TR7310_tab::newLiveFrame(QVector<double> samples, FrameMeta::Averaging averaging)
{
    const RadarMath::FrameAxes before = shown.axes;
    shown.showLive(std::move(samples), settings->readback(), averaging);
    axesShown(before);
    shownFrame_lbl->setText(shown.liveLabel());
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
    const RadarMath::FrameAxes before = shown.axes;
    shownFrame_lbl->setText(shown.showRecorded(frame, settings->readback()));
    axesShown(before);
    plot();
}

FrameMeta::Meta TR7310_tab::shownMeta() const
{
    FrameMeta::Meta meta = shown.sidecar();
    meta.markers = lines->markers(); // as set on the pages
    return meta;
}

// The spectrum map's rows belong to the frames it holds.
void TR7310_tab::axesShown(const RadarMath::FrameAxes &before)
{
    if (!ShownFrame::sameAxes(before, shown.axes))
        maps->axesChanged(shown.axes);
}

void TR7310_tab::on_save_btn_clicked()
{
    saveLoc = ui->saveLoc_txt->text().trimmed(); // a folder typed by hand counts
    const FrameMeta::Meta meta = shownMeta();
    const auto told = DataFile::saveTold(shown.samples, saveLoc + '/' + saveFileName, &meta);
    if (told.ok) {
        emit captureStatus(told.text);
        return;
    }
    emit errorMessage(told.text);
    tell(told.text);
}

void TR7310_tab::on_browse_btn_clicked()
{
    saveLoc = FolderChooser::choose(this, ui->saveLoc_txt->text().trimmed());
    ui->saveLoc_txt->setText(saveLoc);
}

void TR7310_tab::on_save_fileName_txt_editingFinished()
{
    saveFileName = ui->save_fileName_txt->text();
}

void TR7310_tab::on_load_btn_clicked()
{
    const QString caption = QStringLiteral("Load Data...");
    const QStringList files = filesChooser ? filesChooser(this, caption)
                                           : QFileDialog::getOpenFileNames(this, caption);
    // data2.txt before data10.txt, whatever order the dialog gives.
    for (const QString &name : Recording::naturallySorted(Sigmf::expandFrames(files)))
        showRecordedFrame(Recording::load(name));
}

// Plots
void TR7310_tab::plot()
{
    if (shown.samples.isEmpty())
        return;
    const QVector<double> w = shown.drawn(twoPulseCancellation);
    const int page = ui->plot_tab->currentIndex();
    if (page >= LinePages::Raw && page <= LinePages::Doppler)
        lines->draw(LinePages::Page(page), w, shown.axes);
    else if (page == 4)
        maps->addRaw(w, shown.axes, shown.number);
    else if (page == 5)
        maps->addSpectrum(w, shown.axes, shown.number);
}

void TR7310_tab::tabChanged(int t)
{
    if (t >= 0 && t <= 5)
        plot();
}

void TR7310_tab::applyAxisMode() { maps->applyAxisMode(shown.axes); }
void TR7310_tab::on_setRangeAxis_rdbn_clicked() { applyAxisMode(); }
void TR7310_tab::on_setVelocityAxis_rdbn_clicked() { applyAxisMode(); }
void TR7310_tab::on_setFreqAxis_rdbn_clicked() { applyAxisMode(); }

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

void TR7310_tab::on_zoomRaw2Fit_btn_clicked() { lines->resetRaw(); }
void TR7310_tab::on_specPlot_axesReset_btn_clicked() { lines->resetSpectrum(); }
void TR7310_tab::on_resetRangeAxes_btn_clicked() { lines->resetRange(); }
void TR7310_tab::on_resetDopplerAxes_btn_clicked() { lines->resetDoppler(); }
void TR7310_tab::on_resetRawTimeAxes_btn_clicked() { maps->raw().resetAxes(); }
void TR7310_tab::on_resetFreqVTimeAxes_btn_clicked() { maps->spectrum().resetAxes(); }

// Either box of a page sets the page's wheel zoom from both.
#define KVVLX_ZOOM_SLOTS(page, plot)                                                             \
    void TR7310_tab::on_##page##_zoomX_clicked(bool)                                             \
    {                                                                                            \
        LinePages::setZoom(ui->plot, ui->page##_zoomX, ui->page##_zoomY);                        \
    }                                                                                            \
    void TR7310_tab::on_##page##_zoomY_clicked(bool) { on_##page##_zoomX_clicked(true); }
KVVLX_ZOOM_SLOTS(rawPlot, rawPlot_wdgt)
KVVLX_ZOOM_SLOTS(specPlot, spectrum_wdgt)
KVVLX_ZOOM_SLOTS(rangePlot, rangeSpectrum_wdgt)
KVVLX_ZOOM_SLOTS(doppler, dopplerPlot_wdgt)
KVVLX_ZOOM_SLOTS(rawTime, rawTime_wdgt)
KVVLX_ZOOM_SLOTS(freqVtime, FrequencyVsTimePlot_wdgt)
#undef KVVLX_ZOOM_SLOTS

// Flags
void TR7310_tab::on_saveData_ckbx_clicked(bool checked) { saveCaptureData = checked; }
void TR7310_tab::on_twoPulseCancellation_btn_clicked(bool checked) { twoPulseCancellation = checked; }
void TR7310_tab::on_capAverage_btn_clicked(bool checked) { capAverage = checked; }
void TR7310_tab::on_subtractAverage_ckbx_clicked(bool checked) { subtractAverage = checked; }
