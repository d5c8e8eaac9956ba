// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bt/ContinuousCapture.h"
#include "capture/CollectionWriter.h"
#include "capture/DataFile.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "kit/RadarMath.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QCustomPlot;
class FirmwareChoice;
class PeakReadout;
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

    void seriesStep();
    void frameOverdue();
    void continueCapture();
    void runSteps();

private:
    void delay();
    bool stepsBusy() const;
    void startAfterLine(QTimer &timer, int ms);
    void stopTimer(QTimer &timer);
    bool timerRunning(const QTimer &timer) const;
    enum PlotPage { RawPage, SpectrumPage, RangePage, DopplerPage };
    void setUpPlots();
    void plotData();
    // The sample period of the firmware the user stated, for the kit's frames and axes.
    void takeSamplePeriod();
    void resetAxes(int page);
    void send(const QString &command);
    void endSeries();
    void stopContinuousCapture(const QString &why);
    void tellUser(const QString &message);
    void takeFrame(const QByteArray &msg);
    // The sidecar of the frame held, from the kit's last replies.
    FrameMeta::Meta frameMeta() const;
    void recordSeriesStep(int number, bool withFrame);
    void tellSaved(const DataFile::Told &told);

    Ui::kv7310bt_tab *ui;
    QButtonGroup *sweepGroup;
    QVector<double> samples;
    ContinuousCapture continuous;
    bool rfOn = false;
    double samplePeriod = 5e-05;
    double sampleRate = 20000;
    // What the kit last read back, and the axes of the frame held (the same: this tab shows
    // only live frames).
    RadarMath::FrameAxes kitAxes;
    RadarMath::FrameAxes frameAxes;
    QString saveLoc;
    QString saveFileName;
    QString collectionFolder;
    QString collectionName;
    qint32 numCaptures = 0;
    qint32 captureCount = 0;
    qint32 numSampleCapture = 0;
    double captureInterval = 0;
    bool saveCaptureData = true;
    parameterDialog *msgDialog;

    // A running series remembers the command whose reply it still waits for, so that each
    // reply is saved under the number of the command it answers.
    QTimer seriesTimer;
    bool seriesRunning = false;
    int seriesAwaiting = -1;

    // The kit's last replies for the sidecars; -1 or false while unknown.
    bool kitStartKnown = false;
    bool kitStopKnown = false;
    bool kitRampKnown = false;
    int kitSweepType = -1;
    int kitRfPower = -1;
    QDateTime samplesUtc; // when the frame held arrived
    // The series' files and index, and its clock; each step's request time since the first.
    CollectionWriter series;
    QElapsedTimer seriesClock;
    QVector<double> seriesRequestS;

    // Continuous capture gives up when the kit stops sending frames.
    QTimer frameWatchdog;
    // Commands and waits (null entries) still to go, and the wait under way.
    QStringList pendingSteps;
    QTimer stepTimer;
    int commandPause = 100;
    // The window's write pause is running; timers to start, with their intervals, once it ends.
    bool lineBusy = false;
    QHash<QTimer *, int> afterLine;
    // A frame arrived during a wait: the next capture follows once the waits are over.
    bool captureAfterDelay = false;

    // Samples asked for by the tab's last "CAPT:STRE"; -1 before the first. A data reply must
    // carry exactly this many, or it is dropped.
    int requestedSamples = -1;
    int lastSampleCount = 1024; // the last count sent, restored over a refused entry
    int framesReceived = 0;

    QCustomPlot *plots[4] = {};
    int plottedLength[4] = {-1, -1, -1, -1};
    PeakReadout *readouts[4] = {}; // under the three spectrum pages
    FirmwareChoice *firmwareChoice = nullptr;
};
