// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppInfo.h"

#include "KvvlxVersion.h"
#include "link/UsbDeviceLayer.h"

#include <fftw3.h>
#include <qcustomplot.h>

namespace AppInfo {

QString version() { return QStringLiteral(KVVLX_VERSION); }

QString aboutText()
{
    return QStringLiteral(
               "<h3>KVVLX Control GUI %1</h3>"
               "<p>Control and display application of the KV7310 FMCW radar kit, over USB or "
               "Bluetooth.</p>"
               "<p>This program is free software: you can redistribute it and/or modify it under "
               "the terms of the GNU General Public License, version 3 or (at your option) any "
               "later version. It comes with ABSOLUTELY NO WARRANTY.</p>"
               "<p>Built with: Qt %2 (run-time %3), QCustomPlot %4, %5, "
               "%6.</p>")
        .arg(version(), QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()),
             QStringLiteral(QCUSTOMPLOT_VERSION_STR), QString::fromLatin1(fftw_version),
             QString::fromStdString(nativeDeviceLayerVersion()));
}

QString gettingStartedText()
{
    return QStringLiteral(
        "<h3>Getting started</h3>"
        "<p><b>Connect.</b> The window \"Connection Setup\" asks how the kit is connected. "
        "<b>USB</b> opens one tab \"SN:&lt;serial&gt;\" per kit. <b>Bluetooth</b> asks for the "
        "serial port of the kit's Bluetooth link (on Linux /dev/rfcomm0 after <tt>rfcomm "
        "bind</tt>) and opens the tabs \"VLX BT\" and \"I/O\".</p>"
        "<p><b>Set up the sweep</b> on the left of a tab: start and stop frequency in GHz "
        "(23–26 GHz) with Set, the ramp time in ms with Set, the sweep type, RF power, Start and "
        "Stop. Fields show what the kit reports back.</p>"
        "<p><b>Capture.</b> Collect and Plot takes one frame of the given number of samples; "
        "Continuous Capture repeats until pressed again; the timed collection writes numbered "
        "files into a folder.</p>"
        "<p><b>Read the plots.</b> Raw shows the frame in volts over time; the spectrum shows "
        "beat frequency in Hz; Range turns beat frequency into metres through the sweep slope; "
        "Doppler shows the frequency shift of moving reflectors; the two maps stack successive "
        "frames from left to right. Drag to pan, turn the wheel to zoom; the reset buttons "
        "restore the axes.</p>"
        "<p><b>Files.</b> Save writes the frame, one value in volts per line; File &gt; Load "
        "Data… reads one back into the current USB tab.</p>"
        "<p><b>No kit?</b> Start <tt>kvvlx --simulate</tt> for virtual kits on USB and "
        "Bluetooth.</p>");
}

} // namespace AppInfo
