#pragma once

#include <QByteArray>
#include <QString>

namespace tetrapan {

// Which of mpv's sound outputs can be heard on this machine. An output mpv tries without anything behind it
// is not silent: the sound libraries print their failures on standard error (dozens of lines for four
// panes) and the PulseAudio client leaves a folder in /tmp behind. So the program asks once which servers
// and devices answer, and gives every core only those.
namespace soundOutputs {

// Where the sound servers and devices are looked for; fromEnvironment() gives this machine's.
struct Places {
    QString runtimeDir;         // $XDG_RUNTIME_DIR: pipewire-0 and pulse/native live there
    QString pulseServer;        // $PULSE_SERVER: servers, each "unix:/path", "/path" or a network address
    QString pipewireRemote;     // $PIPEWIRE_REMOTE: the socket's name in the runtime folder, or its path
    QString pipewireRuntimeDir; // $PIPEWIRE_RUNTIME_DIR, which PipeWire prefers to $XDG_RUNTIME_DIR
    QString deviceDir;          // /dev/snd: playback devices are pcmC<card>D<device>p
};
Places fromEnvironment();

// mpv's list of sound outputs for the places: those that answer, best first, then "null" for silence.
QByteArray answering(const Places& places);
// The same for this machine, asked once per run (the sockets are tried the first time only).
QByteArray ofThisMachine();

} // namespace soundOutputs
} // namespace tetrapan
