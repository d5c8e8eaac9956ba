// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bt/BtCapture.h"
#include "bt/KitReadback.h"
#include "capture/DataFile.h"
#include "capture/FrameMeta.h"
#include "kit/RadarMath.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class BtFrameRequests;
class BtPlotPages;
class BtSeriesRun;
class CommandSteps;
class FirmwareChoice;
class parameterDialog;

namespace Ui {
class kv7310bt_tab;
}

// The "VLX BT" tab: sets up the radar and captures frames over the Bluetooth link. It talks to
// the kit only through sendBTmsg and hears it only through parseBTmsg.
class kv7310bt_tab : public QWidget
{
    Q_OBJECT
public:
    explicit kv7310bt_tab(QWidget *parent = nullptr);
    ~kv7310bt_tab() override;

    // The wait after most commands, 100 ms unless replaced (tests shorten it).
    void setCommandPause(int ms);

signals:
    void sendBTmsg(QString msg);
    void rf_on(bool p);
    // A reply the tab refused, or a save that failed, in words for the status bar.
    void errorMessage(QString text);
    // A save that succeeded, for the status bar: "Saved Data/data.txt (1024 samples)".
    void captureStatus(QString text);

public slots:
    void parseBTmsg(QByteArray msg);
    // The window tells when its write pause starts and ends; the tab's own waits after a command
    // begin only once the line is free again.
    void setLineBusy(bool busy);

private slots:
    void on_setFreqs_btn_clicked();
    void readFreqs();
    void setSweepType(int type);
    void setRamptime(int type);
    void startSweep();
    void stopSweep();
    void on_stop_btn_clicked();
    void on_start_btn_clicked();
    void on_numSamples_txt_editingFinished();
    void on_collect_btn_clicked();
    void tabChanged(int t);
    void on_browsCollection_btn_clicked();
    void on_numCaptures_txt_editingFinished();
    void on_numSampleCapture_txt_editingFinished();
    void on_captureInterval_txt_cursorPositionChanged(int, int);
    void on_saveData_ckbx_clicked(bool checked);
    void update_RFPower();
    void tune();
    void set_RFPowerBtn_state(bool s);
    void on_rf_power_btn_clicked();
    void readSweepType();
    void sweepBtnClicked(QAbstractButton *btn);
    void startVLX();
    void on_browse_btn_clicked();
    void saveData(QVector<double> data, QString save_loc);
    void on_startCapture_btn_clicked();
    void on_save_fileName_txt_editingFinished();
    void on_captureInterval_txt_editingFinished();
    void on_save_btn_clicked();
    void on_setRamp_btn_clicked();
    void readRamptime();
    void on_continuousCapture_btn_clicked(bool checked);


private:
    void setUpPages();
    void setUpCapture();
    void plotData();
    // The sample period of the firmware the user stated, for the kit's frames and axes.
    void takeSamplePeriod();
    void applyReply(const KitReadback::Effect &effect);
    void stopContinuousCapture(const QString &why);
    void tellUser(const QString &message);
    void takeFrame(const QByteArray &msg);
    // The sidecar of the frame held, from the kit's last replies.
    FrameMeta::Meta frameMeta() const;
    void tellSaved(const DataFile::Told &told);

    Ui::kv7310bt_tab *ui;
    QButtonGroup *sweepGroup;
    QVector<double> samples;
    bool rfOn = false;
    double samplePeriod = 5e-05;
    double sampleRate = 20000;
    QString saveLoc;
    QString saveFileName;
    QString collectionFolder;
    QString collectionName;
    qint32 numCaptures = 0;
    qint32 numSampleCapture = 0;
    double captureInterval = 0;
    bool saveCaptureData = true;
    parameterDialog *msgDialog;

    // The continuous loop, the series and the samples last asked for.
    BtCapture capture;
    KitReadback kit;
    // The frame held: its axes (the kit's sweep when it came) and arrival time.
    RadarMath::FrameAxes frameAxes;
    QDateTime samplesUtc;
    CommandSteps *steps;
    BtFrameRequests *requests = nullptr;
    BtSeriesRun *seriesRun = nullptr;
    int lastSampleCount = 1024; // the last count sent, restored over a refused entry
    int framesReceived = 0;

    BtPlotPages *pages = nullptr;
    FirmwareChoice *firmwareChoice = nullptr;
};
