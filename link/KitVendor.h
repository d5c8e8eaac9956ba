// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// USB vendor ID of the kits: 0x4B56, the ASCII letters "KV". VISA searches for it
// ("USB0::0x4B56::?*INSTR") and packaging/udev/70-kvvlx.rules grants access to it ("4b56").
// Change all three together.
constexpr unsigned short kKitVendorId = 0x4B56;
