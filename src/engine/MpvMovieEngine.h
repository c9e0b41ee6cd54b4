#pragma once

#include "engine/FramePacer.h"
#include "engine/MovieEngine.h"
#include "engine/MpvFileOpening.h"
#include "engine/MpvHandlePool.h"
#include "engine/MpvMovie.h"
#include "engine/MpvMovieOpener.h"
#include "engine/MpvWorkers.h"
#include "platform/Scheduler.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tetrapan {

enum class DrawingPath {
    // mpv renders with OpenGL into the view's own GL context.
    OpenGL,
    // mpv renders on the CPU into an image the view paints: cheaper than OpenGL emulated on the CPU, and the
    // only way where there is no window system.
    Software,
};

class MpvMovieEngine final : public MovieEngine {
    Q_OBJECT
public:
    struct Options {
        // movie.video: MpvVideoOutput::Null for no pictures at all; any other value is replaced by the
        // output of the drawing path. movie.workers: made by the engine when not given.
        MpvMovie::Options movie;
        // Chosen from the machine when not given (see detectDrawingPath).
        std::optional<DrawingPath> drawingPath;
        // Times the refill of the ready cores after files were opened on some; without it they are refilled
        // at once. Must outlive the engine.
        Scheduler* scheduler = nullptr;
        // Whether a path is a file the engine may open. Asked on a worker when opening, never on the engine's
        // thread, since a file on a stalled network folder holds up whoever asks; on several at once.
        // Without it the file system is asked (readableMovieFile).
        std::function<bool(const QString& path)> fileCheck;
    };

    // Must be built after the QApplication, once, before any other thread reads the locale: it sets
    // LC_NUMERIC to "C" where the application changed it, for good. It looks at the window system to choose
    // the drawing path.
    MpvMovieEngine();
    explicit MpvMovieEngine(Options options, QObject* parent = nullptr);
    // Waits a little for cores still shutting down, never long: a core stuck in a sound server or a
    // network file must not hold the program up.
    ~MpvMovieEngine() override;

    // Asks on the calling thread.
    bool canInitWithFile(const QString& path) const override;
    // Only a regular file that is not empty and opens for reading: a pipe or a device could block the
    // opening for ever, and a folder is a playlist to mpv.
    static bool readableMovieFile(const QString& path);
    // The file is looked at and opened on a worker; done always hears of it later, through the event loop.
    quint64 openMovie(const QString& path, MovieOpened done) override;
    // The files are looked into and joined on a worker too (MpvRecordingTimeline).
    quint64 openRecording(const Recording& recording, MovieOpened done) override;
    void cancelOpening(quint64 opening) override;
    MovieView* createMovieView(QWidget* parent) override;
    void prepareMovies(const QStringList& paths) override;
    void discardPreparedMovies() override;

    // For the end of the program: lets the ready cores go and waits for every core let go of (also those of
    // movies already gone) to finish shutting down; false when some still run at the deadline. Opening a
    // file afterwards still works, but starts its own core.
    bool shutDown(std::chrono::milliseconds timeout);

    DrawingPath drawingPath() const { return *options_.drawingPath; }
    // Cores started and waiting for a file; for diagnostics and tests.
    int readyCoreCount() const { return warmHandles_ ? warmHandles_->readyCount() : 0; }
    // Software where Qt has no window system (offscreen), the machine no GPU, or OpenGL is itself done on
    // the CPU (llvmpipe, softpipe, swrast); OpenGL on a hardware driver.
    static DrawingPath detectDrawingPath();
    // Whether the device folder (/dev) holds a GPU's device; without one the answer is Software at once.
    static bool hasGraphicsDevice(const QString& devices);

private:
    // Cores were taken: refills the ready ones once the files just opened on them have shown their first
    // frames, or at once without a scheduler.
    void refillLater();
    // Replaces a waiting refill; only with a scheduler.
    void scheduleRefill(std::chrono::milliseconds delay);
    // A movie was let go of: once the switch it was part of has settled, gives the memory its frames left
    // free back to the system. Only with a scheduler.
    void trimLater();
    // The given file check, or readableMovieFile.
    std::function<bool(const QString& path)> fileCheck() const;
    // Options for a load starting now: its decoder gets its pane's share of the machine's cores.
    MpvMovie::Options optionsForLoad() const;
    using OpenTask = std::function<MpvOpenResult(MpvCorePtr core, MpvOpenWait& wait)>;
    // Runs the open on a worker and hands the movie to this thread with the answer.
    void openOnWorker(quint64 id, MovieOpened done, MpvCorePtr core, OpenTask task);
    // An open ended on its worker; on the engine's thread.
    void finishOpening(quint64 id, MpvOpenResult opened);

    // How workers reach the engine: they post their answers only while it is there.
    struct Relay {
        std::mutex mutex;
        MpvMovieEngine* engine = nullptr;
    };
    struct Opening {
        MovieOpened done;
        std::shared_ptr<MpvOpenWait> wait;
    };

    Options options_;
    // One for all the views, so that pictures due together are shown together.
    FramePacer pacer_;
    std::shared_ptr<MpvWorkers> workers_;
    std::unique_ptr<MpvHandlePool> warmHandles_;
    // A playlist's file looked at and loaded ahead on a ready core, on a worker; the open that picks it up
    // waits there for it.
    struct Preparation {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        // loading the file; null when it is no movie file or mpv would not load it
        MpvCorePtr core;
        // Until done, or the open is cancelled (null then).
        MpvCorePtr take(const MpvOpenWait& wait);
    };
    // absolute path and its preparation
    std::vector<std::pair<QString, std::shared_ptr<Preparation>>> prepared_;
    Scheduler::TaskId refill_ = Scheduler::NoTask;
    Scheduler::TaskId trim_ = Scheduler::NoTask;
    std::shared_ptr<Relay> relay_;
    std::map<quint64, Opening> openings_;
    quint64 lastOpening_ = 0;
    // Movies handed out and not yet destroyed: the panes that hold one.
    int heldMovies_ = 0;
    // Panes a playlist's files go to, from prepareMovies until discardPreparedMovies; 0 outside.
    int preparedPanes_ = 0;
};

} // namespace tetrapan
