// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RemoteControl.h"

#include "app/MainWindow.h"
#include "capture/BeatPeaks.h"
#include "capture/DataFile.h"
#include "capture/FrameCapture.h"
#include "capture/Sigmf.h"
#include "radar/TR7310_tab.h"

#include "KvvlxVersion.h"

#include <QTabWidget>

namespace {

using Setting = TR7310_tab::Setting;

struct SettingCommand
{
    const char *header;
    Setting setting;
    double low, high; // what the kit accepts; a script gets -222 beyond it
};
// Frequencies in GHz and the ramp in ms, as the kit's own commands take them.
constexpr SettingCommand kSettings[] = {
    {"SWEEP:FREQSTAR", Setting::StartGHz, 23.0, 26.0},
    {"SWEEP:FREQSTOP", Setting::StopGHz, 23.0, 26.0},
    {"SWEEP:RAMPTIME", Setting::RampMs, 0.1, 100.0},
    {"SWEEP:TYPE", Setting::SweepType, 0, 3},
    {"POWE:RF", Setting::RfPower, 0, 1},
};

QByteArray noDetail() { return QByteArray(); }

// FETC:FRAM?, FETC:PEAK? and MMEM:STOR:FRAM on the frame the tab shows.
void answerFromShownFrame(TR7310_tab *tab, const Scpi::Command &c,
                          const RemoteServer::Finish &finish)
{
    const QVector<double> frame = tab->shownFrame();
    if (frame.isEmpty())
        return finish(Scpi::DataStale, "no frame yet: INIT first");
    if (c.header == QLatin1String("FETC:FRAM"))
        return finish(Scpi::NoError, Scpi::definiteBlock(Sigmf::dataBytes(frame)));
    const FrameMeta::Meta meta = tab->shownMeta();
    if (c.header == QLatin1String("FETC:PEAK")) {
        QByteArrayList values;
        for (const BeatPeaks::Peak &p : BeatPeaks::find(frame, meta.axes()))
            values << Scpi::number(p.beatHz) << Scpi::number(p.rangeM) << Scpi::number(p.levelDb);
        return finish(Scpi::NoError, values.join(','));
    }
    // MMEM:STOR:FRAM "path": a data file with its sidecar, or a SigMF recording.
    const QString path = Scpi::unquoted(c.arguments.first());
    if (path.isEmpty())
        return finish(Scpi::FileNameError, noDetail());
    QString error;
    bool saved = false;
    if (Sigmf::isSigmf(path) || path.endsWith(QLatin1String(".sigmf"))) {
        saved = Sigmf::writeFrame(frame, meta, path, &error);
    } else {
        saved = DataFile::write(frame, path, &error) && FrameMeta::write(meta, path, &error);
    }
    if (!saved)
        return finish(Scpi::MassStorageError, error.toUtf8());
    finish(Scpi::NoError, noDetail());
}

} // namespace

RemoteControl::RemoteControl(MainWindow *w, QObject *parent)
    : QObject(parent), window(w),
      server(new RemoteServer(
          QStringLiteral("KVVLX,KVVLX Control GUI,0,%1").arg(KVVLX_VERSION),
          [this](const Scpi::Command &c, Finish f) { handle(c, f); }, this))
{
}

bool RemoteControl::listen(quint16 port, QString *error) { return server->listen(port, error); }

QList<TR7310_tab *> RemoteControl::tabs() const
{
    // In the order of the window's tabs.
    QList<TR7310_tab *> out;
    if (auto *tabWidget = window->findChild<QTabWidget *>(QStringLiteral("activityTabs_tab")))
        for (int i = 0; i < tabWidget->count(); ++i)
            if (auto *tab = qobject_cast<TR7310_tab *>(tabWidget->widget(i)))
                out << tab;
    return out;
}

void RemoteControl::withTabs(std::function<void()> then)
{
    if (!tabs().isEmpty() || searched)
        return then();
    searched = true;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(window, &MainWindow::usbSearchDone, this, [connection, then] {
        QObject::disconnect(*connection);
        then();
    });
    window->configureUSB();
}

void RemoteControl::select(TR7310_tab *tab)
{
    selected = tab;
    if (auto *tabWidget = window->findChild<QTabWidget *>(QStringLiteral("activityTabs_tab")))
        tabWidget->setCurrentWidget(tab);
}

void RemoteControl::withKit(const Finish &finish, std::function<void(TR7310_tab *)> then)
{
    withTabs([this, finish, then] {
        if (!selected && !tabs().isEmpty())
            select(tabs().first());
        if (!selected)
            return finish(Scpi::HardwareMissing, "no KV7310 found on USB");
        TR7310_tab *tab = selected;
        prime(tab, [tab, then] { then(tab); });
    });
}

void RemoteControl::prime(TR7310_tab *tab, std::function<void()> then)
{
    if (primed.contains(tab))
        return then();
    primed.append(tab);
    // One after another; the link runs them in order anyway, the last answer ends the wait.
    for (Setting s : {Setting::StartGHz, Setting::RampMs, Setting::SweepType})
        tab->readSetting(s, [](const QString &) {});
    tab->readSetting(Setting::RfPower, [then](const QString &) { then(); });
}

void RemoteControl::handle(const Scpi::Command &c, const Finish &finish)
{
    const QString &h = c.header;
    const bool needsArgument = !c.query && h != QLatin1String("INIT");
    if (needsArgument && c.arguments.isEmpty())
        return finish(Scpi::MissingParameter, noDetail());
    if ((c.query || h == QLatin1String("INIT")) ? !c.arguments.isEmpty() : c.arguments.size() > 1)
        return finish(Scpi::ParameterNotAllowed, noDetail());

    if (h == QLatin1String("KIT:LIST") || h == QLatin1String("KIT:SEL"))
        return handleKitChoice(c, finish);
    for (const SettingCommand &s : kSettings)
        if (h == QLatin1String(s.header))
            return handleSetting(int(&s - kSettings), c, finish);
    if (h == QLatin1String("CAPT:POIN"))
        return handleSampleCount(c, finish);
    if (h == QLatin1String("INIT")) {
        return withKit(finish, [finish](TR7310_tab *tab) {
            tab->collectOne([finish](bool ok) {
                if (!ok)
                    return finish(Scpi::HardwareError,
                                  "no frame (kit busy, absent or frame refused)");
                finish(Scpi::NoError, noDetail());
            });
        });
    }
    // What is fetched and stored is the frame the tab shows.
    withKit(finish, [c, finish](TR7310_tab *tab) { answerFromShownFrame(tab, c, finish); });
}

void RemoteControl::handleKitChoice(const Scpi::Command &c, const Finish &finish)
{
    if (c.header == QLatin1String("KIT:LIST")) {
        return withTabs([this, finish] {
            QStringList serials;
            for (TR7310_tab *tab : tabs())
                serials << tab->serial();
            finish(Scpi::NoError, serials.join(QLatin1Char(',')).toUtf8());
        });
    }
    // KIT:SEL
    if (c.query)
        return withKit(
            finish, [finish](TR7310_tab *tab) { finish(Scpi::NoError, tab->serial().toUtf8()); });
    const QString wanted = Scpi::unquoted(c.arguments.first());
    return withTabs([this, wanted, finish] {
        for (TR7310_tab *tab : tabs())
            if (tab->serial() == wanted) {
                select(tab);
                return finish(Scpi::NoError, noDetail());
            }
        finish(Scpi::IllegalParameterValue, "no kit " + wanted.toUtf8());
    });
}

void RemoteControl::handleSetting(int index, const Scpi::Command &c, const Finish &finish)
{
    const Setting setting = kSettings[index].setting;
    const double low = kSettings[index].low, high = kSettings[index].high;
    if (c.query)
        return withKit(finish, [setting, finish](TR7310_tab *tab) {
            tab->readSetting(setting, [finish](const QString &value) {
                if (value.isEmpty())
                    return finish(Scpi::HardwareError, "the kit did not answer");
                finish(Scpi::NoError, value.toUtf8());
            });
        });
    double value = 0;
    bool on = false;
    if (setting == Setting::RfPower && Scpi::toBool(c.arguments.first(), &on))
        value = on ? 1 : 0;
    else if (!Scpi::toNumber(c.arguments.first(), &value))
        return finish(Scpi::DataTypeError, noDetail());
    if ((setting == Setting::SweepType || setting == Setting::RfPower) &&
        value != double(int(value)))
        return finish(Scpi::IllegalParameterValue, noDetail());
    if (value < low || value > high)
        return finish(Scpi::DataOutOfRange, noDetail());
    return withKit(finish, [setting, value, finish](TR7310_tab *tab) {
        tab->applySetting(setting, value, [finish] { finish(Scpi::NoError, noDetail()); });
    });
}

void RemoteControl::handleSampleCount(const Scpi::Command &c, const Finish &finish)
{
    if (c.query)
        return withKit(finish, [finish](TR7310_tab *tab) {
            finish(Scpi::NoError, QByteArray::number(tab->sampleCount()));
        });
    bool ok = false;
    const int n = c.arguments.first().trimmed().toInt(&ok);
    if (!ok)
        return finish(Scpi::DataTypeError, noDetail());
    if (n < 1 || n > FrameCapture::maxSamples)
        return finish(Scpi::DataOutOfRange, noDetail());
    return withKit(finish, [n, finish](TR7310_tab *tab) {
        tab->setSampleCount(n);
        finish(Scpi::NoError, noDetail());
    });
}
