// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/SampleCountField.h"

#include <QLineEdit>

namespace SampleCountField {

SampleCount::Checked take(QLineEdit *field, int *count)
{
    const SampleCount::Checked c = SampleCount::check(field->text());
    if (c.ok)
        *count = c.n;
    field->setText(QString::number(*count));
    return c;
}

} // namespace SampleCountField
