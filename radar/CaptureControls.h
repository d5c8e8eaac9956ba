// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CollectionWriter.h"
#include "capture/FrameMeta.h"

#include <QObject>
#include <QString>
#include <QVector>

class CaptureSession;
class QCheckBox;
class QProgressBar;
class QWidget;
namespace Ui {
class TR7310_tab;
}

// The capture side of the form: the capture buttons follow the session's state, the transfer and
// collection bars its progress, and a collection's frames go to its files.
class CaptureControls : public QObject
{
    Q_OBJECT
public:
    // Adds the bars and the numbering choice to the form of tab.
    CaptureControls(Ui::TR7310_tab &ui, CaptureSession &session, QWidget *tab);

    // What a collection starts with, from the form's fields.
    struct Plan
    {
        QString name;
        int planned = 0;
        double intervalS = 0.0;
        QString kitSerial;
    };
    void setPlan(const Plan &p) { plan = p; }
    // Start Collection, which reads Stop Collection while one runs.
    void toggleCollection();
    // A collection's step into its files: the frame, or a gap when frame is null. False, with the
    // reason, when the file could not be written.
    bool save(int number, const QVector<double> *frame, const FrameMeta::Meta &meta,
              double sinceFirstS, QString *error);
    // The folder of the running (or last) collection.
    QString folder() const { return collectionFolder; }

private:
    void addToForm(QWidget *tab);
    void follow();
    void begin();

    Ui::TR7310_tab &ui;
    CaptureSession &session;
    Plan plan;
    CollectionWriter writer;
    QString collectionFolder = QStringLiteral("Data");
    QCheckBox *zeroPadNumbers = nullptr;
    QProgressBar *frameProgress = nullptr;
    QProgressBar *collectionProgress = nullptr;
};
