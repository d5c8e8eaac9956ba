#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

// The Bluetooth radar tab. Placeholder until the Bluetooth tab lands: it keeps the signal and
// slot the main window connects and does nothing with them.
class kv7310bt_tab : public QWidget
{
    Q_OBJECT
public:
    explicit kv7310bt_tab(QWidget *parent = nullptr);

signals:
    void sendBTmsg(QString msg);

public slots:
    void parseBTmsg(QByteArray msg);
};
