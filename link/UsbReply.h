// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/KitCommands.h"

#include <QPair>
#include <QString>

// What the program uses of a USB reply (count, text as read): the text without the one
// terminator character the kit ends it with, whichever character that is.
inline QString replyText(const QPair<int, QString> &reply)
{
    return reply.second.left(
        qsizetype(KitCommands::replyBodyLength(std::size_t(reply.second.size()), reply.first)));
}
