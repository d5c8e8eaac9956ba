// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PlotTools.h"

#include "widgets/PlotMarkers.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTextStream>

#include <qcustomplot.h>

namespace {

PlotTools::SaveChooser &saveChooser()
{
    static PlotTools::SaveChooser chooser;
    return chooser;
}

QString number(double v) { return QString::number(v, 'g', 17); }

// A column name for the CSV header: the axis label (which carries the unit), without commas.
QString columnName(const QString &label, const QString &fallback)
{
    QString s = label.isEmpty() ? fallback : label;
    s.replace(QLatin1Char(','), QLatin1Char(';'));
    return s;
}

QCPColorMap *colourMapOf(QCustomPlot *plot)
{
    for (int i = 0; i < plot->plottableCount(); ++i)
        if (auto *map = qobject_cast<QCPColorMap *>(plot->plottable(i)))
            return map;
    return nullptr;
}

QString shown(double v) { return QString::number(v, 'g', 6); }

} // namespace

PlotTools::PlotTools(QCustomPlot *plot, std::function<void()> resetAxes)
    : QObject(plot), plot(plot), resetAxes(std::move(resetAxes)), contextMenu(new QMenu(plot))
{
    contextMenu->addAction(tr("Export PNG…"), this, [this] {
        saveAs(tr("Export PNG…"), QStringLiteral("PNG image (*.png)"), QStringLiteral("png"),
               [this](const QString &p) { return exportPng(p); });
    });
    contextMenu->addAction(tr("Export PDF…"), this, [this] {
        saveAs(tr("Export PDF…"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf"),
               [this](const QString &p) { return exportPdf(p); });
    });
    contextMenu->addAction(tr("Export CSV…"), this, [this] {
        saveAs(tr("Export CSV…"), QStringLiteral("CSV file (*.csv)"), QStringLiteral("csv"),
               [this](const QString &p) { return exportCsv(p); });
    });
    contextMenu->addAction(tr("Copy image"), this, &PlotTools::copyImage);
    if (!colourMapOf(plot) && plot->graph(0)) {
        auto *markers = new PlotMarkers(plot);
        contextMenu->addAction(tr("Clear markers"), markers, &PlotMarkers::clear);
    }
    contextMenu->addAction(tr("Reset axes"), this, [this] {
        if (this->resetAxes)
            this->resetAxes();
    });
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, &PlotTools::showMenu);

    // The read-out is a label over the plot, not part of its picture: a mouse move redraws no
    // layer, the plot needs no buffer for it, and exports never show it.
    plot->setMouseTracking(true);
    cursorText = new QLabel(plot);
    cursorText->setObjectName(QStringLiteral("cursorReadout_lbl"));
    cursorText->setAttribute(Qt::WA_TransparentForMouseEvents);
    cursorText->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255, 255, 255, 210); padding: 2px 4px; }"));
    cursorText->hide();
    connect(plot, &QCustomPlot::mouseMove, this, &PlotTools::mouseMoved);
}

void PlotTools::setSaveChooser(SaveChooser chooser) { saveChooser() = std::move(chooser); }

bool PlotTools::exportPng(const QString &path) { return plot->savePng(path); }

bool PlotTools::exportPdf(const QString &path) { return plot->savePdf(path); }

QString PlotTools::csv(QCustomPlot *plot)
{
    QString out;
    QTextStream s(&out);
    if (QCPColorMap *map = colourMapOf(plot)) {
        QCPColorMapData *data = map->data();
        const QString z = map->colorScale() ? map->colorScale()->axis()->label() : QString();
        s << columnName(plot->yAxis->label(), QStringLiteral("y")) << " \\ "
          << columnName(plot->xAxis->label(), QStringLiteral("x"))
          << " (first row) = " << columnName(z, QStringLiteral("value")) << '\n';
        s << "nan";
        for (int k = 0; k < data->keySize(); ++k) {
            double key = 0, value = 0;
            data->cellToCoord(k, 0, &key, &value);
            s << ',' << number(key);
        }
        s << '\n';
        for (int v = 0; v < data->valueSize(); ++v) {
            double key = 0, value = 0;
            data->cellToCoord(0, v, &key, &value);
            s << number(value);
            for (int k = 0; k < data->keySize(); ++k)
                s << ',' << number(data->cell(k, v));
            s << '\n';
        }
        return out;
    }
    s << columnName(plot->xAxis->label(), QStringLiteral("x")) << ','
      << columnName(plot->yAxis->label(), QStringLiteral("y")) << '\n';
    if (QCPGraph *graph = plot->graph(0))
        for (const QCPGraphData &d : *graph->data())
            s << number(d.key) << ',' << number(d.value) << '\n';
    if (const PlotMarkers *markers = PlotMarkers::of(plot))
        for (const QString &line : markers->csvLines())
            s << line << '\n';
    return out;
}

bool PlotTools::exportCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    const QByteArray bytes = csv(plot).toUtf8();
    return file.write(bytes) == bytes.size();
}

void PlotTools::copyImage() { QApplication::clipboard()->setPixmap(plot->toPixmap()); }

void PlotTools::saveAs(const QString &caption, const QString &filter, const QString &suffix,
                       const std::function<bool(const QString &)> &save)
{
    QString path = saveChooser() ? saveChooser()(plot, caption, filter)
                                 : QFileDialog::getSaveFileName(plot, caption, QString(), filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    if (!save(path))
        QMessageBox::warning(plot, caption, tr("Could not write %1").arg(path));
}

void PlotTools::showMenu(const QPoint &pos) { contextMenu->popup(plot->mapToGlobal(pos)); }

QString PlotTools::readoutAt(const QPointF &pixel) const
{
    double x = plot->xAxis->pixelToCoord(pixel.x());
    double y = plot->yAxis->pixelToCoord(pixel.y());
    // On a line plot the read-out is the trace's point under the pointer, not the pointer.
    if (!colourMapOf(plot) && !PlotMarkers::snap(plot->graph(0), x, &x, &y))
        return QString();
    QString text = columnName(plot->xAxis->label(), QStringLiteral("x")) + QStringLiteral(": ") +
                   shown(x) + QStringLiteral("   ") +
                   columnName(plot->yAxis->label(), QStringLiteral("y")) + QStringLiteral(": ") +
                   shown(y);
    if (QCPColorMap *map = colourMapOf(plot)) {
        int k = 0, v = 0;
        QCPColorMapData *data = map->data();
        data->coordToCell(x, y, &k, &v);
        if (k >= 0 && k < data->keySize() && v >= 0 && v < data->valueSize()) {
            const QString z = map->colorScale() ? map->colorScale()->axis()->label() : QString();
            text += QStringLiteral("   ") + columnName(z, QStringLiteral("value")) +
                    QStringLiteral(": ") + shown(data->cell(k, v));
        }
    }
    return text;
}

QString PlotTools::readout() const
{
    return cursorText->isVisibleTo(plot) ? cursorText->text() : QString();
}

void PlotTools::mouseMoved(QMouseEvent *event)
{
    const QPointF pos = event->position();
    const QRect rect = plot->axisRect()->rect();
    const QString text = rect.contains(pos.toPoint()) ? readoutAt(pos) : QString();
    cursorText->setText(text);
    cursorText->setVisible(!text.isEmpty());
    if (text.isEmpty())
        return;
    cursorText->adjustSize(); // in the axis rectangle's top right corner
    cursorText->move(rect.right() + 1 - cursorText->width(), rect.top());
    cursorText->raise();
}
