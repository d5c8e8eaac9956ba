// SPDX-License-Identifier: GPL-3.0-or-later
// USB frames and text replies from kits that fill in what the protocol leaves open in every
// way it allows: each frame equals what the kit sent, bit for bit in volts.
#include "support/RadarTestSupport.h"
#include "support/ReplyForms.h"

#include "capture/FrameCapture.h"

#include <QtTest>

class FrameFormsTest : public QObject
{
    Q_OBJECT

private slots:
    void framesEqualWhatTheKitSent_data() { addReplyFormRows(); }

    void framesEqualWhatTheKitSent()
    {
        QFETCH(SimReplyForm, form);
        SimKits sim;
        sim.kit().setReplyForm(form);
        QCOMPARE(sim.usb.openConnection(sim.target()), 0);
        // 31 samples end on a reply that is nothing but the terminator.
        for (const int n : {1024, 31, 7}) {
            const FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, n);
            QVERIFY2(frame.check.ok, qPrintable(frame.check.reason));
            const QVector<double> sent = sentVolts(sim.kit());
            QCOMPARE(sent.size(), n);
            QCOMPARE(FrameCapture::hexToVolts(frame.hex), sent);
        }
        sim.usb.closeConnection();
    }

    void textRepliesLoseOnlyTheirTerminator_data()
    {
        QTest::addColumn<char>("terminator");
        for (const char t : {'\n', '\r', '\x03', '\0', ';'})
            QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(uchar(t), 2, 16, QLatin1Char('0'))))
                << t;
    }

    void textRepliesLoseOnlyTheirTerminator()
    {
        QFETCH(char, terminator);
        SimKits sim;
        SimReplyForm form;
        form.usbTerminator = terminator;
        sim.kit().setReplyForm(form);
        SimCatalogue catalogue;
        catalogue.attenuators = {1, 2, 3, 31};
        sim.kit().setCatalogue(catalogue);
        QCOMPARE(sim.usb.openConnection(sim.target()), 0);
        sim.usb.getDescriptions();
        QCOMPARE(sim.usb.getVersion(), QStringLiteral("1.0.0"));
        QCOMPARE(sim.usb.getSerial(), QStringLiteral("SIM0001"));
        QCOMPARE(sim.usb.getFirmVer(), QStringLiteral("1.0.0"));
        // The last number of a list is the one the terminator would spoil.
        QCOMPARE(sim.usb.getAttens(), (QList<int>{1, 2, 3, 31}));
        QCOMPARE(sim.usb.getTemps(), (QList<float>{31.5f, 28.25f}));
        QVERIFY(sim.usb.getTime() >= 0.0f);
        sim.usb.closeConnection();
    }
};

QTEST_GUILESS_MAIN(FrameFormsTest)
#include "tst_framecapture_forms.moc"
