#include "engine/MpvMovieEngine.h"

#include "engine/MpvMovieView.h"
#include "platform/fileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QThread>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tetrapan {

Q_LOGGING_CATEGORY(lcEngine, "tetrapan.engine", QtWarningMsg)

// One ready core per pane, so a playlist switch loads four files without starting four mpv cores.
constexpr int WarmHandleCount = 4;
constexpr std::chrono::milliseconds ShutdownWait{1000};
// Four 720p files show their first frames well within this on a busy machine; starting four cores meanwhile
// would take half of a two-core machine away from them.
constexpr std::chrono::milliseconds RefillDelay{250};
// A refill still waiting when a movie starts waits this long after the start.
constexpr std::chrono::milliseconds RefillAfterStartDelay{1000};
// Long enough for closed cores to have shut down and the movies that replaced them to be playing.
constexpr std::chrono::milliseconds TrimDelay{3000};

namespace {

constexpr int MallocArenas = 4;

} // namespace

MpvMovieEngine::MpvMovieEngine() : MpvMovieEngine(Options{}) {}

MpvMovieEngine::MpvMovieEngine(Options options, QObject* parent)
    : MovieEngine(parent), options_(std::move(options)),
      workers_(options_.movie.workers ? options_.movie.workers : MpvWorkers::create()),
      relay_(std::make_shared<Relay>())
{
    relay_->engine = this;
    // Qt applies the user's locale to LC_NUMERIC, and mpv refuses to start under one whose decimal point is
    // not '.'; it parses and prints numbers with the C library. Set here once, before the first core starts
    // and never again: setlocale frees the locale's name while threads starting cores may read it. The
    // program sets it before any thread of its own starts, so that here it only looks.
    if (std::strcmp(std::setlocale(LC_NUMERIC, nullptr), "C") != 0)
        std::setlocale(LC_NUMERIC, "C");
    // mpv's cores open connections of their own (to the X server, for hardware decoding; to a sound server),
    // and a server that drops one while it is being set up makes the next write raise SIGPIPE, which ends
    // the whole program. Ignored, the write fails instead and mpv does without that connection.
    std::signal(SIGPIPE, SIG_IGN);
#ifdef __GLIBC__
    // Each core decodes on threads of its own, and the C library gives threads allocation arenas of their
    // own (up to eight a processor), each keeping the frame buffers its threads freed for threads to come:
    // four panes switched for ten minutes held 380 MB against the 200 MB four playing panes need. Four
    // arenas shared by every thread hand what one core freed to the next, and what closed cores left free
    // is given back once a switch has settled (trimLater). Two arenas kept memory lower still, but four
    // heard panes then spent 5 % more CPU waiting on the arenas' locks and merging their free blocks.
    // (Mapping frame-sized blocks on their own instead gives more back but makes every load fault in fresh
    // pages, 30-50 ms more to switch playlists; so would trimming at once, as the new cores fill.)
    mallopt(M_ARENA_MAX, MallocArenas);
#endif
    // Without pictures there is nothing to draw and no window system to ask.
    if (!options_.drawingPath)
        options_.drawingPath =
            options_.movie.video == MpvVideoOutput::Null ? DrawingPath::Software : detectDrawingPath();
    if (options_.movie.video != MpvVideoOutput::Null)
        options_.movie.video =
            *options_.drawingPath == DrawingPath::OpenGL ? MpvVideoOutput::OpenGL : MpvVideoOutput::Software;
    options_.movie.workers = workers_;
    warmHandles_ = std::make_unique<MpvHandlePool>(options_.movie, WarmHandleCount);
}

MpvMovieEngine::~MpvMovieEngine()
{
    {
        std::lock_guard lock(relay_->mutex);
        relay_->engine = nullptr;
    }
    if (!shutDown(ShutdownWait))
        qCWarning(lcEngine) << workers_->runningCount() << "mpv cores did not shut down in time";
}

bool MpvMovieEngine::shutDown(std::chrono::milliseconds timeout)
{
    if (options_.scheduler) {
        options_.scheduler->cancel(refill_);
        options_.scheduler->cancel(trim_);
    }
    // opens still under way give up at once
    for (auto& [id, opening] : openings_) {
        if (opening.wait)
            opening.wait->cancel();
    }
    openings_.clear();
    prepared_.clear();
    warmHandles_.reset();
    return workers_->waitForDone(timeout);
}

bool MpvMovieEngine::readableMovieFile(const QString& path)
{
    const fileNames::Facts file = fileNames::facts(path);
    return !path.isEmpty() && file.isFile && file.size > 0 && fileNames::opensForReading(path);
}

std::function<bool(const QString& path)> MpvMovieEngine::fileCheck() const
{
    return options_.fileCheck ? options_.fileCheck : &readableMovieFile;
}

bool MpvMovieEngine::canInitWithFile(const QString& path) const
{
    return fileCheck()(path);
}

MpvCorePtr MpvMovieEngine::Preparation::take(const MpvOpenWait& wait)
{
    std::unique_lock lock(mutex);
    // the open's cancel does not wake this wait: it looks now and then
    while (!done && !wait.cancelled())
        finished.wait_for(lock, std::chrono::milliseconds(50));
    return done && !wait.cancelled() ? std::move(core) : nullptr;
}

quint64 MpvMovieEngine::openMovie(const QString& path, MovieOpened done)
{
    const quint64 id = ++lastOpening_;
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    const auto prepared = std::find_if(prepared_.begin(), prepared_.end(),
                                       [&](const auto& entry) { return entry.first == absolutePath; });
    std::shared_ptr<Preparation> preparation;
    MpvCorePtr core;
    if (prepared != prepared_.end()) {
        preparation = std::move(prepared->second);
        prepared_.erase(prepared);
    } else {
        core = warmHandles_ ? warmHandles_->take() : nullptr;
        refillLater();
    }
    openOnWorker(
        id, std::move(done), std::move(core),
        [path, options = optionsForLoad(), preparation, check = fileCheck()](MpvCorePtr warm,
                                                                             MpvOpenWait& wait) {
            // a folder is the pane's to list as a recording
            if (fileNames::facts(path).isFolder)
                return MpvOpenResult{nullptr, QStringLiteral("%1: a folder").arg(path), true};
            if (!check(path))
                return MpvOpenResult{nullptr, QStringLiteral("%1: not a readable movie file").arg(path)};
            bool loading = false;
            if (preparation) {
                // one that could not load it leaves the open a core of its own to start
                warm = preparation->take(wait);
                loading = warm != nullptr;
            }
            return MpvMovieOpener::openWithoutEvents(path, options, std::move(warm), loading, wait);
        });
    return id;
}

quint64 MpvMovieEngine::openRecording(const Recording& recording, MovieOpened done)
{
    const quint64 id = ++lastOpening_;
    MpvCorePtr core = warmHandles_ ? warmHandles_->take() : nullptr;
    refillLater();
    openOnWorker(id, std::move(done), std::move(core),
                 [recording, options = optionsForLoad()](MpvCorePtr warm, MpvOpenWait& wait) {
                     return MpvMovieOpener::openRecordingWithoutEvents(recording, options, std::move(warm), wait);
                 });
    return id;
}

void MpvMovieEngine::openOnWorker(quint64 id, MovieOpened done, MpvCorePtr core, OpenTask task)
{
    auto wait = std::make_shared<MpvOpenWait>();
    openings_[id] = {std::move(done), wait};
    // shared: a worker's task is copied
    auto given = std::make_shared<MpvCorePtr>(std::move(core));
    // The wait for mpv happens on a worker, so that a slow disk or a network folder holds up no window; the
    // movie is then handed to this thread with the answer.
    workers_->run([relay = relay_, id, given, task = std::move(task), wait, home = thread()] {
        MpvOpenResult opened = task(std::move(*given), *wait);
        std::lock_guard lock(relay->mutex);
        if (!relay->engine)
            return;
        if (opened.movie)
            opened.movie->moveToThread(home);
        QMetaObject::invokeMethod(
            relay->engine,
            [engine = relay->engine, id, opened = std::make_shared<MpvOpenResult>(std::move(opened))] {
                engine->finishOpening(id, std::move(*opened));
            },
            Qt::QueuedConnection);
    });
}

void MpvMovieEngine::cancelOpening(quint64 opening)
{
    const auto found = openings_.find(opening);
    if (found == openings_.end())
        return;
    if (found->second.wait)
        found->second.wait->cancel();
    openings_.erase(found);
}

void MpvMovieEngine::finishOpening(quint64 id, MpvOpenResult opened)
{
    const auto found = openings_.find(id);
    if (found == openings_.end())
        return;
    const MovieOpened done = std::move(found->second.done);
    openings_.erase(found);
    MovieOpenResult result;
    if (!opened.movie) {
        qCInfo(lcEngine).noquote() << opened.error;
        result.error = opened.error;
        result.isFolder = opened.isFolder;
        done(std::move(result));
        return;
    }
    opened.movie->hearEvents();
    relayNotifications(opened.movie.get());
    ++heldMovies_;
    connect(opened.movie.get(), &QObject::destroyed, this, [this] {
        --heldMovies_;
        trimLater();
    });
    // Panes started together start their clocks as their cores get round to it; cores starting up meanwhile
    // take the machine from them and set them a frame or two apart, so a start puts a waiting refill back.
    connect(opened.movie.get(), &Movie::rateDidChange, this, [this](Movie* movie) {
        if (movie->rate() != 0.0f && options_.scheduler && options_.scheduler->isPending(refill_))
            scheduleRefill(RefillAfterStartDelay);
    });
    result.movie = std::move(opened.movie);
    done(std::move(result));
}

MpvMovie::Options MpvMovieEngine::optionsForLoad() const
{
    // A playlist's switch names its panes; a lone open either fills a pane or replaces a pane's movie, which
    // the engine cannot tell apart, so it counts the movies held or opening, whichever are more. Replacing
    // a movie then keeps the pane's share, and filling a pane beside others gives it one decoder thread too
    // many rather than one too few. Decoders already playing keep theirs: restarting one is a visible hitch.
    const int opening = static_cast<int>(openings_.size()) + 1;
    const int panes = preparedPanes_ > 0 ? preparedPanes_ : std::max(heldMovies_, opening);
    MpvMovie::Options options = options_.movie;
    options.decoderThreads = std::max(1, QThread::idealThreadCount() / std::max(1, panes));
    return options;
}

void MpvMovieEngine::prepareMovies(const QStringList& paths)
{
    // Whether each is a movie file is found out on a worker with its load: a file is never looked at here.
    preparedPanes_ = static_cast<int>(
        std::count_if(paths.cbegin(), paths.cend(), [](const QString& path) { return !path.isEmpty(); }));
    const int decoderThreads = optionsForLoad().decoderThreads;
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        // only ready cores: starting one here would cost what preparing is meant to save
        MpvCorePtr core = warmHandles_ ? warmHandles_->take() : nullptr;
        if (!core)
            break;
        const QString absolutePath = QFileInfo(path).absoluteFilePath();
        auto preparation = std::make_shared<Preparation>();
        prepared_.emplace_back(absolutePath, preparation);
        // shared: a worker's task is copied
        workers_->run([preparation, absolutePath, decoderThreads, check = fileCheck(),
                       given = std::make_shared<MpvCorePtr>(std::move(core))] {
            MpvCorePtr loading = std::move(*given);
            QString error;
            if (!check(absolutePath) ||
                !MpvMovieOpener::startLoading(loading->handle(), absolutePath, decoderThreads, &error))
                loading.reset();
            std::lock_guard lock(preparation->mutex);
            preparation->core = std::move(loading);
            preparation->done = true;
            preparation->finished.notify_all();
        });
    }
    refillLater();
}

void MpvMovieEngine::refillLater()
{
    if (!warmHandles_)
        return;
    if (!options_.scheduler) {
        warmHandles_->refill();
        return;
    }
    // One refill after the last of a playlist's opens.
    scheduleRefill(RefillDelay);
}

void MpvMovieEngine::scheduleRefill(std::chrono::milliseconds delay)
{
    options_.scheduler->cancel(refill_);
    refill_ = options_.scheduler->scheduleAfter(delay, [this] {
        refill_ = Scheduler::NoTask;
        if (warmHandles_)
            warmHandles_->refill();
    });
}

void MpvMovieEngine::trimLater()
{
#ifdef __GLIBC__
    if (!options_.scheduler)
        return;
    options_.scheduler->cancel(trim_);
    trim_ = options_.scheduler->scheduleAfter(TrimDelay, [this] {
        trim_ = Scheduler::NoTask;
        // It walks every arena under its lock: not on the GUI thread.
        workers_->run([] { malloc_trim(0); });
    });
#endif
}

void MpvMovieEngine::discardPreparedMovies()
{
    prepared_.clear();
    preparedPanes_ = 0;
}

MovieView* MpvMovieEngine::createMovieView(QWidget* parent)
{
    return new MpvMovieView(drawingPath(), &pacer_, parent);
}

bool MpvMovieEngine::hasGraphicsDevice(const QString& devices)
{
    // A DRM device of a GPU (Mesa's drivers and NVIDIA's with its kernel modesetting), or NVIDIA's own.
    const QDir dri(devices + QStringLiteral("/dri"));
    const QDir dev(devices);
    return !dri.entryList({QStringLiteral("card*"), QStringLiteral("renderD*")}, QDir::System | QDir::Files)
                .isEmpty() ||
           !dev.entryList({QStringLiteral("nvidia[0-9]*")}, QDir::System | QDir::Files).isEmpty();
}

DrawingPath MpvMovieEngine::detectDrawingPath()
{
    const QString platform = QGuiApplication::platformName();
    // A QOpenGLWidget crashes without a window system.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return DrawingPath::Software;

    // Without a GPU's device OpenGL can only be Mesa's CPU renderer, and finding that out by making a
    // context loads it with LLVM, which stays: 50 MB of memory for the rest of the run.
    if (!hasGraphicsDevice(QStringLiteral("/dev")))
        return DrawingPath::Software;

    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface))
        return DrawingPath::Software;
    const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QString name = QString::fromLatin1(renderer ? renderer : "").toLower();
    context.doneCurrent();
    qCInfo(lcEngine) << "OpenGL renderer:" << name;
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software"}) {
        if (name.contains(QLatin1String(software)))
            return DrawingPath::Software;
    }
    return name.isEmpty() ? DrawingPath::Software : DrawingPath::OpenGL;
}

} // namespace tetrapan
