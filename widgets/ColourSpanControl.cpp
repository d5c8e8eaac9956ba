// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ColourSpanControl.h"

#include "widgets/ColourSpan.h"
#include "widgets/MapImage.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>

#include <qcustomplot.h>

namespace {

constexpr double kLowPercent = 1.0;
constexpr double kHighPercent = 99.9;

} // namespace

ColourSpanControl::ColourSpanControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("colourSpan"));
    autoBox = new QCheckBox(tr("Auto colours"), this);
    autoBox->setObjectName(QStringLiteral("autoColours_ckbx"));
    autoBox->setChecked(true);
    autoBox->setToolTip(tr("Colours span the 1st to 99.9th percentile of the data shown"));
    minBox = new QDoubleSpinBox(this);
    minBox->setObjectName(QStringLiteral("colourMin_txt"));
    maxBox = new QDoubleSpinBox(this);
    maxBox->setObjectName(QStringLiteral("colourMax_txt"));
    for (QDoubleSpinBox *box : {minBox, maxBox}) {
        box->setRange(-1e6, 1e6);
        box->setDecimals(3);
        box->setKeyboardTracking(false);
        box->setMinimumWidth(70);
    }
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(autoBox);
    layout->addWidget(new QLabel(tr("Min"), this));
    layout->addWidget(minBox);
    layout->addWidget(new QLabel(tr("Max"), this));
    layout->addWidget(maxBox);

    connect(autoBox, &QCheckBox::toggled, this, [this] { emit changed(); });
    auto typed = [this] {
        autoBox->setChecked(false); // a typed span holds until Auto is ticked again
        emit changed();
    };
    connect(minBox, &QDoubleSpinBox::valueChanged, this, typed);
    connect(maxBox, &QDoubleSpinBox::valueChanged, this, typed);
}

bool ColourSpanControl::following() const { return autoBox->isChecked(); }

void ColourSpanControl::showSpan(double lower, double upper)
{
    const QSignalBlocker a(minBox), b(maxBox);
    minBox->setValue(lower);
    maxBox->setValue(upper);
}

void ColourSpanControl::fit(MapImage *map, QCPColorScale *scale)
{
    ColourSpan::Span span;
    if (!map->colourSpan(kLowPercent, kHighPercent, &span))
        return;
    scale->setDataRange(QCPRange(span.lower, span.upper));
    showSpan(span.lower, span.upper);
}

bool ColourSpanControl::apply(MapImage *map, QCPColorScale *scale)
{
    const QCPRange shown = scale->dataRange();
    if (following()) {
        ColourSpan::Span span;
        if (!map->colourSpan(kLowPercent, kHighPercent, &span))
            return false;
        const double level = (span.upper - span.lower) / map->gradient().levelCount();
        if (qAbs(span.lower - shown.lower) < level && qAbs(span.upper - shown.upper) < level)
            return false;
        scale->setDataRange(QCPRange(span.lower, span.upper));
        showSpan(span.lower, span.upper);
        return true;
    }
    const double lo = minBox->value();
    const double hi = maxBox->value();
    if (lo < hi)
        scale->setDataRange(QCPRange(lo, hi));
    return scale->dataRange() != shown;
}
