// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Scpi.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace Scpi {

namespace {

// Long forms of the nodes we know, mapped to the short form the headers are kept in.
const QHash<QString, QString> &longForms()
{
    static const QHash<QString, QString> forms{
        {QStringLiteral("SYSTEM"), QStringLiteral("SYST")},
        {QStringLiteral("ERROR"), QStringLiteral("ERR")},
        {QStringLiteral("POWER"), QStringLiteral("POWE")},
        {QStringLiteral("CAPTURE"), QStringLiteral("CAPT")},
        {QStringLiteral("POINTS"), QStringLiteral("POIN")},
        {QStringLiteral("INITIATE"), QStringLiteral("INIT")},
        {QStringLiteral("IMMEDIATE"), QStringLiteral("IMM")},
        {QStringLiteral("FETCH"), QStringLiteral("FETC")},
        {QStringLiteral("FRAME"), QStringLiteral("FRAM")},
        {QStringLiteral("PEAKS"), QStringLiteral("PEAK")},
        {QStringLiteral("MMEMORY"), QStringLiteral("MMEM")},
        {QStringLiteral("STORE"), QStringLiteral("STOR")},
        {QStringLiteral("SELECT"), QStringLiteral("SEL")},
    };
    return forms;
}

// Each known header: whether its query form, its setting form exist.
struct Known
{
    bool query;
    bool set;
};
const QHash<QString, Known> &knownHeaders()
{
    static const QHash<QString, Known> known{
        {QStringLiteral("*IDN"), {true, false}},
        {QStringLiteral("*OPC"), {true, true}},
        {QStringLiteral("*CLS"), {false, true}},
        {QStringLiteral("*WAI"), {false, true}},
        {QStringLiteral("*RST"), {false, true}},
        {QStringLiteral("SYST:ERR"), {true, false}},
        {QStringLiteral("KIT:LIST"), {true, false}},
        {QStringLiteral("KIT:SEL"), {true, true}},
        {QStringLiteral("SWEEP:FREQSTAR"), {true, true}},
        {QStringLiteral("SWEEP:FREQSTOP"), {true, true}},
        {QStringLiteral("SWEEP:RAMPTIME"), {true, true}},
        {QStringLiteral("SWEEP:TYPE"), {true, true}},
        {QStringLiteral("POWE:RF"), {true, true}},
        {QStringLiteral("CAPT:POIN"), {true, true}},
        {QStringLiteral("INIT"), {false, true}},
        {QStringLiteral("FETC:FRAM"), {true, false}},
        {QStringLiteral("FETC:PEAK"), {true, false}},
        {QStringLiteral("MMEM:STOR:FRAM"), {false, true}},
    };
    return known;
}

QString canonical(QString header)
{
    if (header.startsWith(QLatin1Char(':')))
        header.remove(0, 1);
    QStringList nodes = header.toUpper().split(QLatin1Char(':'));
    for (QString &node : nodes)
        node = longForms().value(node, node);
    // Default nodes that may be left out.
    if (nodes.size() == 2 && nodes.at(0) == QLatin1String("INIT") &&
        nodes.at(1) == QLatin1String("IMM"))
        nodes.removeLast();
    if (nodes.size() == 3 && nodes.at(0) == QLatin1String("SYST") &&
        nodes.at(1) == QLatin1String("ERR") && nodes.at(2) == QLatin1String("NEXT"))
        nodes.removeLast();
    return nodes.join(QLatin1Char(':'));
}

// Splits at sep outside quotes.
QStringList splitOutsideQuotes(const QString &text, QChar sep)
{
    QStringList parts;
    QString part;
    QChar quote;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == sep) {
            parts << part;
            part.clear();
            continue;
        }
        part += c;
    }
    parts << part;
    return parts;
}

} // namespace

QString errorText(int code)
{
    switch (code) {
    case NoError:
        return QStringLiteral("No error");
    case CommandError:
        return QStringLiteral("Command error");
    case SyntaxError:
        return QStringLiteral("Syntax error");
    case DataTypeError:
        return QStringLiteral("Data type error");
    case ParameterNotAllowed:
        return QStringLiteral("Parameter not allowed");
    case MissingParameter:
        return QStringLiteral("Missing parameter");
    case UndefinedHeader:
        return QStringLiteral("Undefined header");
    case ExecutionError:
        return QStringLiteral("Execution error");
    case DataOutOfRange:
        return QStringLiteral("Data out of range");
    case IllegalParameterValue:
        return QStringLiteral("Illegal parameter value");
    case DataStale:
        return QStringLiteral("Data corrupt or stale");
    case HardwareError:
        return QStringLiteral("Hardware error");
    case HardwareMissing:
        return QStringLiteral("Hardware missing");
    case MassStorageError:
        return QStringLiteral("Mass storage error");
    case FileNameError:
        return QStringLiteral("File name error");
    case QueueOverflow:
        return QStringLiteral("Queue overflow");
    case InputBufferOverrun:
        return QStringLiteral("Input buffer overrun");
    default:
        return QStringLiteral("Error");
    }
}

QList<Command> parseLine(const QByteArray &line, int *error, QString *detail)
{
    *error = NoError;
    QList<Command> out;
    // Text outside printable ASCII is no command of ours.
    for (const char c : line)
        if ((uchar(c) < 0x20 && c != '\t' && c != '\r') || uchar(c) > 0x7e) {
            *error = SyntaxError;
            if (detail)
                *detail =
                    QStringLiteral("unexpected byte 0x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
            return out;
        }
    const QString text = QString::fromLatin1(line).trimmed();
    for (const QString &raw : splitOutsideQuotes(text, QLatin1Char(';'))) {
        const QString part = raw.trimmed();
        if (part.isEmpty())
            continue;
        const qsizetype space = part.indexOf(QRegularExpression(QStringLiteral("\\s")));
        QString header = space < 0 ? part : part.left(space);
        const QString rest = space < 0 ? QString() : part.mid(space + 1).trimmed();
        Command c;
        c.query = header.endsWith(QLatin1Char('?'));
        if (c.query)
            header.chop(1);
        c.header = canonical(header);
        const auto known = knownHeaders().constFind(c.header);
        if (known == knownHeaders().constEnd() || (c.query ? !known->query : !known->set)) {
            *error = UndefinedHeader;
            if (detail)
                *detail = part.left(40);
            return out;
        }
        if (!rest.isEmpty())
            for (const QString &a : splitOutsideQuotes(rest, QLatin1Char(',')))
                c.arguments << a.trimmed();
        out << c;
    }
    return out;
}

void ErrorQueue::push(int code, const QString &detail)
{
    if (code == NoError)
        return;
    QString text = errorText(code);
    if (!detail.isEmpty())
        text += QLatin1Char(';') + QString(detail).replace(QLatin1Char('"'), QLatin1Char('\''));
    const QString entry = QStringLiteral("%1,\"%2\"").arg(code).arg(text);
    if (entries.size() >= kCapacity) {
        entries.last() =
            QStringLiteral("%1,\"%2\"").arg(int(QueueOverflow)).arg(errorText(QueueOverflow));
        return;
    }
    entries << entry;
}

QString ErrorQueue::next()
{
    if (entries.isEmpty())
        return QStringLiteral("0,\"No error\"");
    return entries.takeFirst();
}

bool toNumber(const QString &argument, double *value)
{
    bool ok = false;
    const double v = argument.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool toBool(const QString &argument, bool *value)
{
    const QString a = argument.trimmed().toUpper();
    if (a == QLatin1String("1") || a == QLatin1String("ON"))
        *value = true;
    else if (a == QLatin1String("0") || a == QLatin1String("OFF"))
        *value = false;
    else
        return false;
    return true;
}

QString unquoted(const QString &argument)
{
    const QString a = argument.trimmed();
    if (a.size() >= 2 && (a.front() == QLatin1Char('"') || a.front() == QLatin1Char('\'')) &&
        a.back() == a.front())
        return a.mid(1, a.size() - 2);
    return a;
}

QByteArray definiteBlock(const QByteArray &payload)
{
    const QByteArray length = QByteArray::number(payload.size());
    return '#' + QByteArray::number(length.size()) + length + payload;
}

QByteArray number(double value)
{
    return std::isfinite(value) ? QByteArray::number(value, 'g', 6) : QByteArrayLiteral("9.91E37");
}

} // namespace Scpi
