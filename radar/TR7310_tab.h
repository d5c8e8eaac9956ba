// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CaptureCycle.h"
#include "capture/FrameCapture.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "dsp/FrameHistory.h"
#include "radar/ShownFrame.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class CaptureControls;
class CaptureSession;
class KitSession;
class KitSettings;
class LinePages;
class QAbstractButton;
class QLabel;
class QMouseEvent;
class QRubberBand;
class ReplayControls;
class TimeMaps;
class parameterDialog;
class usbTMCabstraction;

namespace Ui {
class TR7310_tab;
}

// The USB radar tab of one kit: the form's controller. The kit's set-up and read-backs run on the
// link thread (KitSession), captures follow one state (CaptureSession), the pages draw the frame
// on show (LinePages, TimeMaps), and collections go to a CollectionWriter.
class TR7310_tab : public QWidget
{
    Q_OBJECT
public:
    TR7310_tab(usbTMCabstraction *inst, QString instDesc, QString firmwareVersion,
               QString productName, QString serialNumber, QWidget *parent = nullptr);
    ~TR7310_tab() override;

    // The file dialog of Load Data, replaceable so that nothing waits on a modal dialog in tests
    // (the folder dialogs are FolderChooser's).
    using FilesChooser = std::function<QStringList(QWidget *parent, const QString &caption)>;
    void setFilesChooser(FilesChooser chooser);

    // The 100 ms pauses of the ramp-time tune sequence, taken on the link thread;
    // QThread::msleep unless replaced.
    using Pause = std::function<void(int ms)>;
    void setTunePause(Pause pause);

    // For scripts (remote control): the same controls a user works, so the form follows.
    QString serial() const { return serialNumber; }
    enum class Setting { StartGHz, StopGHz, RampMs, SweepType, RfPower };
    // Types the value into the setting's field (or picks its button) and presses it; done runs
    // once the kit's read-back has reached the form.
    void applySetting(Setting setting, double value, std::function<void()> done);
    // Reads the setting back from the kit into the form; done gets it as the form shows it, or
    // an empty text when the kit did not answer.
    void readSetting(Setting setting, std::function<void(const QString &)> done);
    int sampleCount() const;
    void setSampleCount(int n); // the "Number of samples" field of Collect and Plot
    // Collect and Plot; done(true) once the frame is shown, done(false) when the kit failed,
    // the frame was refused, or another capture runs.
    void collectOne(std::function<void(bool)> done);
    // The frame shown and its sidecar as Save Data would write it.
    QVector<double> shownFrame() const { return shown.samples; }
    FrameMeta::Meta shownMeta() const;
    // The frame on show with the one before it and the axes it is drawn on.
    const ShownFrame &frameOnShow() const { return shown; }
    // What the captures are doing.
    CaptureCycle::State captureState() const;
    // Jobs of this tab's kit still queued or running on the link thread.
    int pendingLinkJobs() const;

public slots:
    // A frame from a file or a replay, drawn on its own axes when its sidecar gives them.
    void showRecordedFrame(const Recording::Frame &frame);

signals:
    void rf_on(bool s);
    void plottingFinished();
    // During continuous capture, after each frame: "Frame 132 · 0.47 frames/s".
    void captureStatus(const QString &text);
    // A frame refused by its check, for the status bar.
    void errorMessage(const QString &text);

private slots:
    // Radar set-up
    void on_rf_power_btn_clicked();
    void set_RFPowerBtn_state(bool s);
    void update_RFPower();
    void tune();
    void readFreqs();
    void readRamptime();
    void readSweepType();
    void sweepBtnClicked(QAbstractButton *btn);
    void on_setFreqs_btn_clicked();
    void on_setRamp_btn_clicked();
    void on_start_btn_clicked();
    void on_stop_btn_clicked();

    // Capture and timed collection
    void on_collect_btn_clicked();
    void on_continuousCapture_btn_clicked(bool checked);
    void on_startCapture_btn_clicked();
    void on_numCaptures_txt_editingFinished();
    void on_numSampleCapture_txt_editingFinished();
    void on_captureInterval_txt_editingFinished();
    void on_captureInterval_txt_cursorPositionChanged(int, int);
    void on_saveNameCapture_txt_editingFinished();
    void on_browsCollection_btn_clicked();

    // Data files
    void on_save_btn_clicked();
    void on_browse_btn_clicked();
    void on_save_fileName_txt_editingFinished();
    void on_load_btn_clicked();

    // Plots
    void plot();
    void tabChanged(int t);
    void on_setRangeAxis_rdbn_clicked();
    void on_setVelocityAxis_rdbn_clicked();
    void on_setFreqAxis_rdbn_clicked();
    void mousePress(QMouseEvent *mevent); // for the meta-object system only; no plot calls it
    void on_zoomRaw2Fit_btn_clicked();
    void on_specPlot_axesReset_btn_clicked();
    void on_resetRangeAxes_btn_clicked();
    void on_resetDopplerAxes_btn_clicked();
    void on_resetRawTimeAxes_btn_clicked();
    void on_resetFreqVTimeAxes_btn_clicked();
    void on_rawPlot_zoomX_clicked(bool checked);
    void on_rawPlot_zoomY_clicked(bool checked);
    void on_specPlot_zoomX_clicked(bool checked);
    void on_specPlot_zoomY_clicked(bool checked);
    void on_rangePlot_zoomX_clicked(bool checked);
    void on_rangePlot_zoomY_clicked(bool checked);
    void on_doppler_zoomX_clicked(bool checked);
    void on_doppler_zoomY_clicked(bool checked);
    void on_rawTime_zoomX_clicked(bool checked);
    void on_rawTime_zoomY_clicked(bool checked);
    void on_freqVtime_zoomX_clicked(bool checked);
    void on_freqVtime_zoomY_clicked(bool checked);

    // Flags
    void on_saveData_ckbx_clicked(bool checked);
    void on_twoPulseCancellation_btn_clicked(bool checked);
    void on_capAverage_btn_clicked(bool checked);
    void on_subtractAverage_ckbx_clicked(bool checked);

private:
    void addFormExtras();
    void wireCapture();
    void kitSweepRead();
    void followKitAxes();
    void tell(const QString &message);
    void showLiveFrame(const FrameCapture::FrameText &frame);
    void showCollectionFrame(const FrameCapture::FrameText &frame, int number, double sinceFirstS);
    void newLiveFrame(QVector<double> samples, FrameMeta::Averaging averaging);
    void axesShown(const RadarMath::FrameAxes &before);
    void applyAxisMode();
    void setPlan();

    QString instDesc;
    QString firmwareVersion;
    QString productName;
    QString serialNumber;
    Ui::TR7310_tab *ui;
    KitSession *kit = nullptr;
    KitSettings *settings = nullptr;
    CaptureSession *capture = nullptr;
    CaptureControls *controls = nullptr;
    LinePages *lines = nullptr;
    TimeMaps *maps = nullptr;
    parameterDialog *msgDialog = nullptr;
    ReplayControls *replay = nullptr;
    QLabel *shownFrame_lbl = nullptr;
    QRubberBand *rubberBand = nullptr;
    FilesChooser filesChooser;

    ShownFrame shown;
    FrameHistory history;
    bool rfOn = false;
    bool capAverage = false;
    bool subtractAverage = false;
    bool twoPulseCancellation = false;
    bool saveCaptureData = true;
    int numCaptures = 0;
    int numSampleCapture = 0;
    double captureInterval = 0.0;
    int lastSampleCount = 1024; // the last count sent, restored over a refused entry
    QString saveLoc;
    QString saveFileName;
    QString collectionName;
};
