// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Tooltips with units and limits for the set-up controls that the USB and the Bluetooth radar
// tab share by name; controls a tab does not have are left alone.
namespace SetupHints {
void apply(QWidget *tab);
}
