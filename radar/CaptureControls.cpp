// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/CaptureControls.h"

#include "radar/CaptureSession.h"
#include "ui_TR7310_tab.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QProgressBar>

namespace {

QProgressBar *progressBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFormat(QStringLiteral("%v/%m"));
    bar->setRange(0, 1);
    bar->setValue(0);
    return bar;
}

} // namespace

CaptureControls::CaptureControls(Ui::TR7310_tab &form, CaptureSession &s, QWidget *tab)
    : QObject(tab), ui(form), session(s)
{
    addToForm(tab);
    connect(&session, &CaptureSession::changed, this, &CaptureControls::follow);
    connect(&session, &CaptureSession::transfer, this, [this](int received, int expected) {
        frameProgress->setRange(0, qMax(1, expected));
        frameProgress->setValue(received);
    });
    connect(&session, &CaptureSession::collectionBegins, this, &CaptureControls::begin);
    connect(&session, &CaptureSession::collectionStep, this, [this](int taken, int planned) {
        collectionProgress->setRange(0, qMax(1, planned));
        collectionProgress->setValue(taken);
    });
    connect(&session, &CaptureSession::collectionFrame, this,
            [this](const FrameCapture::FrameText &, int number, double) {
                collectionProgress->setValue(number + 1);
            });
    connect(&session, &CaptureSession::collectionPaused, this, [this] {
        collectionProgress->setFormat(
            QStringLiteral("%v/%m stopped; Start Collection goes on from there"));
    });
    connect(&session, &CaptureSession::collectionBackToBack, this, [this] {
        collectionProgress->setFormat(QStringLiteral("%v/%m, frames follow back to back: the "
                                                     "interval is shorter than one frame's "
                                                     "transfer"));
    });
    connect(&session, &CaptureSession::continuousStopped, this, [this] {
        ui.continuousCapture_btn->setChecked(false);
        ui.continuousCapture_btn->setText(QStringLiteral("Start Continuous Capture"));
    });
}

// The transfer bar under Collect and Plot.
void CaptureControls::addToForm(QWidget *tab)
{
    // The form holds the numbering choice (zero-padded numbers sort in every file list; plain
    // numbers stay the default) and the collection bar.
    zeroPadNumbers = ui.zeroPadNumbers_ckbx;
    collectionProgress = ui.collectionProgress_wdgt;
    frameProgress = progressBar(tab, "frameProgress_wdgt");
    ui.gridLayout_7->addWidget(frameProgress, 6, 0);
    collectionProgress->setRange(0, qMax(1, ui.numCaptures_txt->text().toInt()));
}

// Starting a second kind of capture while one runs would only queue behind it; the set-up
// commands stay available and run between two frames.
void CaptureControls::follow()
{
    const CaptureCycle &cycle = session.cycle();
    ui.collect_btn->setEnabled(cycle.canCollectOnce());
    ui.continuousCapture_btn->setEnabled(cycle.canToggleContinuous());
    ui.startCapture_btn->setEnabled(cycle.canToggleCollection());
    ui.startCapture_btn->setText(cycle.state() == CaptureCycle::State::Collecting
                                     ? QStringLiteral("Stop Collection")
                                     : QStringLiteral("Start Collection"));
}

// A new collection, in the folder the field shows; one that stopped early goes on in its index.
void CaptureControls::begin()
{
    collectionFolder = ui.saveFolderCapture_txt->text().trimmed();
    CollectionWriter::Plan p;
    p.folder = collectionFolder;
    p.name = plan.name;
    p.planned = plan.planned;
    p.intervalS = plan.intervalS;
    p.zeroPadded = zeroPadNumbers->isChecked();
    p.link = QStringLiteral("USB");
    p.kitSerial = plan.kitSerial;
    writer.begin(p);
}

bool CaptureControls::save(int number, const QVector<double> *frame, const FrameMeta::Meta &meta,
                           double sinceFirstS, QString *error)
{
    return frame ? writer.addFrame(number, *frame, meta, sinceFirstS, error)
                 : writer.addGap(number, sinceFirstS, error);
}

void CaptureControls::toggleCollection()
{
    if (session.cycle().state() != CaptureCycle::State::Collecting)
        collectionProgress->setFormat(QStringLiteral("%v/%m"));
    session.toggleCollection();
}
