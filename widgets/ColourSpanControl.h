// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QCPColorScale;
class QDoubleSpinBox;
class MapImage;

// The colour span of a map over time: it follows the data shown (1st to 99.9th percentile of the
// filled cells) until the user unticks "Auto colours" or types a minimum or maximum.
class ColourSpanControl : public QWidget
{
    Q_OBJECT
public:
    explicit ColourSpanControl(QWidget *parent = nullptr);

    bool following() const;
    // Sets the scale's span: the data's while following, else the one typed. Does not replot.
    // While following, a move of the span smaller than one colour level of the map's gradient is
    // not made: the picture would not change. Returns whether the span changed.
    bool apply(MapImage *map, QCPColorScale *scale);
    // Fits the span to the data once, whether following or not.
    void fit(MapImage *map, QCPColorScale *scale);

signals:
    void changed();

private:
    void showSpan(double lower, double upper);

    QCheckBox *autoBox;
    QDoubleSpinBox *minBox;
    QDoubleSpinBox *maxBox;
};
