// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QMenu;
class QTabWidget;
class QWidget;

// File > Export Frame as SigMF… (the frame the current USB tab shows, with its metadata) and
// File > Export Recording as SigMF… (a collection folder, in its order and with its gaps).
namespace SigmfExport {

// What an export tells the user: a line for the status bar, or an error.
using Report = std::function<void(const QString &text, bool isError)>;

// The dialogs, replaceable so that tests need no modal window.
struct Dialogs
{
    std::function<QString(QWidget *parent)> folder;   // a recording folder; empty: cancelled
    std::function<QString(QWidget *parent)> saveBase; // where to write; empty: cancelled
};

void addActions(QMenu *file, QTabWidget *tabs, QWidget *parent, Report report,
                Dialogs dialogs = {});

} // namespace SigmfExport
