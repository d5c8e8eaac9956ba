// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/ReplayControls.h"

#include "capture/Sigmf.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

ReplayControls::ReplayControls(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("replay_wdgt"));
    auto *folder_btn = new QPushButton(QStringLiteral("Open Collection Folder..."), this);
    folder_btn->setObjectName(QStringLiteral("replayFolder_btn"));
    auto *files_btn = new QPushButton(QStringLiteral("Open Files..."), this);
    files_btn->setObjectName(QStringLiteral("replayFiles_btn"));
    source_lbl = new QLabel(QStringLiteral("No recording open"), this);
    source_lbl->setObjectName(QStringLiteral("replaySource_lbl"));
    source_lbl->setWordWrap(true);
    play_btn = new QPushButton(QStringLiteral("Play"), this);
    play_btn->setObjectName(QStringLiteral("replayPlay_btn"));
    play_btn->setCheckable(true);
    step_btn = new QPushButton(QStringLiteral("Step"), this);
    step_btn->setObjectName(QStringLiteral("replayStep_btn"));
    pace_cmb = new QComboBox(this);
    pace_cmb->setObjectName(QStringLiteral("replayPace_cmb"));
    pace_cmb->addItem(QStringLiteral("Recorded pace"));
    pace_cmb->addItem(QStringLiteral("As fast as possible"));
    position_sldr = new QSlider(Qt::Horizontal, this);
    position_sldr->setObjectName(QStringLiteral("replayPosition_sldr"));
    position_lbl = new QLabel(this);
    position_lbl->setObjectName(QStringLiteral("replayPosition_lbl"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(folder_btn, 0, 0, 1, 2);
    grid->addWidget(files_btn, 1, 0, 1, 2);
    grid->addWidget(source_lbl, 2, 0, 1, 2);
    grid->addWidget(play_btn, 3, 0);
    grid->addWidget(step_btn, 3, 1);
    grid->addWidget(pace_cmb, 4, 0, 1, 2);
    grid->addWidget(position_sldr, 5, 0);
    grid->addWidget(position_lbl, 5, 1);
    grid->setRowStretch(6, 1);

    connect(folder_btn, &QPushButton::clicked, this, &ReplayControls::chooseFolder);
    connect(files_btn, &QPushButton::clicked, this, &ReplayControls::chooseFiles);
    connect(play_btn, &QPushButton::clicked, this, [this](bool checked) {
        if (checked)
            replay.play();
        else
            replay.pause();
    });
    connect(step_btn, &QPushButton::clicked, &replay, &Recording::Player::step);
    connect(pace_cmb, &QComboBox::currentIndexChanged, this, [this](int i) {
        replay.setPace(i == 1 ? Recording::Player::Pace::AsFastAsPossible
                              : Recording::Player::Pace::Recorded);
    });
    // Dragging shows each frame passed over; the colour maps get a column for each.
    connect(position_sldr, &QSlider::valueChanged, &replay, &Recording::Player::seek);
    connect(&replay, &Recording::Player::playingChanged, this, [this](bool playing) {
        play_btn->setChecked(playing);
        play_btn->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    });
    connect(&replay, &Recording::Player::frameReady, this,
            [this](const Recording::Frame &frame, int index) {
                showPosition(index);
                emit frameReady(frame, index);
            });
    opened(QString());
}

void ReplayControls::setDialogs(FolderDialog folder, FilesDialog files)
{
    folderDialog = std::move(folder);
    filesDialog = std::move(files);
}

void ReplayControls::chooseFolder()
{
    const QString folder =
        folderDialog ? folderDialog(this)
                     : QFileDialog::getExistingDirectory(this, QStringLiteral("Replay collection"));
    if (!folder.isEmpty())
        openFolder(folder);
}

void ReplayControls::chooseFiles()
{
    const QStringList files =
        filesDialog ? filesDialog(this)
                    : QFileDialog::getOpenFileNames(this, QStringLiteral("Replay files"));
    if (!files.isEmpty())
        openFiles(Recording::naturallySorted(files));
}

void ReplayControls::openFolder(const QString &folder)
{
    QString problem;
    replay.setFiles(Recording::framesOf(folder, &problem));
    opened(QDir::toNativeSeparators(folder) +
           (problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem)));
}

void ReplayControls::openFiles(const QStringList &files)
{
    // A SigMF recording opens as its frames; one we cannot show says why.
    QString problem;
    replay.setFiles(Sigmf::expandFrames(files, &problem));
    opened((files.size() == 1 ? QDir::toNativeSeparators(files.first())
                              : QStringLiteral("%1 files").arg(files.size())) +
           (problem.isEmpty() ? QString() : QStringLiteral(" (refused %1)").arg(problem)));
}

void ReplayControls::opened(const QString &source)
{
    const int n = replay.count();
    source_lbl->setText(n == 0 ? (source.isEmpty() ? QStringLiteral("No recording open")
                                                   : QStringLiteral("No frames in %1").arg(source))
                               : QStringLiteral("%1 frames from %2").arg(n).arg(source));
    play_btn->setEnabled(n > 0);
    step_btn->setEnabled(n > 0);
    position_sldr->setEnabled(n > 0);
    const QSignalBlocker block(position_sldr);
    position_sldr->setRange(0, qMax(0, n - 1));
    position_sldr->setValue(0);
    position_lbl->setText(n > 0 ? QStringLiteral("0 / %1").arg(n) : QString());
}

void ReplayControls::showPosition(int index)
{
    const QSignalBlocker block(position_sldr);
    position_sldr->setValue(index);
    position_lbl->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(replay.count()));
}
