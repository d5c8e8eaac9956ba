// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CollectionWriter.h"
#include "capture/DataFile.h"
#include "capture/FrameCapture.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "kit/RadarMath.h"
#include "link/LinkThread.h"

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <functional>
#include <memory>

class ColourSpanControl;
class MapPage;
struct DisplaySpectrum;
class PeakReadout;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QCPTextElement;
class QCustomPlot;
class QLabel;
class ReplayControls;
class QMouseEvent;
class QProgressBar;
class QRubberBand;
class parameterDialog;
class usbTMCabstraction;

namespace Ui {
class TR7310_tab;
}

// The USB radar tab of one kit: sweep set-up, frame capture (single, continuous, timed
// collection), data files and the six plot pages. Every device operation is one bracket
// openDevice() ... closeConnection(), run as a job on the command layer's link thread; its
// result comes back to this tab's thread, which updates the form, the frame and the plots.
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
    QVector<double> shownFrame() const { return samples; }
    FrameMeta::Meta shownMeta() const;

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
    void collectionStep();
    void continueCapture();
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

    // A frame from a file or a replay, drawn on its own axes when its sidecar gives them.
    void showRecordedFrame(const Recording::Frame &frame);

private:
    // A value the window's thread writes and the link thread reads.
    template <typename T> class Guarded
    {
    public:
        void set(const T &v)
        {
            QMutexLocker lock(&mutex);
            value = v;
        }
        T get() const
        {
            QMutexLocker lock(&mutex);
            return value;
        }

    private:
        mutable QMutex mutex;
        T value{};
    };
    using RampText = Guarded<QString>;
    // The kit's target as the link thread knows it: it changes when the kit, replugged on
    // another port, is found again by its serial number.
    struct KitTarget
    {
        QString serial;
        Guarded<QString> target;
        Guarded<bool> missing;
    };
    static bool openDevice(usbTMCabstraction &link, const std::shared_ptr<KitTarget> &kit);
    void onLink(LinkThread::Work work);
    void sendInBracket(const QStringList &commands);
    void queryInBracket(const QString &query,
                        std::function<void(const QPair<int, QString> &)> then);
    void readFreqsThen(std::function<void()> then);
    void readRamptimeThen(std::function<void()> then);
    void captureOnLink(int n, bool forCollection, int intervalMs);
    void showTransfer(int received, int expected);
    void updateControls();
    void openFailed(bool forCollection);
    void frameArrived(const FrameCapture::FrameText &frame, int n, bool forCollection);
    void collectedFrame(const FrameCapture::FrameText &frame);
    void collectionFrame(const FrameCapture::FrameText &frame, int n);
    QString frameRateText() const;
    void tell(const QString &message);
    void stopContinuousCapture(const QString &reason);
    void stopCollection(const QString &reason);
    void saveData(QVector<double> data, QString path);
    void loadData(QStringList files);
    // What is known of the kit now, for the sidecar of a frame just captured.
    FrameMeta::Meta liveMeta(FrameMeta::Averaging averaging) const;
    void newLiveFrame(FrameMeta::Averaging averaging);
    void setFrameAxes(const RadarMath::FrameAxes &axes);
    void recordCollectionStep(const QVector<double> *data);
    void tellSaved(const DataFile::Told &told);
    void frameDropped(const FrameCapture::FrameText &frame);

    void setUpPlots();
    void plotRaw(const QVector<double> &w);
    void plotSpectrum(const QVector<double> &w);
    void plotRange(const QVector<double> &w);
    void plotDoppler(const QVector<double> &w);
    void plotRawTime(const QVector<double> &w);
    void plotVsTime(const QVector<double> &w);
    void applyAxisMode();
    void setUpReadouts();
    void showPeaks(PeakReadout *readout, QCustomPlot *plot, const DisplaySpectrum &s, int n);
    void setZoom(QCustomPlot *plot, QCheckBox *xBox, QCheckBox *yBox);

    QString instDesc;
    QString firmwareVersion;
    QString productName;
    QString serialNumber;
    Ui::TR7310_tab *ui;
    // The two colour maps over time.
    std::unique_ptr<MapPage> rawTimePage;
    std::unique_ptr<MapPage> vsTimePage;
    QCPTextElement *vsTimeTitle = nullptr;
    QRubberBand *rubberBand = nullptr;
    double maxRange = 0.0;
    bool resetRangeAxesPending = true;
    QButtonGroup *sweepGroup = nullptr;
    QVector<double> samples;
    QVector<double> previousSamples;
    QList<QVector<double>> captureHistory;
    bool capAverage = false;
    bool subtractAverage = false;
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
    // What the kit last read back with the firmware's sample period, and the axes of the frame
    // shown (a live frame's are kitAxes, a recorded frame's come from its sidecar); plot code
    // reads only frameAxes.
    RadarMath::FrameAxes kitAxes;
    RadarMath::FrameAxes frameAxes;
    bool continuousCapture = false;
    bool twoPulseCancellation = false;
    double lastRawTime = 0.0;

    // Beyond the kit's own state: the collection's step timer (stopped when a step fails) and
    // whether a collection runs, so that a second press does not start a second chain.
    QTimer collectionTimer;
    bool collectionRunning = false;
    // The next continuous capture; one at a time, however often plot() runs meanwhile (page
    // switches, loads and collection steps also plot).
    QTimer continuousTimer;
    FilesChooser filesChooser;
    Pause tunePause;

    // The text of ramptime_txt as the link thread may read it.
    LinkThread *link = nullptr;
    LinkThread::CancelToken linkToken;
    std::shared_ptr<RampText> rampText;
    std::shared_ptr<KitTarget> kitTarget;
    bool captureInFlight = false;   // a frame of this tab is queued or on the wire
    bool collectionStepDue = false; // the interval ended while a frame was still in flight
    bool backToBackTold = false;
    int continuousFrames = 0;
    QElapsedTimer continuousClock;
    QProgressBar *frameProgress = nullptr;
    QProgressBar *collectionProgress = nullptr;
    // Read-outs under the spectrum pages.
    PeakReadout *spectrumPeaks = nullptr;
    PeakReadout *rangePeaks = nullptr;
    PeakReadout *dopplerPeaks = nullptr;
    // The axes the spectrum map's value axis was laid out for.
    RadarMath::FrameAxes vsTimeAxes;
    // The kit's last read-back settings beyond kitAxes, for the sidecars; -1 while unknown.
    bool kitFreqsKnown = false;
    bool kitRampKnown = false;
    int kitSweepType = -1;
    int kitRfPower = -1;
    // What the current frame is: its sidecar as it would be written, and its file if it came
    // from one.
    FrameMeta::Meta samplesMeta;
    QString samplesFile;
    // The running collection's files and index, and its clock since the first frame.
    CollectionWriter collection;
    QElapsedTimer collectionClock;
    double collectionSinceFirstS = 0.0; // the step in flight, from the first frame's request
    int framesTaken = 0;        // frames this tab asked for, the number in its error messages
    int framesDropped = 0;      // of those, refused by the frame check
    int lastSampleCount = 1024; // the last count sent, restored over a refused entry
    QCheckBox *zeroPadNumbers_ckbx = nullptr;
    QLabel *shownFrame_lbl = nullptr;
    ReplayControls *replay = nullptr;

    friend struct TR7310_tabProbe; // white-box access for the tests
};
