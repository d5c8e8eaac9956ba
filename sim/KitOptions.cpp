// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/KitOptions.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cmath>

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool parseTargetOption(const QString &text, SimTarget *target, QString *error)
{
    const QStringList parts = text.split(',');
    if (text.trimmed().isEmpty() || parts.size() > 3)
        return fail(error,
                    QStringLiteral("target \"%1\": expected RANGE_M[,VELOCITY_MPS[,AMPLITUDE_V]]")
                        .arg(text));
    double values[3] = {0.0, 0.0, 0.5};
    const char *names[3] = {"range", "velocity", "amplitude"};
    for (int i = 0; i < int(parts.size()); ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return fail(error, QStringLiteral("target \"%1\": %2 \"%3\" is not a number")
                                   .arg(text, QLatin1String(names[i]), parts[i]));
    }
    if (values[0] < 0)
        return fail(error, QStringLiteral("target \"%1\": range must not be negative").arg(text));
    if (values[2] <= 0)
        return fail(error, QStringLiteral("target \"%1\": amplitude must be above 0 V").arg(text));
    if (target) {
        *target = SimTarget();
        target->rangeM = values[0];
        target->velocityMps = values[1];
        target->amplitudeV = values[2];
    }
    return true;
}

void addKitOptions(QCommandLineParser &parser)
{
    parser.addOption(
        {QStringLiteral("target"),
         QStringLiteral(
             "A reflector at RANGE_M metres, moving at VELOCITY_MPS m/s (default 0), with a tone "
             "of AMPLITUDE_V volts (default 0.5). Repeatable; replaces the default scene."),
         QStringLiteral("RANGE_M[,VELOCITY_MPS[,AMPLITUDE_V]]")});
    parser.addOption({QStringLiteral("noise"),
                      QStringLiteral("Receiver noise in volts rms (default 0.004)."),
                      QStringLiteral("VOLTS_RMS")});
    parser.addOption(
        {QStringLiteral("firmware"),
         QStringLiteral(
             "Firmware version the kit reports (default 1.0.0; one containing 1.1.0 samples "
             "every 4.505e-05 s instead of 5e-05 s)."),
         QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("serial"),
                      QStringLiteral("Serial number the kit reports (default SIM0001)."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("seed"),
                      QStringLiteral("Seed of the noise; the same seed gives the same frames."),
                      QStringLiteral("N")});
    addReplyFormOptions(parser);
}

QStringList withFirmwareSpelling(QStringList arguments, const QStringList &notValues, QString *note)
{
    for (int i = 0; i < arguments.size(); ++i) {
        QString &a = arguments[i];
        if (a == QLatin1String("--")) // what follows is not an option
            break;
        bool rewritten = false;
        if (a.startsWith(QLatin1String("--version="))) {
            a = QStringLiteral("--firmware=") + a.mid(10);
            rewritten = true;
        } else if (a == QLatin1String("--version") && i + 1 < arguments.size()) {
            const QString &next = arguments.at(i + 1);
            if (!next.startsWith(QLatin1Char('-')) && !notValues.contains(next)) {
                a = QStringLiteral("--firmware");
                rewritten = true;
            }
        }
        if (rewritten && note)
            *note = QStringLiteral("--version with a value is now spelled --firmware; --version "
                                   "alone prints the program's version");
    }
    return arguments;
}

bool applyKitOptions(const QCommandLineParser &parser, VirtualKit &kit, QString *error)
{
    if (parser.isSet(QStringLiteral("target"))) {
        QVector<SimTarget> scene;
        for (const QString &text : parser.values(QStringLiteral("target"))) {
            SimTarget t;
            if (!parseTargetOption(text, &t, error))
                return false;
            scene << t;
        }
        kit.setTargets(scene);
    }
    if (parser.isSet(QStringLiteral("noise"))) {
        bool ok = false;
        const double v = parser.value(QStringLiteral("noise")).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < 0)
            return fail(error, QStringLiteral("noise \"%1\": expected volts rms, 0 or more")
                                   .arg(parser.value(QStringLiteral("noise"))));
        kit.setNoiseVrms(v);
    }
    if (parser.isSet(QStringLiteral("firmware")))
        kit.setFirmwareVersion(parser.value(QStringLiteral("firmware")));
    if (parser.isSet(QStringLiteral("serial"))) {
        const QString s = parser.value(QStringLiteral("serial"));
        // The serial is one field of the comma-separated identification.
        if (s.isEmpty() || s.contains(',') || s.contains(':'))
            return fail(
                error,
                QStringLiteral("serial \"%1\": must not be empty or hold \",\" or \":\"").arg(s));
        kit.setSerial(s);
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const quint64 seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok)
            return fail(error, QStringLiteral("seed \"%1\": expected a whole number")
                                   .arg(parser.value(QStringLiteral("seed"))));
        kit.setSeed(seed);
    }
    SimReplyForm form = kit.replyForm();
    if (!applyReplyFormOptions(parser, form, error))
        return false;
    kit.setReplyForm(form);
    return true;
}
