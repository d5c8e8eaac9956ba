// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtProtocol.h"

#include "radar/RadarMath.h"

namespace BtProtocol {

namespace {
struct TagName
{
    const char *text;
    Tag tag;
};
constexpr TagName kTags[] = {
    {"STARTF", Tag::StartFreq}, {"STOPF", Tag::StopFreq}, {"RAMP", Tag::Ramp},
    {"TYPE", Tag::Type},        {"LOCK", Tag::Lock},      {"PLLM", Tag::Pllm},
    {"RFPOW", Tag::RfPower},    {"RETACT", Tag::Retact},  {"FREQ", Tag::Freq},
    {"DIV", Tag::Div},          {"REFEXT", Tag::RefExt},  {"FRAM", Tag::Fram},
    {"DATA", Tag::Data},
};
} // namespace

Reply parseReply(const QByteArray &message)
{
    Reply reply;
    const QList<QByteArray> fields = message.split(':');
    if (fields.size() < 2)
        return reply;
    reply.tagText = fields[0];
    const QByteArray &value = fields[1];
    const qsizetype zero = value.indexOf('\0');
    reply.value = QString::fromLatin1(zero < 0 ? value : value.left(zero));
    for (const TagName &t : kTags) {
        if (reply.tagText.contains(t.text)) {
            reply.tag = t.tag;
            break;
        }
    }
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

double replySeconds(int samples)
{
    const double bytes = kHeaderBytes + 2.0 * qMax(samples, 0) + kTerminatorBytes;
    return bytes * 10.0 / 9600.0;
}

} // namespace BtProtocol
