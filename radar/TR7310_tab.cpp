// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/TR7310_tab.h"

#include "app/SetupHints.h"
#include "app/FolderChooser.h"
#include "app/Logging.h"
#include "app/parameterDialog.h"
#include "dsp/ADCdataProcessing.h"
#include "dsp/PaddedFft.h"
#include "link/usbTMCabstraction.h"
#include "radar/FrameCapture.h"
#include "radar/LinePlot.h"
#include "ui_TR7310_tab.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QMouseEvent>
#include <QRubberBand>
#include <QThread>

#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace {

constexpr int kMapColumns = 150;
constexpr double kSpeedOfLight = 3e8;
const QString kRfOnStyle = QStringLiteral("*{background-color:green}");
const QString kRfOffStyle = QStringLiteral("*{background-color:red}");

// Jet, with the cells of captures not yet taken (NaN) left transparent: on a dB scale a cleared
// cell of 0 would read as the strongest return of all.
QCPColorGradient spectrumGradient()
{
    QCPColorGradient jet(QCPColorGradient::gpJet);
    jet.setNanHandling(QCPColorGradient::nhTransparent);
    return jet;
}

// The colour span of the spectrum map: its finite cells only (NaN marks cells not yet captured,
// minus infinity comes from cancelled frames). Returns false when there is nothing to span.
bool finiteBounds(QCPColorMapData *data, int firstColumn, int lastColumn, QCPRange *range)
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int v = 0; v < data->valueSize(); ++v)
        for (int k = firstColumn; k <= lastColumn; ++k) {
            const double z = data->cell(k, v);
            if (std::isfinite(z)) {
                lo = qMin(lo, z);
                hi = qMax(hi, z);
            }
        }
    if (!(lo <= hi))
        return false;
    *range = lo < hi ? QCPRange(lo, hi) : QCPRange(lo - 1, hi + 1);
    return true;
}

// Read-back numbers are shown as the kit's single-precision value in 'g', 6.
QString displayNumber(const QString &reply)
{
    return QString::number(reply.trimmed().toFloat(), 'g', 6);
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

    samplePeriod = firmwareVersion.contains(QStringLiteral("1.1.0")) ? 4.505e-05 : 5e-05;
    sampleRate = 1.0 / samplePeriod;

    ui->subtractAverage_ckbx->hide();
    saveCaptureData = true;

    numCaptures = ui->numCaptures_txt->text().toInt();
    numSampleCapture = ui->numSampleCapture_txt->text().toInt();
    captureInterval = ui->captureInterval_txt->text().toDouble();
    captureCount = 0;

    for (int i = 0; i < 10; ++i)
        captureHistory.append(QVector<double>(1024, 0.0));

    msgDialog = new parameterDialog(this);
    saver.setNotify([this](const QString &message) { tell(message); });

    saveLoc = QStringLiteral("Data");
    saveFileName = QStringLiteral("data.txt");
    collectionName = QStringLiteral("data.txt");
    collectionFolder = QStringLiteral("Data");
    ui->saveLoc_txt->setText(saveLoc);
    ui->save_fileName_txt->setText(saveFileName);

    QString none = QStringLiteral("none");
    processor = new ADCdataProcessing(none, this);

    resetRangeAxesPending = true;
    rescaleRawTimePending = true;
    rescaleVsTimePending = true;
    capAverage = false;
    rawTimeRows = 100.0;

    setUpPlots();

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
    connect(&continuousTimer, &QTimer::timeout, this, &TR7310_tab::on_collect_btn_clicked);

    plot();

    QTimer::singleShot(500, this, &TR7310_tab::update_RFPower);
    QTimer::singleShot(1500, this, &TR7310_tab::tune);
    QTimer::singleShot(510, this, &TR7310_tab::readFreqs);
    QTimer::singleShot(515, this, &TR7310_tab::readRamptime);
    QTimer::singleShot(520, this, &TR7310_tab::readSweepType);
}

TR7310_tab::~TR7310_tab() { delete ui; }

void TR7310_tab::setFilesChooser(FilesChooser chooser) { filesChooser = std::move(chooser); }

void TR7310_tab::setTunePause(Pause pause) { tunePause = std::move(pause); }

bool TR7310_tab::openDevice() { return inst && inst->openConnection(instDesc) >= 0; }

void TR7310_tab::tell(const QString &message)
{
    msgDialog->setMessage(message);
    msgDialog->show();
}

// ---------------------------------------------------------------------------------------------
// Radar set-up

void TR7310_tab::on_rf_power_btn_clicked()
{
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("POWE:RF ") +
                              (rfOn ? QStringLiteral("0") : QStringLiteral("1")));
        inst->closeConnection();
    }
    update_RFPower();
}

void TR7310_tab::set_RFPowerBtn_state(bool s)
{
    ui->rf_power_btn->setStyleSheet(s ? kRfOnStyle : kRfOffStyle);
    rfOn = s;
}

void TR7310_tab::update_RFPower()
{
    if (!openDevice())
        return;
    inst->sendVISACommand(QStringLiteral("POWE:RF?"));
    const QPair<int, QString> reply = inst->readVISAResponseString();
    inst->closeConnection();
    if (reply.first < 0)
        return;
    const quint8 state = quint8(reply.second.trimmed().toInt());
    if (state == 1)
        emit rf_on(true);
    else if (state == 0)
        emit rf_on(false);
    else
        qCDebug(lcRadar, "rfPowerCheck: bad return value");
}

void TR7310_tab::tune()
{
    if (!openDevice())
        return;
    QStringList codes;
    for (int c = 1; c <= 8; ++c)
        codes << QString::number(c);
    for (int c = 8; c >= 1; --c)
        codes << QString::number(c);
    for (int i = 0; i < codes.size(); ++i) {
        inst->sendVISACommand(QStringLiteral("SWEEP:RAMPTIME ") + codes.at(i));
        if (i + 1 < codes.size()) {
            if (tunePause)
                tunePause(100);
            else
                QThread::msleep(100);
        }
    }
    qCDebug(lcRadar) << ui->ramptime_txt->text();
    inst->sendVISACommand(QStringLiteral("SWEEP:RAMPTIME ") + ui->ramptime_txt->text());
    inst->closeConnection();
}

void TR7310_tab::readFreqs()
{
    if (!openDevice())
        return;
    inst->sendVISACommand(QStringLiteral("SWEEP:FREQSTOP?"));
    QPair<int, QString> reply = inst->readVISAResponseString();
    if (reply.first >= 0) {
        ui->stopFreq_txt->setText(displayNumber(reply.second));
        inst->sendVISACommand(QStringLiteral("SWEEP:FREQSTAR?"));
        reply = inst->readVISAResponseString();
        if (reply.first >= 0)
            ui->startFreq_txt->setText(displayNumber(reply.second));
    }
    inst->closeConnection();
}

void TR7310_tab::readRamptime()
{
    if (!openDevice())
        return;
    inst->sendVISACommand(QStringLiteral("SWEEP:RAMPTIME?"));
    const QPair<int, QString> reply = inst->readVISAResponseString();
    if (reply.first >= 0)
        ui->ramptime_txt->setText(displayNumber(reply.second));
    inst->closeConnection();
}

void TR7310_tab::readSweepType()
{
    if (!openDevice())
        return;
    inst->sendVISACommand(QStringLiteral("SWEEP:TYPE?"));
    const QPair<int, QString> reply = inst->readVISAResponseString();
    inst->closeConnection();
    if (reply.first < 0)
        return;
    const float code = reply.second.trimmed().toFloat();
    if (code == 0.0f)
        ui->oneWaySingle_rdbtn->setChecked(true);
    else if (code == 1.0f)
        ui->twoWaySingle_rdbtn->setChecked(true);
    else if (code == 2.0f)
        ui->twoWayCont_rdbtn->setChecked(true);
    else if (code == 3.0f)
        ui->continuousWave_rdbtn->setChecked(true);
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
        if (openDevice()) {
            inst->sendVISACommand(QStringLiteral("SWEEP:TYPE ") + QString::number(code));
            inst->closeConnection();
        }
    } else {
        qCDebug(lcRadar, "btn not recognized");
    }
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("SWEEP:START"));
        inst->closeConnection();
    }
}

void TR7310_tab::on_setFreqs_btn_clicked()
{
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("SWEEP:FREQSTAR ") + ui->startFreq_txt->text());
        inst->sendVISACommand(QStringLiteral("SWEEP:FREQSTOP ") + ui->stopFreq_txt->text());
        inst->closeConnection();
    }
    readFreqs();
    applyAxisMode();
}

void TR7310_tab::on_setRamp_btn_clicked()
{
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("SWEEP:RAMPTIME ") + ui->ramptime_txt->text());
        inst->closeConnection();
    }
    readRamptime();
    applyAxisMode();
}

void TR7310_tab::on_start_btn_clicked()
{
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("SWEEP:START"));
        inst->closeConnection();
    }
    update_RFPower();
}

void TR7310_tab::on_stop_btn_clicked()
{
    if (openDevice()) {
        inst->sendVISACommand(QStringLiteral("SWEEP:STOP"));
        inst->closeConnection();
    }
    update_RFPower();
}

// ---------------------------------------------------------------------------------------------
// Capture

void TR7310_tab::on_collect_btn_clicked()
{
    if (!openDevice()) {
        if (continuousCapture)
            stopContinuousCapture(
                QStringLiteral("Continuous capture stopped: the kit could not be opened."));
        return;
    }

    int n = ui->numSamples_txt->text().toInt();
    if (n > FrameCapture::maxSamples) {
        ui->numSamples_txt->setText(QString::number(FrameCapture::maxSamples));
        n = FrameCapture::maxSamples;
    }
    const FrameCapture::FrameText frame = FrameCapture::captureFrame(*inst, n);

    previousSamples = samples;
    samples = FrameCapture::hexToVolts(frame.hex);

    if (samples.isEmpty() && continuousCapture) {
        inst->closeConnection();
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

    plot();
    inst->closeConnection();
}

void TR7310_tab::stopContinuousCapture(const QString &reason)
{
    qCDebug(lcRadar) << reason;
    continuousCapture = false;
    ui->continuousCapture_btn->setChecked(false);
    ui->continuousCapture_btn->setText(QStringLiteral("Start Continuous Capture"));
    tell(reason);
}

void TR7310_tab::on_continuousCapture_btn_clicked(bool checked)
{
    if (checked) {
        ui->continuousCapture_btn->setText(QStringLiteral("Stop Capture"));
        continuousCapture = true;
    } else {
        ui->continuousCapture_btn->setText(QStringLiteral("Start Continuous Capture"));
        continuousCapture = false;
    }
    on_collect_btn_clicked();
}

void TR7310_tab::on_startCapture_btn_clicked()
{
    if (collectionRunning) {
        qCDebug(lcRadar, "a collection is already running");
        return;
    }
    collectionRunning = true;
    saver.beginRun();
    collectionStep();
}

void TR7310_tab::stopCollection(const QString &reason)
{
    collectionTimer.stop();
    collectionRunning = false;
    qCDebug(lcRadar) << reason;
    tell(reason);
}

void TR7310_tab::collectionStep()
{
    if (captureCount >= numCaptures) {
        captureCount = 0;
        collectionRunning = false;
        return;
    }
    const QString stopped = QStringLiteral("The collection stopped after %1 of %2 captures: %3 "
                                           "Press Start Collection to go on from there.");
    if (!openDevice()) {
        stopCollection(stopped.arg(captureCount)
                           .arg(numCaptures)
                           .arg(QStringLiteral("the kit could not be opened.")));
        return;
    }

    const int n = numSampleCapture;
    FrameCapture::requestFrame(*inst, n);
    // The interval runs from the frame request, not from the end of the transfer.
    const double ms = std::trunc(captureInterval * 1000.0);
    collectionTimer.start(int(qBound(0.0, ms, double(std::numeric_limits<int>::max()))));
    const FrameCapture::FrameText frame = FrameCapture::fetchFrame(*inst, n);
    QVector<double> volts = FrameCapture::hexToVolts(frame.hex);

    if (frame.lostReplies > 0 || (volts.isEmpty() && n > 0)) {
        inst->closeConnection();
        stopCollection(stopped.arg(captureCount)
                           .arg(numCaptures)
                           .arg(QStringLiteral("the kit stopped answering.")));
        return;
    }

    samples = std::move(volts);
    plot();
    inst->closeConnection();

    ++captureCount;
    if (saveCaptureData)
        saveData(samples, collectionFolder + QLatin1Char('/') +
                              DataFile::numberedName(collectionName, captureCount - 1));
}

void TR7310_tab::on_numCaptures_txt_editingFinished()
{
    numCaptures = ui->numCaptures_txt->text().toInt();
    ui->numCaptures_txt->setText(QString::number(numCaptures));
}

void TR7310_tab::on_numSampleCapture_txt_editingFinished()
{
    const double d = ui->numSampleCapture_txt->text().toDouble();
    numSampleCapture = ui->numSampleCapture_txt->text().toInt();
    if (numSampleCapture >= 1 && numSampleCapture <= FrameCapture::maxSamples) {
        ui->numSampleCapture_txt->setText(QString::number(numSampleCapture));
        return;
    }
    msgDialog->setMessage(QStringLiteral(
        "Number of samples must be an integer greater than zero and less than 4097"));
    msgDialog->show();
    ui->numSampleCapture_txt->setText(QString::number(std::floor(d + 0.5), 'f', 0));
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
    collectionFolder = FolderChooser::choose(this, collectionFolder);
    ui->saveFolderCapture_txt->setText(collectionFolder);
}

// ---------------------------------------------------------------------------------------------
// Data files

void TR7310_tab::saveData(QVector<double> data, QString path) { saver.save(data, path); }

void TR7310_tab::on_save_btn_clicked()
{
    saver.beginRun();
    saveData(samples, saveLoc + QLatin1Char('/') + saveFileName);
}

void TR7310_tab::on_browse_btn_clicked()
{
    saveLoc = FolderChooser::choose(this, saveLoc);
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
    for (const QString &name : std::as_const(files)) {
        qCDebug(lcRadar) << name;
        QVector<double> frame;
        DataFile::read(name, &frame);
        previousSamples = samples;
        samples = std::move(frame);
        plot();
    }
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
                    QStringLiteral("Range (m)"), QStringLiteral("Power (dBm)"));
    ui->rangeSpectrum_wdgt->yAxis->setRange(-120, 0);
    ui->rangeSpectrum_wdgt->xAxis->setRange(0, 10000);

    LinePlot::setUp(ui->dopplerPlot_wdgt, QStringLiteral("Doppler Plot"),
                    QStringLiteral("Doppler Shift (Hz)"), QStringLiteral("Power (dBm)"));
    ui->dopplerPlot_wdgt->yAxis->setRange(-120, 0);
    ui->dopplerPlot_wdgt->xAxis->setRange(0, 10000);

    setUpColourMap(ui->rawTime_wdgt, rawTimeMap, rawTimeScale, rawTimeRows,
                   new QCPTextElement(ui->rawTime_wdgt, QStringLiteral("Raw Vs Time"),
                                      LinePlot::titleFont()),
                   QStringLiteral("Long Time (Capture Number)"), QStringLiteral("Short Time (s)"),
                   QStringLiteral("Amplitude"));
    vsTimeTitle = new QCPTextElement(ui->FrequencyVsTimePlot_wdgt, QStringLiteral("Range Vs Time"),
                                     LinePlot::titleFont());
    setUpColourMap(ui->FrequencyVsTimePlot_wdgt, vsTimeMap, vsTimeScale, vsTimeRows, vsTimeTitle,
                   QStringLiteral("Capture Number"), QStringLiteral("Frequency (Hz)"),
                   QStringLiteral("Power (dBm)"));

    on_zoomRaw2Fit_btn_clicked();
}

void TR7310_tab::setUpColourMap(QCustomPlot *plot, QCPColorMap *&map, QCPColorScale *&scale,
                                double rows, QCPTextElement *title, const QString &xLabel,
                                const QString &yLabel, const QString &scaleLabel)
{
    map = new QCPColorMap(plot->xAxis, plot->yAxis); // registers with the plot
    map->data()->setSize(50, 50);
    map->data()->setRange(QCPRange(0, kMapColumns - 1), QCPRange(0, rows));
    map->data()->fill(0.0);
    map->setGradient(QCPColorGradient::gpJet);
    map->rescaleDataRange(true);
    plot->rescaleAxes();
    plot->replot(QCustomPlot::rpRefreshHint);

    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, title);
    plot->yAxis->setLabel(yLabel);
    plot->xAxis->setLabel(xLabel);

    scale = new QCPColorScale(plot);
    plot->plotLayout()->addElement(1, 1, scale);
    scale->setLabel(scaleLabel);
    map->setColorScale(scale);
    plot->replot(QCustomPlot::rpRefreshHint);
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

    if (continuousCapture && !continuousTimer.isActive())
        continuousTimer.start(1);
}

void TR7310_tab::plotRaw(const QVector<double> &w)
{
    const int n = w.size();
    QVector<double> t(n);
    for (int k = 0; k < n; ++k)
        t[k] = k * samplePeriod;
    QCustomPlot *p = ui->rawPlot_wdgt;
    p->xAxis->setLabel(QStringLiteral("Time (s)"));
    p->yAxis->setLabel(QStringLiteral("Amplitude (V)"));
    if (t.last() != lastRawTime) {
        lastRawTime = t.last();
        p->xAxis->setRange(0, lastRawTime);
    }
    LinePlot::show(p, t, w);
}

static QVector<double> binFrequencies(int bins, double sampleRate, int paddedLength)
{
    QVector<double> f(bins);
    const double spacing = sampleRate / paddedLength;
    for (int k = 0; k < bins; ++k)
        f[k] = k * spacing;
    return f;
}

void TR7310_tab::plotSpectrum(const QVector<double> &w)
{
    QVector<double> p = paddedSpectrum(w);
    finishLinePlot(p);
    const QVector<double> f = binFrequencies(p.size(), sampleRate, 7 * w.size());
    QCustomPlot *plot = ui->spectrum_wdgt;
    plot->yAxis->setLabel(QStringLiteral("Power (dBm)"));
    plot->xAxis->setLabel(QStringLiteral("Frequency (Hz)"));
    LinePlot::show(plot, f, p);
}

double TR7310_tab::chirpSlopeTerm() const
{
    const double f1 = ui->startFreq_txt->text().toDouble();
    const double f2 = ui->stopFreq_txt->text().toDouble();
    const double t = ui->ramptime_txt->text().toDouble();
    return 2.0 * (f2 * 1e9 - f1 * 1e9) / (t / 1000.0);
}

void TR7310_tab::plotRange(const QVector<double> &w)
{
    QVector<double> p = paddedSpectrum(w);
    finishLinePlot(p);
    const double k2 = chirpSlopeTerm();
    QVector<double> r = binFrequencies(p.size(), sampleRate, 7 * w.size());
    for (double &x : r)
        x = x * kSpeedOfLight / k2;
    LinePlot::show(ui->rangeSpectrum_wdgt, r, p);
    if (!r.isEmpty())
        maxRange = r.last();
    if (resetRangeAxesPending) {
        on_resetRangeAxes_btn_clicked();
        resetRangeAxesPending = false;
    }
}

void TR7310_tab::plotDoppler(const QVector<double> &w)
{
    QVector<double> p = paddedSpectrum(w);
    finishLinePlot(p);
    const QVector<double> f = binFrequencies(p.size(), sampleRate, 7 * w.size());
    LinePlot::show(ui->dopplerPlot_wdgt, f, p);
}

void TR7310_tab::plotRawTime(const QVector<double> &w)
{
    const int n = w.size();
    QCustomPlot *plot = ui->rawTime_wdgt;
    qCDebug(lcRadar) << "range size: " << plot->yAxis->range().size();
    QCPColorMapData *data = rawTimeMap->data();
    // The start-up layout is 50 x 50 for 100 rows; frames of 100 samples need the full layout too.
    if (n != rawTimeRows || data->valueSize() != n || data->keySize() != kMapColumns) {
        qCDebug(lcRadar, "startingOver");
        rawTimeRows = n;
        data->setRange(QCPRange(0, kMapColumns - 1), QCPRange(0, n * samplePeriod));
        data->setSize(kMapColumns, n);
        data->fill(0.0);
        rawTimeColumn = 0;
    }
    for (int r = 0; r < n; ++r)
        data->setCell(rawTimeColumn, r, w[r]);
    rawTimeMap->setGradient(QCPColorGradient::gpJet);
    rawTimeMap->rescaleDataRange(true);
    if (rescaleRawTimePending) {
        plot->rescaleAxes();
        rescaleRawTimePending = false;
    }
    plot->replot(QCustomPlot::rpRefreshHint);
    qCDebug(lcRadar) << rawTimeColumn;
    rawTimeColumn = rawTimeColumn == kMapColumns - 1 ? 0 : rawTimeColumn + 1;
}

void TR7310_tab::plotVsTime(const QVector<double> &w)
{
    const int n = w.size();
    QCustomPlot *plot = ui->FrequencyVsTimePlot_wdgt;
    QCPColorMapData *data = vsTimeMap->data();
    const int rows = (7 * n) / 2;
    if (n != vsTimeRows) {
        qCDebug(lcRadar, "startingOver");
        vsTimeRows = n;
        applyAxisMode();
        data->setSize(kMapColumns, rows);
        data->fill(qQNaN());
        vsTimeColumn = 0;
        fitVsTimeColoursPending = true;
    }
    const QVector<double> p = paddedSpectrum(w);
    qCDebug(lcRadar) << "tmpArraySize: " << p.size();
    qCDebug(lcRadar) << "bufferArraySize: " << p.size();
    const int h = qMin<int>(p.size(), rows);
    for (int r = 0; r < h; ++r)
        data->setCell(vsTimeColumn, r, p[r]);
    vsTimeMap->setGradient(spectrumGradient());
    if (fitVsTimeColoursPending) {
        // The axis mode found nothing to fit in the cleared map; fit to the first real column.
        QCPRange colours;
        if (finiteBounds(data, vsTimeColumn, vsTimeColumn, &colours))
            vsTimeScale->setDataRange(colours);
        fitVsTimeColoursPending = false;
    }
    if (rescaleVsTimePending) {
        plot->rescaleAxes();
        rescaleVsTimePending = false;
    }
    plot->replot(QCustomPlot::rpRefreshHint);
    vsTimeColumn = vsTimeColumn == kMapColumns - 1 ? 0 : vsTimeColumn + 1;
}

void TR7310_tab::applyAxisMode()
{
    const double f1 = ui->startFreq_txt->text().toDouble();
    // The map's rows run from 0 Hz up to half the sample rate (10 kHz at 20 kHz sampling).
    const double topHz = sampleRate / 2.0;
    QCustomPlot *plot = ui->FrequencyVsTimePlot_wdgt;
    QCPColorMapData *data = vsTimeMap->data();
    const QCPRange keys(0, kMapColumns - 1);
    if (ui->setFreqAxis_rdbn->isChecked()) {
        data->setRange(keys, QCPRange(0, topHz));
        plot->yAxis->setLabel(QStringLiteral("Frequency (Hz)"));
        vsTimeTitle->setText(QStringLiteral("Frequency Vs Time"));
    } else if (ui->setVelocityAxis_rdbn->isChecked()) {
        // v = f_d c / (2 f0): the Doppler shift of a radial velocity is 2 v f0 / c.
        data->setRange(keys, QCPRange(0, topHz * kSpeedOfLight / (2.0 * f1 * 1e9)));
        plot->yAxis->setLabel(QStringLiteral("Velocity (m/s)"));
        vsTimeTitle->setText(QStringLiteral("Velocity Vs Time"));
    } else if (ui->setRangeAxis_rdbn->isChecked()) {
        data->setRange(keys, QCPRange(0, topHz * kSpeedOfLight / chirpSlopeTerm()));
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
    ui->dopplerPlot_wdgt->xAxis->setRange(0, 10000);
    ui->dopplerPlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_resetRawTimeAxes_btn_clicked()
{
    ui->rawTime_wdgt->rescaleAxes();
    rawTimeScale->rescaleDataRange(true);
    ui->rawTime_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void TR7310_tab::on_resetFreqVTimeAxes_btn_clicked()
{
    ui->FrequencyVsTimePlot_wdgt->rescaleAxes();
    QCPColorMapData *data = vsTimeMap->data();
    QCPRange colours;
    if (finiteBounds(data, 0, data->keySize() - 1, &colours))
        vsTimeScale->setDataRange(colours);
    ui->FrequencyVsTimePlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

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
