#include "bt/kv7310bt_tab.h"

kv7310bt_tab::kv7310bt_tab(QWidget *parent) : QWidget(parent) {}

void kv7310bt_tab::parseBTmsg(QByteArray) {}
