#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QTemporaryDir>

namespace tetrapan::test {

// While it lives, every sound system mpv may try is unreachable, whatever this machine has: the machine of
// a user without speakers, or a CI machine. Set it up before the engine starts its cores.
class NoSoundDevice {
public:
    NoSoundDevice()
    {
        QFile(dir_.filePath(QStringLiteral("asound.conf"))).open(QIODevice::WriteOnly);
        unreachable_ = {
            {"ALSA_CONFIG_PATH", QFile::encodeName(dir_.filePath(QStringLiteral("asound.conf")))},
            {"PULSE_SERVER", "unix:" + QFile::encodeName(dir_.filePath(QStringLiteral("pulse")))},
            {"PIPEWIRE_REMOTE", QFile::encodeName(dir_.filePath(QStringLiteral("pipewire")))},
            {"JACK_NO_START_SERVER", "1"},
        };
        for (const auto& [name, value] : unreachable_)
            qputenv(name.constData(), value);
    }
    ~NoSoundDevice()
    {
        for (const auto& entry : unreachable_)
            qunsetenv(entry.first.constData());
    }
    NoSoundDevice(const NoSoundDevice&) = delete;
    NoSoundDevice& operator=(const NoSoundDevice&) = delete;

private:
    QTemporaryDir dir_;
    QList<QPair<QByteArray, QByteArray>> unreachable_;
};

} // namespace tetrapan::test
