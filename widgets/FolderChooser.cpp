// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/FolderChooser.h"

#include <QFileDialog>

namespace FolderChooser {

static Dialog &dialog()
{
    static Dialog d;
    return d;
}

void setDialog(Dialog d) { dialog() = std::move(d); }

QString choose(QWidget *parent, const QString &current)
{
    const QString caption = QStringLiteral("Save in...");
    const QString chosen = dialog() ? dialog()(parent, caption)
                                    : QFileDialog::getExistingDirectory(parent, caption, QString(),
                                                                        QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? current : chosen;
}

} // namespace FolderChooser
