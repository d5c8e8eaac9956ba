// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ReplyForm.h"

#include "kit/KitCommands.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <random>

namespace {

const QByteArray kEnd = QByteArray::fromStdString(std::string(KitCommands::kReplyEnd));

struct HeaderName
{
    SimReplyForm::DataHeader form;
    const char *name; // as --data-header takes it
};
const HeaderName kHeaders[] = {
    {SimReplyForm::DataHeader::Counter, "DATAnn:"},
    {SimReplyForm::DataHeader::ColonFirst, "DATA:nn"},
    {SimReplyForm::DataHeader::ColonInside, "DATAn:n"},
    {SimReplyForm::DataHeader::Prefixed, "xDATA::"},
    {SimReplyForm::DataHeader::Binary, "DATA+3"},
    {SimReplyForm::DataHeader::LetterFirst, "ADATAn:"},
};

struct CaseName
{
    SimReplyForm::HexCase hexCase;
    const char *name;
};
const CaseName kCases[] = {{SimReplyForm::HexCase::Upper, "upper"},
                           {SimReplyForm::HexCase::Lower, "lower"},
                           {SimReplyForm::HexCase::Mixed, "mixed"}};

const char kTerminators[] = {'\n', '\r', '\x03', '\0', '\x04', ';'};

char hexDigit(unsigned v) { return "0123456789ABCDEF"[v & 0xf]; }

bool isUpperHexLetter(char c) { return c >= 'A' && c <= 'F'; }

// What the samples must not spell unless asked to: the host would cut the reply there.
void keepEndOutOfPayload(QByteArray &msg, int headerSize)
{
    // A header may end in ":" ("xDATA::"), so the sequence may begin one byte before the samples.
    for (int i = int(msg.indexOf(kEnd, headerSize - 1)); i >= 0;
         i = int(msg.indexOf(kEnd, std::max(headerSize - 1, i - 5)))) {
        // Nudge the word that holds it by one count (76 uV, far below the noise).
        const int low = headerSize + ((std::max(i, headerSize) - headerSize) | 1);
        msg[low] = char(msg[low] ^ 1);
    }
}

} // namespace

SimReplyForm SimReplyForm::random(quint64 seed)
{
    std::mt19937_64 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    SimReplyForm form;
    form.dataHeader = kHeaders[pick(int(std::size(kHeaders)))].form;
    form.oddByte = pick(2);
    form.endInPayload = pick(3) == 0;
    form.usbTerminator = kTerminators[pick(int(std::size(kTerminators)))];
    form.hexCase = kCases[pick(int(std::size(kCases)))].hexCase;
    form.replyDelayMs = pick(4) * 5;
    if (pick(2)) {
        form.pieceBytes = 64 + pick(449);
        form.pieceGapMs = pick(3) * 5;
    }
    return form;
}

QString SimReplyForm::describe() const
{
    QString header;
    for (const HeaderName &h : kHeaders)
        if (h.form == dataHeader)
            header = QLatin1String(h.name);
    QString hex;
    for (const CaseName &c : kCases)
        if (c.hexCase == hexCase)
            hex = QLatin1String(c.name);
    QStringList parts{QStringLiteral("header %1").arg(header)};
    if (oddByte)
        parts << QStringLiteral("odd byte");
    if (endInPayload)
        parts << QStringLiteral(":END in payload");
    parts << QStringLiteral("terminator 0x%1").arg(uchar(usbTerminator), 2, 16, QLatin1Char('0'))
          << QStringLiteral("%1 hex").arg(hex);
    if (replyDelayMs > 0)
        parts << QStringLiteral("%1 ms late").arg(replyDelayMs);
    if (pieceBytes > 0)
        parts << QStringLiteral("pieces of %1 B every %2 ms").arg(pieceBytes).arg(pieceGapMs);
    return parts.join(QStringLiteral(", "));
}

QByteArray SimReplyForm::dataHeaderBytes(quint8 counter) const
{
    const char hi = hexDigit(counter >> 4);
    const char lo = hexDigit(counter);
    switch (dataHeader) {
    case DataHeader::Counter:
        return QByteArray("DATA") + hi + lo + ':';
    case DataHeader::ColonFirst:
        return QByteArray("DATA:") + hi + lo;
    case DataHeader::ColonInside:
        return QByteArray("DATA") + lo + ':' + hi;
    case DataHeader::Prefixed:
        return QByteArray("xDATA::");
    case DataHeader::Binary: {
        QByteArray bytes("DATA");
        for (const int b : {counter ^ 0xa5, 0x00, 0xfe})
            bytes += char(b == ':' ? b + 1 : b);
        return bytes;
    }
    case DataHeader::LetterFirst:
        return QByteArray("ADATA") + lo + ':';
    }
    return {};
}

QByteArray SimReplyForm::dataReply(const QVector<quint16> &frame, quint8 counter,
                                   QVector<quint16> *sent) const
{
    QByteArray msg = dataHeaderBytes(counter);
    const int headerSize = int(msg.size());
    msg.reserve(headerSize + 2 * frame.size() + 7);
    for (quint16 s : frame) {
        msg += char(s >> 8);
        msg += char(s & 0xff);
    }
    // Three words in the middle spell the terminator, a word boundary apart from its start.
    if (endInPayload && frame.size() >= 4)
        msg.replace(headerSize + 2 * (int(frame.size()) / 2 - 1), kEnd.size(), kEnd);
    else
        keepEndOutOfPayload(msg, headerSize);
    if (sent) {
        sent->resize(frame.size());
        const auto *bytes = reinterpret_cast<const uchar *>(msg.constData()) + headerSize;
        for (int i = 0; i < int(frame.size()); ++i)
            (*sent)[i] = quint16(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    if (oddByte)
        msg += char(0x80 | counter);
    return msg + kEnd;
}

void SimReplyForm::shapeUsbReply(QByteArray &reply, bool frameReply, int number) const
{
    if (reply.endsWith('\n'))
        reply.back() = usbTerminator;
    const bool lower = hexCase == HexCase::Lower || (hexCase == HexCase::Mixed && number % 2 == 1);
    if (!frameReply || !lower)
        return;
    for (qsizetype i = 0; i + 1 < reply.size(); ++i)
        if (isUpperHexLetter(reply[i]))
            reply[i] = char(reply[i] - 'A' + 'a');
}

namespace {
// The options addReplyFormOptions defines and whether each takes a value.
struct FormOption
{
    const char *name;
    bool valued;
};
const FormOption kFormOptions[] = {
    {"data-header", true}, {"odd-byte", false},   {"end-in-payload", false}, {"usb-terminator", true},
    {"hex-case", true},    {"reply-delay", true}, {"reply-pieces", true},    {"reply-forms", true},
};
} // namespace

void addReplyFormOptions(QCommandLineParser &parser)
{
    QStringList headers;
    for (const HeaderName &h : kHeaders)
        headers << QLatin1String(h.name);
    parser.addOption({QStringLiteral("data-header"),
                      QStringLiteral("Bluetooth data header: %1 (nn the frame counter; default "
                                     "DATAnn:).")
                          .arg(headers.join(QStringLiteral(", "))),
                      QStringLiteral("FORM")});
    parser.addOption({QStringLiteral("odd-byte"),
                      QStringLiteral("One byte more after the samples of each data reply.")});
    parser.addOption(
        {QStringLiteral("end-in-payload"),
         QStringLiteral("Samples in the middle of each data reply spell :END\\r\\n.")});
    parser.addOption({QStringLiteral("usb-terminator"),
                      QStringLiteral("Character ending each USB reply: lf (default), cr, etx, "
                                     "nul, or 0xNN."),
                      QStringLiteral("CHAR")});
    parser.addOption(
        {QStringLiteral("hex-case"),
         QStringLiteral("Case of the USB frame digits: upper (default), lower, mixed."),
         QStringLiteral("CASE")});
    parser.addOption({QStringLiteral("reply-delay"),
                      QStringLiteral("Every reply leaves this many milliseconds late."),
                      QStringLiteral("MS")});
    parser.addOption({QStringLiteral("reply-pieces"),
                      QStringLiteral("Bluetooth replies go out in pieces of BYTES, GAP_MS apart."),
                      QStringLiteral("BYTES[,GAP_MS]")});
    parser.addOption({QStringLiteral("reply-forms"),
                      QStringLiteral("All of the above drawn at random; the same SEED, the same "
                                     "forms. Options given as well take precedence."),
                      QStringLiteral("SEED")});
}

namespace {
bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool wholeNumber(const QString &text, int max, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok && *value >= 0 && *value <= max;
}

// lf, cr, etx, nul or 0xNN for a character that is no letter or digit.
std::optional<char> terminatorNamed(const QString &text)
{
    const QString t = text.toLower();
    const QStringList names{"lf", "cr", "etx", "nul"};
    const char chars[] = {'\n', '\r', '\x03', '\0'};
    bool ok = false;
    const uint code = t.startsWith(QLatin1String("0x")) ? t.mid(2).toUInt(&ok, 16) : 0;
    if (names.contains(t))
        return chars[names.indexOf(t)];
    if (ok && code <= 0xff && !QChar(char16_t(code)).isLetterOrNumber())
        return char(code);
    return std::nullopt;
}
} // namespace

bool applyReplyFormOptions(const QCommandLineParser &parser, SimReplyForm &form, QString *error)
{
    auto set = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    auto value = [&parser](const char *name) { return parser.value(QLatin1String(name)); };
    if (set("reply-forms")) {
        bool ok = false;
        const quint64 seed = value("reply-forms").toULongLong(&ok);
        if (!ok)
            return fail(error, QStringLiteral("reply-forms \"%1\": expected a whole number")
                                   .arg(value("reply-forms")));
        form = SimReplyForm::random(seed);
    }
    if (set("data-header")) {
        const auto h = std::find_if(std::begin(kHeaders), std::end(kHeaders), [&](auto &x) {
            return value("data-header") == QLatin1String(x.name);
        });
        if (h == std::end(kHeaders))
            return fail(
                error,
                QStringLiteral("data-header \"%1\": unknown form").arg(value("data-header")));
        form.dataHeader = h->form;
    }
    form.oddByte = form.oddByte || set("odd-byte");
    form.endInPayload = form.endInPayload || set("end-in-payload");
    if (set("usb-terminator")) {
        const std::optional<char> t = terminatorNamed(value("usb-terminator"));
        if (!t)
            return fail(error, QStringLiteral("usb-terminator \"%1\": expected lf, cr, etx, nul "
                                              "or 0xNN (not a letter or digit)")
                                   .arg(value("usb-terminator")));
        form.usbTerminator = *t;
    }
    if (set("hex-case")) {
        const auto c = std::find_if(std::begin(kCases), std::end(kCases), [&](auto &x) {
            return value("hex-case") == QLatin1String(x.name);
        });
        if (c == std::end(kCases))
            return fail(error, QStringLiteral("hex-case \"%1\": expected upper, lower or mixed")
                                   .arg(value("hex-case")));
        form.hexCase = c->hexCase;
    }
    if (set("reply-delay") && !wholeNumber(value("reply-delay"), 500, &form.replyDelayMs))
        return fail(
            error,
            QStringLiteral("reply-delay \"%1\": expected 0 to 500 ms").arg(value("reply-delay")));
    if (set("reply-pieces")) {
        const QStringList p = value("reply-pieces").split(QLatin1Char(','));
        if (p.size() > 2 || !wholeNumber(p.value(0), 1 << 20, &form.pieceBytes) ||
            form.pieceBytes < 1 ||
            !wholeNumber(p.value(1, QStringLiteral("0")), 500, &form.pieceGapMs))
            return fail(error, QStringLiteral("reply-pieces \"%1\": expected BYTES (1 or more) "
                                              "and GAP_MS (0 to 500)")
                                   .arg(value("reply-pieces")));
    }
    return true;
}

bool takeReplyFormOptions(QStringList &arguments, SimReplyForm &form, bool *given, QString *error)
{
    QStringList taken{QStringLiteral("kvvlx")}, rest;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--")) { // what follows is not an option
            rest << arguments.mid(i);
            break;
        }
        const QString name = a.startsWith(QLatin1String("--")) ? a.mid(2).section('=', 0, 0)
                                                                : QString();
        const auto option = std::find_if(std::begin(kFormOptions), std::end(kFormOptions),
                                         [&](const FormOption &o) { return name == o.name; });
        if (option == std::end(kFormOptions)) {
            rest << a;
            continue;
        }
        taken << a;
        if (option->valued && !a.contains(QLatin1Char('=')) && i + 1 < arguments.size())
            taken << arguments.at(++i);
    }
    arguments = rest;
    *given = taken.size() > 1;
    if (!*given)
        return true;
    QCommandLineParser parser;
    addReplyFormOptions(parser);
    if (!parser.parse(taken))
        return fail(error, parser.errorText());
    return applyReplyFormOptions(parser, form, error);
}
