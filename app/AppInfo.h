// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the Help menu shows: the program, its version, licence and libraries, and how to start.
namespace AppInfo {
QString version();
QString aboutText();          // rich text for the About box
QString gettingStartedText(); // rich text for Help > Getting started
} // namespace AppInfo
