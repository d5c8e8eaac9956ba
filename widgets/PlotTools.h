// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QCustomPlot;
class QLabel;
class QMenu;
class QMouseEvent;
class QWidget;

// What every plot of both radar tabs offers besides zoom and drag: the coordinates under the mouse
// in the axes' units (and the colour value on a map), and a right-click menu that exports the
// picture or the drawn data, copies the picture and resets the axes. A child of its plot.
class PlotTools : public QObject
{
    Q_OBJECT
public:
    PlotTools(QCustomPlot *plot, std::function<void()> resetAxes);

    // The save dialog of the exports (caption, name filter); replaceable so that tests answer
    // without a modal window. An empty function restores the standard dialog.
    using SaveChooser =
        std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;
    static void setSaveChooser(SaveChooser chooser);

    bool exportPng(const QString &path);
    bool exportPdf(const QString &path);
    // The drawn curve (graph 0) as x,y rows, or a colour map as its matrix: a first row of the
    // key coordinates after a NaN corner, then one row per value coordinate. One header line
    // names the columns with their units.
    bool exportCsv(const QString &path);
    static QString csv(QCustomPlot *plot);
    void copyImage();

    QMenu *menu() const { return contextMenu; }
    // The read-out for a mouse position in plot pixels, as the plot shows it.
    QString readoutAt(const QPointF &pixel) const;
    QString readout() const;

private slots:
    void mouseMoved(QMouseEvent *event);
    void showMenu(const QPoint &pos);

private:
    void saveAs(const QString &caption, const QString &filter, const QString &suffix,
                const std::function<bool(const QString &)> &save);

    QCustomPlot *plot;
    std::function<void()> resetAxes;
    QMenu *contextMenu;
    QLabel *cursorText;
};
