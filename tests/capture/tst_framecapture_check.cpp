// SPDX-License-Identifier: GPL-3.0-or-later
// The check of a USB frame: pure cases, a bounded random search, and every fault of the
// virtual kit through the real command layer, each followed by a capture that works again.
#include "support/RadarTestSupport.h"

#include "capture/FrameCapture.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using FrameCapture::Reply;

namespace {

// Replies of a well-formed frame of n samples as the kit sends them, all counts 0x1234.
QVector<Reply> goodReplies(int n)
{
    QVector<Reply> replies;
    int left = n;
    for (int q = 0; q < FrameCapture::queryCount(n); ++q) {
        const int here = qMin(left, 31);
        left -= here;
        const QString text = QStringLiteral("1234").repeated(here) + QLatin1Char('\n');
        replies.append({int(text.size()), text});
    }
    return replies;
}

Reply text(const QString &t) { return {int(t.size()), t}; }

} // namespace

class FrameCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void randomRepliesNeverPassWrong();
    void faultsOfTheKit_data();
    void faultsOfTheKit();
    void unansweredQueryPastTheEndKeepsTheFrame();
    void kitFoundAgainBySerialAfterReplug();
};

void FrameCheckTest::verdicts_data()
{
    QTest::addColumn<QVector<Reply>>("replies");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("reason"); // empty: the frame passes

    QTest::newRow("1024 whole") << goodReplies(1024) << 1024 << QString();
    QTest::newRow("31, empty reply past the end") << goodReplies(31) << 31 << QString();
    QVector<Reply> r = goodReplies(62);
    r.last() = {-1, QString()};
    QTest::newRow("62, reply past the end missing") << r << 62 << QString();
    r.last() = {0, QString()};
    QTest::newRow("62, reply past the end of 0 bytes") << r << 62 << QString();
    QTest::newRow("0 samples") << goodReplies(0) << 0 << QString();
    // The kit chooses its terminator: any one character ends a reply.
    for (const char *end : {"\r", "\x03", "\t", "F", "\xff"})
        QTest::newRow(qPrintable(QStringLiteral("lower case digits, terminator 0x%1")
                                     .arg(uchar(end[0]), 2, 16, QLatin1Char('0'))))
            << QVector<Reply>{text(QStringLiteral("abcd") + QLatin1String(end, 1))} << 1
            << QString();

    r = goodReplies(1024);
    r.remove(1);
    QTest::newRow("one reply short") << r << 1024 << "incomplete: 993 of 1024 samples";
    r = goodReplies(1024);
    r.resize(10);
    r.append({-1, QString()});
    QTest::newRow("read failed mid-frame")
        << r << 1024 << "incomplete: kit not answering after 310 of 1024 samples";
    r = goodReplies(1024);
    r[2] = text(QStringLiteral("1234").repeated(30) + QStringLiteral("12\n"));
    QTest::newRow("body short of two digits")
        << r << 1024 << "garbled: reply 3 holds 122 digits, not whole samples";
    r = goodReplies(1024);
    r[4] = text(QStringLiteral("1234").repeated(31));
    QTest::newRow("no terminator")
        << r << 1024 << "garbled: reply 5 holds 123 digits, not whole samples";
    r = goodReplies(1024);
    r[6] = {0, QString()};
    QTest::newRow("empty reply mid-frame")
        << r << 1024 << "garbled: reply 7 has no line terminator";
    r = goodReplies(1024);
    r[0] = text(QStringLiteral("12G4") + QStringLiteral("1234").repeated(30) + "\n");
    QTest::newRow("non-hex") << r << 1024 << "garbled: reply 1 holds text that is not hexadecimal";
    r = goodReplies(1024);
    r[1] = {125, QStringLiteral("1234")}; // the text stopped at a zero byte
    QTest::newRow("zero byte") << r << 1024 << "garbled: reply 2 holds a zero byte";
    r = goodReplies(1024);
    r[0] = text(QStringLiteral("1234").repeated(32) + "\n");
    r[1] = text(QStringLiteral("1234").repeated(30) + "\n");
    QTest::newRow("32 samples in a reply")
        << r << 1024 << "garbled: reply 1 holds 32 samples, more than 31";
    r = goodReplies(62);
    r.last() = text(QStringLiteral("1234\n"));
    QTest::newRow("samples past the end") << r << 62 << "too long: 63 samples for 62";
    r = goodReplies(31);
    r[1] = text(QString());
    QTest::newRow("empty read mid-frame")
        << goodReplies(31).mid(1) << 31 << "incomplete: 0 of 31 samples";
}

void FrameCheckTest::verdicts()
{
    QFETCH(QVector<Reply>, replies);
    QFETCH(int, n);
    QFETCH(QString, reason);
    const FrameCapture::FrameCheck check = FrameCapture::checkFrame(replies, n);
    QCOMPARE(check.reason, reason);
    QCOMPARE(check.ok, reason.isEmpty());
}

// Mutations of good frames, judged by an oracle of another form: a frame is good exactly when
// every answered reply is a run of 4-digit groups (at most 31) and one terminator, and the
// groups add up to n, with only empty or missing replies after the n-th sample.
void FrameCheckTest::randomRepliesNeverPassWrong()
{
    // The terminator is whatever one character ends the reply.
    static const QRegularExpression body(QStringLiteral("^(?:[0-9A-Fa-f]{4}){0,31}.\\z"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QString alphabet = QStringLiteral("0123456789ABCDEFabcdefG: \r\n\t-");
    QRandomGenerator rng(20240615);
    for (int round = 0; round < 20000; ++round) {
        const int n = int(rng.bounded(200));
        QVector<Reply> replies = goodReplies(n);
        const int edits = int(rng.bounded(3));
        for (int e = 0; e < edits && !replies.isEmpty(); ++e) {
            const int i = int(rng.bounded(replies.size()));
            QString t = replies[i].second;
            switch (rng.bounded(5)) {
            case 0:
                replies[i] = {-1, QString()};
                continue;
            case 1:
                if (!t.isEmpty())
                    t.remove(int(rng.bounded(t.size())), 1);
                break;
            case 2:
                t.insert(int(rng.bounded(t.size() + 1)), alphabet.at(rng.bounded(alphabet.size())));
                break;
            case 3:
                if (!t.isEmpty())
                    t[int(rng.bounded(t.size()))] = alphabet.at(rng.bounded(alphabet.size()));
                break;
            default:
                replies.remove(i);
                continue;
            }
            replies[i] = text(t);
        }

        bool good = true;
        int samples = 0;
        for (const Reply &r : replies) {
            if (samples >= n && (r.first <= 0 || r.second.size() == 1))
                continue;
            if (r.first < 0 || !body.match(r.second).hasMatch()) {
                good = false;
                break;
            }
            samples += int(r.second.size() - 1) / 4;
            if (r.first < 0)
                break;
        }
        good = good && samples == n;
        const FrameCapture::FrameCheck check = FrameCapture::checkFrame(replies, n);
        if (check.ok != good)
            QFAIL(qPrintable(QStringLiteral("round %1, n %2: check says %3 (%4)")
                                 .arg(round)
                                 .arg(n)
                                 .arg(check.ok)
                                 .arg(check.reason)));
    }
}

void FrameCheckTest::faultsOfTheKit_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("queriesSent"); // of 34; a dead transfer ends the bracket
    QTest::addColumn<bool>("aborted");
    QTest::newRow("lost reply") << int(SimFrameFault::LostReply)
                                << "incomplete: kit not answering after 155 of 1024" << 6 << true;
    QTest::newRow("late reply") << int(SimFrameFault::LateReply)
                                << "incomplete: kit not answering after 155 of 1024" << 6 << true;
    QTest::newRow("short body") << int(SimFrameFault::ShortBody)
                                << "garbled: reply 6 holds 122 digits" << 34 << false;
    QTest::newRow("no terminator")
        << int(SimFrameFault::NoTerminator) << "garbled: reply 6 holds 123 digits" << 34 << false;
    QTest::newRow("non-hex") << int(SimFrameFault::NonHex)
                             << "garbled: reply 6 holds text that is not hexadecimal" << 34
                             << false;
    QTest::newRow("hang") << int(SimFrameFault::Hang)
                          << "incomplete: kit not answering after 155 of 1024" << 6 << true;
    QTest::newRow("unplug") << int(SimFrameFault::Unplug)
                            << "incomplete: kit not answering after 155 of 1024" << 6 << false;
}

void FrameCheckTest::faultsOfTheKit()
{
    QFETCH(int, fault);
    QFETCH(QString, words);
    QFETCH(int, queriesSent);
    QFETCH(bool, aborted);
    SimKits sim;
    SimFaults faults;
    faults.frameFault = SimFrameFault(fault);
    faults.frameFaultReply = 5;
    sim.kit().setFaults(faults);
    sim.kit().clearReceived();

    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, 1024);
    sim.usb.closeConnection();
    QVERIFY(!frame.check.ok);
    QVERIFY2(frame.check.reason.startsWith(words), qPrintable(frame.check.reason));
    QCOMPARE(sim.count(QStringLiteral("CAPT:FRAM?")), queriesSent);
    QCOMPARE(frame.queries, queriesSent);
    // After "CAPT:FRAM 1024" (tag 1) each query takes two tags; the read request of the sixth
    // carries tag 3 + 2 * 5 = 13, and that is the transfer aborted.
    QCOMPARE(sim.kit().abortLog(), aborted ? QStringList{"IN 13"} : QStringList());

    // The kit recovers (replugged, or simply cleared by the next open): the next frame is whole.
    if (!sim.kit().isConnected())
        sim.kit().reconnect();
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    frame = FrameCapture::captureFrame(sim.usb, 1024);
    sim.usb.closeConnection();
    QVERIFY2(frame.check.ok, qPrintable(frame.check.reason));
    QCOMPARE(FrameCapture::hexToVolts(frame.hex).size(), 1024);
}

void FrameCheckTest::unansweredQueryPastTheEndKeepsTheFrame()
{
    SimKits sim;
    SimFaults faults;
    faults.frameFault = SimFrameFault::LostReply;
    faults.frameFaultReply = 2; // 62 samples take two full replies and one query past the end
    sim.kit().setFaults(faults);
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    const FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, 62);
    sim.usb.closeConnection();
    QCOMPARE(frame.lostReplies, 1);
    QVERIFY2(frame.check.ok, qPrintable(frame.check.reason));
    QCOMPARE(FrameCapture::hexToVolts(frame.hex).size(), 62);
}

void FrameCheckTest::kitFoundAgainBySerialAfterReplug()
{
    SimKits sim(2);
    const QString before = sim.target(1);
    QCOMPARE(FrameCapture::findKitBySerial(sim.usb, QStringLiteral("SIM0002")), before);

    SimUsbBus::global().replugElsewhere(sim.kits.at(1));
    const QString after = sim.target(1);
    QVERIFY(after != before);
    QCOMPARE(sim.usb.openConnection(before), -2); // the old port is empty now
    QCOMPARE(FrameCapture::findKitBySerial(sim.usb, QStringLiteral("SIM0002")), after);
    QCOMPARE(FrameCapture::findKitBySerial(sim.usb, QStringLiteral("SIM0001")), sim.target(0));
    QCOMPARE(FrameCapture::findKitBySerial(sim.usb, QStringLiteral("NOPE")), QString());

    sim.kit(1).disconnect(); // unplugged and not back
    QCOMPARE(FrameCapture::findKitBySerial(sim.usb, QStringLiteral("SIM0002")), QString());
}

QTEST_GUILESS_MAIN(FrameCheckTest)
#include "tst_framecapture_check.moc"
