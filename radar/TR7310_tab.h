// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radar/DataFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <functional>

class ADCdataProcessing;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QCPColorMap;
class QCPColorScale;
class QCPTextElement;
class QCustomPlot;
class QMouseEvent;
class QRubberBand;
class parameterDialog;
class usbTMCabstraction;

namespace Ui {
class TR7310_tab;
}

// The USB radar tab of one kit: sweep set-up, frame capture (single, continuous, timed
// collection), data files and the six plot pages. Every device operation is one bracket
// openDevice() ... inst->closeConnection() inside a single slot.
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

    // The 100 ms pauses of the ramp-time tune sequence; QThread::msleep unless replaced.
    using Pause = std::function<void(int ms)>;
    void setTunePause(Pause pause);

signals:
    void rf_on(bool s);
    void plottingFinished();

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
    void collectionStep();
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
    void mousePress(QMouseEvent *mevent);
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
    bool openDevice();
    void tell(const QString &message);
    void stopContinuousCapture(const QString &reason);
    void stopCollection(const QString &reason);
    void saveData(QVector<double> data, QString path);
    void loadData(QStringList files);

    void setUpPlots();
    void setUpColourMap(QCustomPlot *plot, QCPColorMap *&map, QCPColorScale *&scale, double rows,
                        QCPTextElement *title, const QString &xLabel, const QString &yLabel,
                        const QString &scaleLabel);
    void plotRaw(const QVector<double> &w);
    void plotSpectrum(const QVector<double> &w);
    void plotRange(const QVector<double> &w);
    void plotDoppler(const QVector<double> &w);
    void plotRawTime(const QVector<double> &w);
    void plotVsTime(const QVector<double> &w);
    void applyAxisMode();
    double chirpSlopeTerm() const;
    void setZoom(QCustomPlot *plot, QCheckBox *xBox, QCheckBox *yBox);

    QString instDesc;
    QString firmwareVersion;
    QString productName;
    QString serialNumber;
    Ui::TR7310_tab *ui;
    QCPColorMap *rawTimeMap = nullptr;
    QCPColorMap *vsTimeMap = nullptr;
    QCPColorScale *rawTimeScale = nullptr;
    QCPColorScale *vsTimeScale = nullptr;
    QCPTextElement *vsTimeTitle = nullptr;
    QRubberBand *rubberBand = nullptr;
    double maxRange = 0.0;
    bool resetRangeAxesPending = true;
    bool rescaleRawTimePending = true;
    bool rescaleVsTimePending = true;
    QButtonGroup *sweepGroup = nullptr;
    QVector<double> samples;
    QVector<double> previousSamples;
    QList<QVector<double>> captureHistory;
    bool capAverage = false;
    bool subtractAverage = false;
    double rawTimeRows = 100.0;
    double vsTimeRows = 0.0;
    int numCaptures = 0;
    int captureCount = 0;
    int numSampleCapture = 0;
    double captureInterval = 0.0;
    parameterDialog *msgDialog = nullptr;
    QString saveLoc;
    QStringList loadFiles;
    QString saveFileName;
    QString collectionFolder;
    QString collectionName;
    bool saveCaptureData = true;
    usbTMCabstraction *inst;
    bool rfOn = false;
    double samplePeriod = 5e-05;
    double sampleRate = 20000.0;
    bool continuousCapture = false;
    bool twoPulseCancellation = false;
    ADCdataProcessing *processor = nullptr;
    quint8 rawTimeColumn = 0;
    quint8 vsTimeColumn = 0;
    double lastRawTime = 0.0;

    // Beyond the kit's own state: the collection's step timer (stopped when a step fails) and
    // whether a collection runs, so that a second press does not start a second chain.
    QTimer collectionTimer;
    bool collectionRunning = false;
    // The next continuous capture; one at a time, however often plot() runs meanwhile (page
    // switches, loads and collection steps also plot).
    QTimer continuousTimer;
    // The vs-time colour span is fitted once to the first column of a new layout.
    bool fitVsTimeColoursPending = false;
    DataFile::Saver saver;
    FilesChooser filesChooser;
    Pause tunePause;

    friend struct TR7310_tabProbe; // white-box access for the tests
};
