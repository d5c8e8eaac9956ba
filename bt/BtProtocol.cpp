// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtProtocol.h"

#include "kit/RadarMath.h"

#include <limits>

namespace BtProtocol {

Reply parseReply(const QByteArray &message)
{
    Reply reply;
    const std::optional<KitCommands::BtFields> fields =
        KitCommands::splitReply(std::string_view(message.constData(), size_t(message.size())));
    if (!fields)
        return reply;
    reply.tagText = QByteArray(fields->tag.data(), qsizetype(fields->tag.size()));
    reply.value = QString::fromLatin1(fields->value.data(), qsizetype(fields->value.size()));
    reply.tag = KitCommands::matchTag(fields->tag);
    return reply;
}

int intValue(const QString &value) { return value.toInt(); }

QVector<double> decodeSamples(const QByteArray &message)
{
    QVector<double> samples;
    const qsizetype payload = message.size() - kHeaderBytes - kTerminatorBytes;
    if (payload < 2)
        return samples;
    const auto *bytes = reinterpret_cast<const uchar *>(message.constData()) + kHeaderBytes;
    const qsizetype count = payload / 2;
    samples.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const quint16 word = quint16((bytes[2 * i] << 8) | bytes[2 * i + 1]);
        samples.append(RadarMath::countToVolts(word));
    }
    return samples;
}

namespace {
// The tag as the user can read it: printable ASCII kept, anything else escaped, kept short.
QString printableTag(const QByteArray &message)
{
    const qsizetype colon = message.indexOf(':');
    const QByteArray tag = message.left(colon < 0 ? message.size() : colon);
    QString text;
    for (qsizetype i = 0; i < tag.size() && text.size() < 16; ++i) {
        const uchar c = uchar(tag.at(i));
        text += c >= 0x20 && c < 0x7f ? QString(QLatin1Char(char(c)))
                                      : QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    if (tag.size() > 16)
        text += QStringLiteral("...");
    return text;
}
} // namespace

DataCheck checkDataReply(const QByteArray &message, int requested)
{
    DataCheck check;
    auto fail = [&check](const QString &reason) {
        check.ok = false;
        check.reason = reason;
        return check;
    };
    const std::string_view text(message.constData(), size_t(message.size()));
    if (text.size() < KitCommands::kReplyEnd.size() ||
        text.substr(text.size() - KitCommands::kReplyEnd.size()) != KitCommands::kReplyEnd)
        return fail(QStringLiteral("garbled: no terminator"));
    if (!KitCommands::isDataReply(text))
        return fail(
            QStringLiteral("garbled: tag \"%1\" is not a data tag").arg(printableTag(message)));
    if (message.size() < kHeaderBytes + kTerminatorBytes)
        return fail(QStringLiteral("garbled: too short for a data header"));
    // An odd byte before the terminator is no sample and no fault.
    const qsizetype payload = message.size() - kHeaderBytes - kTerminatorBytes;
    check.samples = int(qMin<qsizetype>(payload / 2, std::numeric_limits<int>::max()));
    if (requested >= 0 && check.samples < requested)
        return fail(
            QStringLiteral("incomplete: %1 of %2 samples").arg(check.samples).arg(requested));
    if (requested >= 0 && check.samples > requested)
        return fail(
            QStringLiteral("too long: %1 samples for %2").arg(check.samples).arg(requested));
    return check;
}

double replySeconds(int samples)
{
    const double bytes = kHeaderBytes + 2.0 * qMax(samples, 0) + kTerminatorBytes;
    return bytes * 10.0 / 9600.0;
}

} // namespace BtProtocol
