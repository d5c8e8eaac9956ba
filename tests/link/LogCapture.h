// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Collects the lines of the kvvlx.usb debug log while it lives.

#include "link/LinkLogging.h"

#include <QStringList>

class LogCapture
{
public:
    LogCapture()
    {
        instance() = this;
        const_cast<QLoggingCategory &>(lcUsb()).setEnabled(QtDebugMsg, true);
        previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        const_cast<QLoggingCategory &>(lcUsb()).setEnabled(QtDebugMsg, false);
        instance() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines;

private:
    static LogCapture *&instance()
    {
        static LogCapture *current = nullptr;
        return current;
    }
    static void handle(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        if (instance() && context.category && QByteArray(context.category) == "kvvlx.usb")
            instance()->lines << message;
    }
    QtMessageHandler previous = nullptr;
};
