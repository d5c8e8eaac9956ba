// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every way of filling in what the kit's protocol leaves open, one named row each, and a few
// drawn at random under fixed seeds: the table the capture tests of both links run over.

#include "kit/RadarMath.h"
#include "sim/ReplyForm.h"
#include "sim/VirtualKit.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtTest>

Q_DECLARE_METATYPE(SimReplyForm)

struct NamedReplyForm
{
    QString name;
    SimReplyForm form;
};

inline QList<NamedReplyForm> replyFormVariants()
{
    using H = SimReplyForm::DataHeader;
    QList<NamedReplyForm> rows;
    auto add = [&rows](const QString &name, auto change) {
        SimReplyForm form;
        change(form);
        rows.append({name, form});
    };
    add(QStringLiteral("DATAnn:, LF, upper"), [](SimReplyForm &) {});
    const struct
    {
        H header;
        const char *name;
    } headers[] = {{H::ColonFirst, "DATA:nn"},
                   {H::ColonInside, "DATAn:n"},
                   {H::Prefixed, "xDATA::"},
                   {H::Binary, "DATA+3 binary"},
                   {H::LetterFirst, "ADATAn:"}};
    for (const auto &h : headers)
        add(QLatin1String(h.name), [&h](SimReplyForm &f) { f.dataHeader = h.header; });
    add(QStringLiteral("odd byte"), [](SimReplyForm &f) { f.oddByte = true; });
    add(QStringLiteral(":END in payload, odd byte, DATA+3"), [](SimReplyForm &f) {
        f.endInPayload = f.oddByte = true;
        f.dataHeader = H::Binary;
    });
    for (const char t : {'\r', '\x03', '\0', ';'})
        add(QStringLiteral("terminator 0x%1").arg(uchar(t), 2, 16, QLatin1Char('0')),
            [t](SimReplyForm &f) { f.usbTerminator = t; });
    add(QStringLiteral("lower hex"),
        [](SimReplyForm &f) { f.hexCase = SimReplyForm::HexCase::Lower; });
    add(QStringLiteral("mixed hex"),
        [](SimReplyForm &f) { f.hexCase = SimReplyForm::HexCase::Mixed; });
    add(QStringLiteral("late replies"), [](SimReplyForm &f) { f.replyDelayMs = 10; });
    add(QStringLiteral("pieces of 7 bytes"), [](SimReplyForm &f) {
        f.pieceBytes = 7;
        f.pieceGapMs = 1;
    });
    // A frame of 64 samples is 141 bytes: the first piece holds a terminator in the samples
    // and ends inside the real one.
    add(QStringLiteral("pieces of 138 bytes, :END in payload"), [](SimReplyForm &f) {
        f.pieceBytes = 138;
        f.pieceGapMs = 20;
        f.endInPayload = true;
    });
    for (quint64 seed : {1u, 2u, 3u, 4u, 5u})
        rows.append(
            {QStringLiteral("random %1: %2").arg(seed).arg(SimReplyForm::random(seed).describe()),
             SimReplyForm::random(seed)});
    return rows;
}

// The column "form" and one row per variant, for a test's _data function.
inline void addReplyFormRows()
{
    QTest::addColumn<SimReplyForm>("form");
    for (const NamedReplyForm &row : replyFormVariants())
        QTest::newRow(qPrintable(row.name)) << row.form;
}

// The last frame the kit put on the wire, in volts.
inline QVector<double> sentVolts(const VirtualKit &kit)
{
    QVector<double> volts;
    for (quint16 c : kit.lastFrameSent())
        volts.append(RadarMath::countToVolts(c));
    return volts;
}
