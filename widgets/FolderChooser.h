// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// The folder dialog of the save buttons, shared by both radar tabs. Cancelling keeps the folder
// the user had, so the next save never lands in "/".
namespace FolderChooser {

using Dialog = std::function<QString(QWidget *parent, const QString &caption)>;

// Asks for an existing folder with the caption "Save in..."; returns current when cancelled.
QString choose(QWidget *parent, const QString &current);

// Replaces the dialog (tests answer without a modal window); an empty function restores it.
void setDialog(Dialog dialog);

} // namespace FolderChooser
