#pragma once

#include <QString>

#include <chrono>
#include <functional>

struct mpv_event;
class QDeadlineTimer;

namespace tetrapan {

class MpvCore;

// What a file mpv has just loaded holds, as far as a pane cares.
struct MpvLoadedFile {
    QString title;
    double durationSeconds = 0.0;
    qint64 videoTrackId = 0;
    // Moving pictures, not only a still one (cover art).
    bool picturesMove = false;
    // Clockwise degrees the pictures are stored turned by.
    qint64 rotation = 0;
};

// Opening a file on a core, waiting for mpv's answers until the deadline. The frames that come meanwhile are
// drawn; events that answer nothing asked here go to handleEvent.
class MpvFileOpening {
public:
    // Waits for mpv to report the file loaded or failed; an error text when it failed or timeout ran out.
    static QString waitUntilLoaded(MpvCore& core, const QString& absolutePath,
                                   std::chrono::milliseconds timeout, const QDeadlineTimer& deadline,
                                   const std::function<void(const mpv_event&)>& handleEvent);
    // Learns what the loaded file holds into file; an error text when it is nothing a pane can show.
    static QString inspect(MpvCore& core, const QString& filePath, const QDeadlineTimer& deadline,
                           const std::function<void(const mpv_event&)>& handleEvent, MpvLoadedFile* file);
};

} // namespace tetrapan
