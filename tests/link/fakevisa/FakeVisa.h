// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Control entry points of the test VISA library: a scripted table instead of instruments.

#include <cstdint>

#if defined(_WIN32)
#define FAKEVISA_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKEVISA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Back to no resources, every status 0, no replies, empty call log.
FAKEVISA_EXPORT void fakevisa_reset();
// The resources viFindRsrc finds, separated by '\n'; none gives VI_ERROR_RSRC_NFOUND.
FAKEVISA_EXPORT void fakevisa_setResources(const char *lines);
// Status returned by one of "viOpenDefaultRM", "viFindRsrc", "viOpen", "viWrite", "viRead".
FAKEVISA_EXPORT void fakevisa_setStatus(const char *function, std::int32_t status);
// Queues one reply for viRead.
FAKEVISA_EXPORT void fakevisa_pushReply(const char *data, int length);
// Every call made, one per line, e.g. "viOpen USB0::...::INSTR 0 0" or "viWrite *IDN?".
FAKEVISA_EXPORT const char *fakevisa_calls();
