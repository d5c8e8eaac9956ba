// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a virtual kit is, whichever link asks: identity, settings, attached modules, faults, the
// scene in front of it, and the settings commands both links share. Not thread-safe; VirtualKit
// serialises access.

#include "sim/ReplyForm.h"
#include "sim/SimKitTypes.h"
#include "sim/SimScene.h"

#include <QByteArray>
#include <QString>
#include <QVector>

struct SimKitState
{
    QString serial;
    QString version = QStringLiteral("1.0.0");
    QString firmwareId = QStringLiteral("0001");
    SimSweep sweep;
    SimCatalogue catalogue;
    SimModules modules;
    QByteArray moduleReply[4]; // what each module answered, until read
    SimFaults faults;
    bool connected = true;
    SimReplyForm form;
    QVector<quint16> lastFrame; // as it went onto the wire
    SimScene scene;

    static QString manufacturer() { return QStringLiteral("Tamarin Works"); }
    static QString model() { return QStringLiteral("KV7310"); }
    QString identity() const; // the "*IDN?" answer
    double samplePeriod() const;
    bool hasModule(int port) const
    {
        return port >= 0 && port < 4 && (modules.portMask >> port & 1);
    }
    QString moduleIdn(int port) const;

    // One frame of n counts from the scene, as the present settings let the kit see it.
    QVector<quint16> captureFrame(int n);
    // Carries out a settings command either link may send; false when the header is not one.
    // Values the kit does not accept leave the setting as it was.
    bool applySetting(const QString &header, const QString &args);
    void resetSettings(); // "*RST"

private:
    bool applySweepSetting(const QString &header, const QString &args);
    bool applyCatalogueSetting(const QString &header, const QString &args);
    bool applyModuleSend(const QString &header, const QString &args);
};
