// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/SampleCount.h"

class QLineEdit;

// The sample-count fields of both tabs, read through SampleCount::check.
namespace SampleCountField {

// A good count goes into *count, one above the maximum is cut to it, a refused entry leaves
// *count as it was; the field then shows *count, so it never holds a count that was refused.
// The check comes back for the caller to tell the user as the field asks.
SampleCount::Checked take(QLineEdit *field, int *count);

} // namespace SampleCountField
