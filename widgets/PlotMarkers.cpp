// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PlotMarkers.h"

#include <QJsonObject>
#include <QRegularExpression>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

// A press and release closer than this (pixels) is a click, not a drag.
constexpr double kClickSlack = 4.0;

QString shown(double v) { return QString::number(v, 'g', 6); }

// "Power (dBV rms)" gives "Power" and "dBV rms"; a label without a unit gives no unit.
void split(const QString &label, QString *name, QString *unit)
{
    static const QRegularExpression re(QStringLiteral("^(.*?)\\s*\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = re.match(label);
    *name = m.hasMatch() ? m.captured(1) : label;
    *unit = m.hasMatch() ? m.captured(2) : QString();
}

QString withUnit(const QString &name, double v, const QString &unit)
{
    return name + QStringLiteral(" ") + shown(v) + (unit.isEmpty() ? QString() : " " + unit);
}

} // namespace

PlotMarkers::PlotMarkers(QCustomPlot *plot) : QObject(plot), plot(plot)
{
    setObjectName(QStringLiteral("plotMarkers"));
    const QColor colours[2] = {QColor(200, 0, 160), QColor(0, 120, 200)};
    for (int i = 0; i < 2; ++i) {
        tracers[i] = new QCPItemTracer(plot);
        tracers[i]->setStyle(QCPItemTracer::tsCircle);
        tracers[i]->setSize(10);
        tracers[i]->setPen(QPen(colours[i], 2));
        tracers[i]->setVisible(false);
        labels[i] = new QCPItemText(plot);
        labels[i]->setText(QStringLiteral("M%1").arg(i + 1));
        labels[i]->setColor(colours[i]);
        labels[i]->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        labels[i]->position->setParentAnchor(tracers[i]->position);
        labels[i]->position->setCoords(6, -4);
        labels[i]->setVisible(false);
    }
    box = new QCPItemText(plot);
    box->setObjectName(QStringLiteral("markerBox"));
    box->position->setType(QCPItemPosition::ptAxisRectRatio);
    box->position->setCoords(0.0, 0.0);
    box->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setTextAlignment(Qt::AlignLeft);
    box->setPadding(QMargins(4, 2, 4, 2));
    box->setBrush(QBrush(QColor(255, 255, 255, 210)));
    box->setVisible(false);
    connect(plot, &QCustomPlot::beforeReplot, this, &PlotMarkers::refresh);
    connect(plot, &QCustomPlot::mousePress, this, &PlotMarkers::mousePressed);
    connect(plot, &QCustomPlot::mouseRelease, this, &PlotMarkers::mouseReleased);
}

PlotMarkers *PlotMarkers::of(QCustomPlot *plot)
{
    return plot ? plot->findChild<PlotMarkers *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool PlotMarkers::snap(const QCPGraph *graph, double key, double *x, double *y)
{
    if (!graph || graph->data()->isEmpty() || !std::isfinite(key))
        return false;
    const auto &data = *graph->data();
    auto it = std::lower_bound(data.constBegin(), data.constEnd(), key,
                               [](const QCPGraphData &d, double k) { return d.key < k; });
    if (it == data.constEnd() || (it != data.constBegin() && key - (it - 1)->key < it->key - key))
        --it;
    *x = it->key;
    *y = it->value;
    return true;
}

void PlotMarkers::place(double key)
{
    keys[next] = key;
    next = 1 - next;
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void PlotMarkers::clear()
{
    keys[0].reset();
    keys[1].reset();
    next = 0;
    plot->replot(QCustomPlot::rpQueuedReplot);
}

QVector<PlotMarkers::Marker> PlotMarkers::markers() const
{
    QVector<Marker> out;
    for (int i = 0; i < 2; ++i) {
        Marker m{i + 1, 0.0, 0.0};
        if (keys[i] && snap(plot->graph(0), *keys[i], &m.x, &m.y))
            out.append(m);
    }
    return out;
}

QString PlotMarkers::text() const
{
    const QVector<Marker> ms = markers();
    QString xName, xUnit, yName, yUnit;
    split(plot->xAxis->label(), &xName, &xUnit);
    split(plot->yAxis->label(), &yName, &yUnit);
    QStringList lines;
    for (const Marker &m : ms)
        lines << QStringLiteral("M%1: %2, %3")
                     .arg(m.number)
                     .arg(withUnit(xName, m.x, xUnit), withUnit(yName, m.y, yUnit));
    if (ms.size() == 2) {
        // A difference of levels in dBV (or any dB unit) is a ratio in dB.
        const QString dyUnit = yUnit.startsWith(QLatin1String("dB")) ? QStringLiteral("dB") : yUnit;
        lines << QStringLiteral("M2 − M1: Δ%1, Δ%2")
                     .arg(withUnit(xName, ms[1].x - ms[0].x, xUnit),
                          withUnit(yName, ms[1].y - ms[0].y, dyUnit));
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList PlotMarkers::csvLines() const
{
    const QVector<Marker> ms = markers();
    if (ms.isEmpty())
        return {};
    auto column = [](QString s) { return s.replace(QLatin1Char(','), QLatin1Char(';')); };
    const auto number = [](double v) { return QString::number(v, 'g', 17); };
    QStringList lines{QStringLiteral("# marker,%1,%2")
                          .arg(column(plot->xAxis->label()), column(plot->yAxis->label()))};
    for (const Marker &m : ms)
        lines << QStringLiteral("# M%1,%2,%3").arg(m.number).arg(number(m.x), number(m.y));
    if (ms.size() == 2)
        lines << QStringLiteral("# M2-M1,%1,%2")
                     .arg(number(ms[1].x - ms[0].x), number(ms[1].y - ms[0].y));
    return lines;
}

QJsonArray PlotMarkers::json() const
{
    QJsonArray out;
    for (const Marker &m : markers())
        out.append(QJsonObject{{QStringLiteral("plot"), plot->objectName()},
                               {QStringLiteral("marker"), m.number},
                               {QStringLiteral("xLabel"), plot->xAxis->label()},
                               {QStringLiteral("x"), m.x},
                               {QStringLiteral("yLabel"), plot->yAxis->label()},
                               {QStringLiteral("y"), m.y}});
    return out;
}

QJsonArray PlotMarkers::json(const QList<QCustomPlot *> &plots)
{
    QJsonArray out;
    for (QCustomPlot *plot : plots)
        if (const PlotMarkers *markers = of(plot))
            for (const QJsonValue &m : markers->json())
                out.append(m);
    return out;
}

void PlotMarkers::refresh()
{
    const QVector<Marker> ms = markers();
    for (int i = 0; i < 2; ++i) {
        tracers[i]->setVisible(false);
        labels[i]->setVisible(false);
    }
    for (const Marker &m : ms) {
        const int i = m.number - 1;
        tracers[i]->position->setCoords(m.x, m.y);
        tracers[i]->setVisible(std::isfinite(m.y));
        labels[i]->setVisible(std::isfinite(m.y));
    }
    box->setText(text());
    box->setVisible(!ms.isEmpty());
}

void PlotMarkers::mousePressed(QMouseEvent *event)
{
    pressedAt.reset();
    if (event->button() == Qt::LeftButton &&
        plot->axisRect()->rect().contains(event->position().toPoint()))
        pressedAt = event->position();
}

void PlotMarkers::mouseReleased(QMouseEvent *event)
{
    if (!pressedAt || event->button() != Qt::LeftButton)
        return;
    const QPointF d = event->position() - *pressedAt;
    pressedAt.reset();
    if (std::hypot(d.x(), d.y()) <= kClickSlack)
        place(plot->xAxis->pixelToCoord(event->position().x()));
}
