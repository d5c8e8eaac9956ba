// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SigmfExport.h"

#include "capture/Sigmf.h"
#include "radar/TR7310_tab.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QTabWidget>

namespace SigmfExport {

namespace {

QString askBase(const Dialogs &dialogs, QWidget *parent)
{
    if (dialogs.saveBase)
        return dialogs.saveBase(parent);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export as SigMF"), QString(),
                                        QStringLiteral("SigMF recordings (*.sigmf-meta)"));
}

void written(const Report &report, const QString &base, bool ok, const QString &error, int frames)
{
    const QString meta = QDir::toNativeSeparators(Sigmf::metaPath(base));
    if (ok)
        report(QStringLiteral("Exported %1 frame(s) to %2").arg(frames).arg(meta), false);
    else
        report(QStringLiteral("Could not export to %1: %2").arg(meta, error), true);
}

} // namespace

void addActions(QMenu *file, QTabWidget *tabs, QWidget *parent, Report report, Dialogs dialogs)
{
    QAction *frame = file->addAction(
        QStringLiteral("Export Frame as SigMF…"), parent, [tabs, parent, report, dialogs] {
            auto *tab = qobject_cast<TR7310_tab *>(tabs->currentWidget());
            if (!tab || tab->shownFrame().isEmpty())
                return report(QStringLiteral("No frame to export: capture or load one first"),
                              true);
            const QString base = askBase(dialogs, parent);
            if (base.isEmpty())
                return;
            QString error;
            const bool ok = Sigmf::writeFrame(tab->shownFrame(), tab->shownMeta(), base, &error);
            written(report, base, ok, error, 1);
        });
    frame->setObjectName(QStringLiteral("exportFrameSigmf_act"));
    QAction *recording = file->addAction(
        QStringLiteral("Export Recording as SigMF…"), parent, [parent, report, dialogs] {
            const QString folder = dialogs.folder
                                       ? dialogs.folder(parent)
                                       : QFileDialog::getExistingDirectory(
                                             parent, QStringLiteral("Recording folder to export"));
            if (folder.isEmpty())
                return;
            Sigmf::Dataset ds;
            QString error;
            if (!Sigmf::fromRecording(folder, &ds, &error))
                return report(QStringLiteral("Could not export %1: %2")
                                  .arg(QDir::toNativeSeparators(folder), error),
                              true);
            const QString base = askBase(dialogs, parent);
            if (base.isEmpty())
                return;
            const bool ok = Sigmf::write(ds, base, &error);
            written(report, base, ok, error, ds.frameCount());
        });
    recording->setObjectName(QStringLiteral("exportRecordingSigmf_act"));
}

} // namespace SigmfExport
