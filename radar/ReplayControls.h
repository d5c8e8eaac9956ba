// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/Recording.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// The controls of a replay: pick a recording (a collection folder or several frame files), then
// play, pause, single-step or drag the position. Frames come out of frameReady; the tab that
// holds the controls draws them as if they had just been captured.
class ReplayControls : public QWidget
{
    Q_OBJECT
public:
    explicit ReplayControls(QWidget *parent = nullptr);

    // The dialogs, replaceable so that tests need no modal window.
    using FolderDialog = std::function<QString(QWidget *parent)>;
    using FilesDialog = std::function<QStringList(QWidget *parent)>;
    void setDialogs(FolderDialog folder, FilesDialog files);

    Recording::Player &player() { return replay; }
    // Opens a recording without a dialog: a folder, or files in the order given.
    void openFolder(const QString &folder);
    void openFiles(const QStringList &files);

signals:
    void frameReady(const Recording::Frame &frame, int index);

private:
    void chooseFolder();
    void chooseFiles();
    void opened(const QString &source);
    void showPosition(int index);

    Recording::Player replay;
    FolderDialog folderDialog;
    FilesDialog filesDialog;
    QLabel *source_lbl;
    QPushButton *play_btn;
    QPushButton *step_btn;
    QComboBox *pace_cmb;
    QSlider *position_sldr;
    QLabel *position_lbl;
};
