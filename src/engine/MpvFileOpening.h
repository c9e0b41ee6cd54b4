#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

struct mpv_event;

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
    // The last sound track listed: a recording's own sound stream (MpvRecordingTimeline).
    qint64 lastSoundTrackId = 0;
};

// What an opening thread sleeps on between mpv's answers. mpv's wakeup callback and its render update
// callback may call nothing of mpv's, so they only wake the sleeper, which then asks mpv itself. Another
// thread may cancel the open; the sleeper then gives up at once.
class MpvOpenWait {
public:
    // For mpv's callbacks; self is the MpvOpenWait.
    static void wake(void* self);
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // Until woken (also by a wake that came before) or the deadline.
    void sleepUntil(const QDeadlineTimer& deadline);

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakeUp_ = false;
    std::atomic<bool> cancelled_{false};
};

// One file being opened on a core: what the steps below share. Frames that come meanwhile are drawn; events
// that answer nothing asked here go to handleEvent.
struct MpvOpening {
    MpvCore& core;
    MpvOpenWait& wait;
    QDeadlineTimer deadline;
    std::function<void(const mpv_event&)> handleEvent;
    // mpv decoded a picture of the file.
    bool pictureCame = false;
    // A restart of the file's playback not yet asked about, whichever step took the event.
    bool restarted = false;
};

// Opening a file on a core, waiting for mpv's answers until the deadline; each step answers an error text,
// which names the file, when it failed, ran out of time or was cancelled.
class MpvFileOpening {
public:
    // Until mpv reports the file loaded or failed.
    static QString waitUntilLoaded(MpvOpening& opening, const QString& absolutePath,
                                   std::chrono::milliseconds timeout);
    // Learns what the loaded file holds into file; an error text when it is nothing a pane can show.
    static QString inspect(MpvOpening& opening, const QString& filePath, MpvLoadedFile* file);
    // Until the file's first picture is decoded: a file cut short after its header has none.
    static QString waitForPicture(MpvOpening& opening, const QString& filePath,
                                  std::chrono::milliseconds timeout);

private:
    // The next event, or MPV_EVENT_NONE once the deadline passed or the open was cancelled.
    static const mpv_event* nextEvent(MpvOpening& opening);
    static QString givenUp(const MpvOpening& opening, const QString& filePath, const QString& what);
};

} // namespace tetrapan
