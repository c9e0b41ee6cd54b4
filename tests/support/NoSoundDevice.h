#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace tetrapan::test {

// While it lives, every sound system mpv may try is unreachable, whatever this machine has: the machine of
// a user without speakers, or a CI machine. Set it up before the engine starts its cores.
class NoSoundDevice {
public:
    NoSoundDevice()
    {
        const QString alsa = dir_.filePath(QStringLiteral("asound.conf"));
        QFile(alsa).open(QIODevice::WriteOnly);
        qputenv("ALSA_CONFIG_PATH", QFile::encodeName(alsa));
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir_.filePath(QStringLiteral("pulse"))));
        qputenv("PIPEWIRE_REMOTE", QFile::encodeName(dir_.filePath(QStringLiteral("pipewire"))));
        qputenv("JACK_NO_START_SERVER", "1");
    }
    ~NoSoundDevice()
    {
        for (const char* name :
             {"ALSA_CONFIG_PATH", "PULSE_SERVER", "PIPEWIRE_REMOTE", "JACK_NO_START_SERVER"})
            qunsetenv(name);
    }
    NoSoundDevice(const NoSoundDevice&) = delete;
    NoSoundDevice& operator=(const NoSoundDevice&) = delete;

private:
    QTemporaryDir dir_;
};

} // namespace tetrapan::test
