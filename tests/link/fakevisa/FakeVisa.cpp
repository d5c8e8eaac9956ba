// SPDX-License-Identifier: GPL-3.0-or-later
// A VISA library of our own for the tests, with the standard entry points.

#include "FakeVisa.h"

#include <cstring>
#include <deque>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using ViStatus = std::int32_t;
using ViSession = std::uint32_t;

namespace {

constexpr ViStatus kResourceNotFound = ViStatus(0xBFFF0011u);

struct State
{
    std::vector<std::string> resources;
    std::map<std::string, ViStatus> status;
    std::deque<std::string> replies;
    std::string calls;
    std::size_t nextFound = 0;
} state;

ViStatus statusOf(const char *function)
{
    const auto it = state.status.find(function);
    return it == state.status.end() ? 0 : it->second;
}

void note(const std::string &line) { state.calls += line + "\n"; }

void copyDescriptor(char *out, std::size_t index)
{
    std::strncpy(out, state.resources[index].c_str(), 255);
    out[255] = '\0';
}

} // namespace

FAKEVISA_EXPORT void fakevisa_reset() { state = State(); }

FAKEVISA_EXPORT void fakevisa_setResources(const char *lines)
{
    state.resources.clear();
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            state.resources.push_back(line);
}

FAKEVISA_EXPORT void fakevisa_setStatus(const char *function, std::int32_t status)
{
    state.status[function] = status;
}

FAKEVISA_EXPORT void fakevisa_pushReply(const char *data, int length)
{
    state.replies.emplace_back(data, std::size_t(length));
}

FAKEVISA_EXPORT const char *fakevisa_calls() { return state.calls.c_str(); }

FAKEVISA_EXPORT ViStatus viOpenDefaultRM(ViSession *rm)
{
    note("viOpenDefaultRM");
    *rm = 100;
    return statusOf("viOpenDefaultRM");
}

FAKEVISA_EXPORT ViStatus viFindRsrc(ViSession rm, const char *expression, ViSession *list,
                                    std::uint32_t *count, char *descriptor)
{
    note("viFindRsrc " + std::to_string(rm) + " " + expression);
    if (const ViStatus s = statusOf("viFindRsrc"))
        return s;
    if (state.resources.empty())
        return kResourceNotFound;
    *list = 200;
    *count = std::uint32_t(state.resources.size());
    copyDescriptor(descriptor, 0);
    state.nextFound = 1;
    return 0;
}

FAKEVISA_EXPORT ViStatus viFindNext(ViSession list, char *descriptor)
{
    note("viFindNext " + std::to_string(list));
    if (state.nextFound >= state.resources.size())
        return kResourceNotFound;
    copyDescriptor(descriptor, state.nextFound++);
    return 0;
}

FAKEVISA_EXPORT ViStatus viOpen(ViSession rm, const char *name, std::uint32_t mode,
                                std::uint32_t timeout, ViSession *instrument)
{
    note("viOpen " + std::to_string(rm) + " " + name + " " + std::to_string(mode) + " " +
         std::to_string(timeout));
    *instrument = 300;
    return statusOf("viOpen");
}

FAKEVISA_EXPORT ViStatus viClose(ViSession object)
{
    note("viClose " + std::to_string(object));
    return 0;
}

FAKEVISA_EXPORT ViStatus viWrite(ViSession instrument, const unsigned char *data,
                                 std::uint32_t count, std::uint32_t *written)
{
    note("viWrite " + std::to_string(instrument) + " " +
         std::string(reinterpret_cast<const char *>(data), count));
    *written = count;
    return statusOf("viWrite");
}

#ifndef FAKEVISA_NO_READ
FAKEVISA_EXPORT ViStatus viRead(ViSession instrument, unsigned char *buffer, std::uint32_t capacity,
                                std::uint32_t *count)
{
    note("viRead " + std::to_string(instrument) + " " + std::to_string(capacity));
    *count = 0;
    if (state.replies.empty())
        return ViStatus(0xBFFF0015u); // VI_ERROR_TMO
    const std::string reply = state.replies.front();
    state.replies.pop_front();
    *count = std::uint32_t(std::min<std::size_t>(reply.size(), capacity));
    std::memcpy(buffer, reply.data(), *count);
    return statusOf("viRead");
}
#endif

#if !defined(FAKEVISA_LEAN) && !defined(FAKEVISA_NO_READ)
// Looked up but never called by the backend; a library missing one of them is still usable.
FAKEVISA_EXPORT ViStatus viIn32(ViSession, std::uint16_t, std::uintptr_t, std::uint32_t *)
{
    return 0;
}
FAKEVISA_EXPORT ViStatus viOut32(ViSession, std::uint16_t, std::uintptr_t, std::uint32_t)
{
    return 0;
}
FAKEVISA_EXPORT ViStatus viSetAttribute(ViSession, std::uint32_t, std::uintptr_t) { return 0; }
#endif
