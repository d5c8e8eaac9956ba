// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows without a parent outlive the test that made them; the newest visible one is the one
// under test.

#include <QApplication>
#include <QWidget>

template <typename T> T *visibleTopLevel()
{
    T *found = nullptr;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets)
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
            found = t;
    return found;
}
