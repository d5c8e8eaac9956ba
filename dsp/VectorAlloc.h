// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Internal to the dsp library.

#include <QVector>

namespace kvvlx {

// n doubles left unset, for a result that is written in full at once: resize() would clear the
// memory first, an extra pass as long as the work on large spectra.
inline QVector<double> uninitializedVector(qsizetype n)
{
    if (n <= 0)
        return {};
    QVector<double> v(QArrayDataPointer<double>(QTypedArrayData<double>::allocate(n), n));
    Q_CHECK_PTR(v.constData());
    return v;
}

} // namespace kvvlx
