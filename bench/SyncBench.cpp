// tetrapan-bench sync: how long switching playlists takes until four 720p panes show their first frames,
// and how far apart the four panes stand right after Sync and after playing together for 30 s.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "VirtualDisplay.h"

#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int Switches = 5;
constexpr int PlayTogetherSeconds = 30;
constexpr int TimeoutMs = 20000;



// Runs events until the condition holds; false when it did not within the timeout.
bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs = TimeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}


// The application's scheduler, noting the moment the playlist load delay runs out.
class TimingScheduler final : public Scheduler {
public:
    QElapsedTimer clock;
    qint64 loadFiredAtNs = -1;

    TimingScheduler() { clock.start(); }
    TaskId scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task) override
    {
        if (delay == MovController::ChangeDelay) {
            task = [this, task = std::move(task)] {
                loadFiredAtNs = clock.nsecsElapsed();
                task();
            };
        }
        return inner_.scheduleAfter(delay, std::move(task));
    }
    TaskId scheduleRepeating(std::chrono::milliseconds interval, std::function<void()> task) override
    {
        return inner_.scheduleRepeating(interval, std::move(task));
    }
    void cancel(TaskId id) override { inner_.cancel(id); }
    bool isPending(TaskId id) const override { return inner_.isPending(id); }

private:
    QtScheduler inner_;
};

// What the X server shows at a point of the pane: what the user sees, read without drawing anything again.
QColor shownAt(QTMovieSubView& pane)
{
    QWidget* top = pane.window();
    const QPoint at = pane.mapTo(top, QPoint(pane.width() * 2 / 3, pane.height() / 3));
    const QImage shot = top->screen()->grabWindow(top->winId(), at.x(), at.y(), 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
}

bool near(QColor a, QColor b)
{
    constexpr int Tolerance = 48;
    return qAbs(a.red() - b.red()) <= Tolerance && qAbs(a.green() - b.green()) <= Tolerance &&
           qAbs(a.blue() - b.blue()) <= Tolerance;
}

bool isBlack(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) < 40;
}

const std::array<QColor, 4> Colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                    QColor(255, 255, 0)};

bool makeClips(const QString& folder, QString* longClip)
{
    QProcess clips;
    clips.setProcessChannelMode(QProcess::ForwardedChannels);
    clips.start(QStringLiteral("bash"),
                {QStringLiteral(TETRAPAN_SOURCE_DIR "/scripts/make-test-clips.sh"), folder});
    if (!clips.waitForFinished(600000) || clips.exitCode() != 0)
        return false;
    // Long enough to play together for the whole measurement without any pane starting over.
    *longClip = QDir(folder).filePath(QStringLiteral("bench-720p-40s-sound.mp4"));
    if (QFileInfo(*longClip).size() > 0)
        return true;
    const QString partial = *longClip + QStringLiteral(".part.mp4");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    // With sound, as every clip the panes play: the engine opens a file by starting to play it.
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin",  "-loglevel", "error",   "-y",
                  "-f",        "lavfi",     "-i",      "testsrc2=s=1280x720:r=30:d=40",
                  "-f",        "lavfi",     "-i",      "sine=frequency=440:sample_rate=48000:duration=40",
                  "-c:v",      "libx264",   "-preset", "ultrafast",
                  "-pix_fmt",  "yuv420p",   "-g",      "60",
                  "-c:a",      "aac",       "-b:a",    "64k",
                  "-shortest", partial});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return false;
    return QFile::rename(partial, *longClip);
}

ObjectId makePlaylist(ObjectContext& context, SettingsDomain& settings, const QString& title,
                      const std::array<QString, 4>& files)
{
    const ObjectId node = LibraryRules::createNode(context, settings, false);
    context.setValue(node, LibrarySchema::Title, title);
    LibraryRules::placeNode(context, node, NoObject);
    for (int n = 1; n <= 4; ++n) {
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
        context.setValue(entry, LibrarySchema::ViewNo, n);
        context.setValue(entry, LibrarySchema::FilePath, files[n - 1]);
    }
    return node;
}

// Max minus min of the four panes' positions, in milliseconds.
double spreadMs(MainNib& nib)
{
    std::array<double, 4> seconds{};
    for (int n = 1; n <= 4; ++n)
        seconds[n - 1] = nib.qtView(n).movie()->currentTime().seconds();
    std::fprintf(stderr, "sync: positions %.3f %.3f %.3f %.3f s\n", seconds[0], seconds[1], seconds[2],
                 seconds[3]);
    const auto [low, high] = std::minmax_element(seconds.begin(), seconds.end());
    return (*high - *low) * 1000.0;
}

bool anySeeking(MainNib& nib)
{
    for (int n = 1; n <= 4; ++n) {
        if (auto* movie = qobject_cast<MpvMovie*>(nib.qtView(n).movie()); movie && movie->isSeeking())
            return true;
    }
    return false;
}

} // namespace

int runSync(int argc, char** argv)
{
    // The application keeps its library and settings in the user's folders; the benchmark gets its own.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "sync: no display and Xvfb could not be started\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    const QString clipFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/clips");
    QString benchClip;
    if (!makeClips(clipFolder, &benchClip)) {
        std::fprintf(stderr, "sync: the clips could not be made\n");
        return 1;
    }
    const QDir dir(clipFolder);

    SettingsDomain settings(SettingsDomain::standardFilePath());
    Tetrapan_AppDelegate::setupDefaults(settings);
    TimingScheduler scheduler;
    MessageBoxPresenter dialogs;
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true;
    MpvMovieEngine engine(options);
    std::fprintf(stderr, "sync: drawing path %s\n",
                 engine.drawingPath() == DrawingPath::OpenGL ? "OpenGL" : "software");

    MainNib nib({settings, scheduler, dialogs, engine});
    MainWindow& window = nib.mainWindow();
    window.resize(1280, 720);
    window.show();
    runEventsFor(500); // mapped and exposed

    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId colours = makePlaylist(context, settings, QStringLiteral("Colours"),
                                          {dir.filePath("red.mp4"), dir.filePath("green.mp4"),
                                           dir.filePath("blue.mp4"), dir.filePath("yellow.mp4")});
    const ObjectId bench =
        makePlaylist(context, settings, QStringLiteral("720p"), {benchClip, benchClip, benchClip, benchClip});
    MovController& controller = nib.movController();
    const auto choose = [&](ObjectId node) {
        controller.setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
    };

    std::vector<double> latencies;
    std::vector<double> loading;
    QObject::connect(&controller, &MovController::allMovieViewsChanged, &controller, [&] {
        if (scheduler.loadFiredAtNs >= 0)
            loading.push_back((scheduler.clock.nsecsElapsed() - scheduler.loadFiredAtNs) / 1e6);
    });
    for (int i = 0; i < Switches; ++i) {
        choose(colours);
        const bool coloursShown = runEventsUntil([&] {
            for (int n = 1; n <= 4; ++n) {
                if (!near(shownAt(nib.qtView(n)), Colours[n - 1]))
                    return false;
            }
            return true;
        });
        if (!coloursShown) {
            std::fprintf(stderr, "sync: the colour clips never showed\n");
            return 1;
        }
        scheduler.loadFiredAtNs = -1;
        choose(bench);
        std::array<qint64, 4> shownAtNs{-1, -1, -1, -1};
        const bool benchShown = runEventsUntil([&] {
            if (scheduler.loadFiredAtNs < 0)
                return false;
            bool all = true;
            for (int n = 1; n <= 4; ++n) {
                if (shownAtNs[n - 1] >= 0)
                    continue;
                const QColor seen = shownAt(nib.qtView(n));
                if (!isBlack(seen) && !near(seen, Colours[n - 1]))
                    shownAtNs[n - 1] = scheduler.clock.nsecsElapsed();
                else
                    all = false;
            }
            return all;
        });
        if (!benchShown) {
            std::fprintf(stderr, "sync: the 720p clips never showed\n");
            for (int n = 1; n <= 4; ++n) {
                const QColor seen = shownAt(nib.qtView(n));
                std::fprintf(stderr, "  pane %d shows rgb(%d, %d, %d), %s\n", n, seen.red(), seen.green(),
                             seen.blue(), qPrintable(nib.qtView(n).filePath()));
            }
            return 1;
        }
        const qint64 last = *std::max_element(shownAtNs.begin(), shownAtNs.end());
        latencies.push_back((last - scheduler.loadFiredAtNs) / 1e6);
    }
    // How much of the switch the panes spend opening their files, the rest being the first frames' way out.
    std::fprintf(stderr, "sync: opening four files takes %.1f ms of the switch\n", median(loading));
    print("switch.latency_ms", median(latencies), "ms", 1);

    // The 720p playlist is loaded: play, let the panes run apart, then bring them together.
    controller.changeAllMoviePlay();
    runEventsFor(3000);
    controller.syncAllMovieTime();
    if (!runEventsUntil([&] { return !anySeeking(nib); })) {
        std::fprintf(stderr, "sync: the panes never reached the synchronised position\n");
        return 1;
    }
    print("sync.spread_after_sync_ms", spreadMs(nib), "ms", 1);

    if (!runEventsUntil([&] { return controller.anyMovieIsPlaying(); })) {
        std::fprintf(stderr, "sync: the panes never resumed\n");
        return 1;
    }
    runEventsFor(PlayTogetherSeconds * 1000);
    print("sync.spread_after_30s_ms", spreadMs(nib), "ms", 1);
    controller.setAllMoviePlay(false);
    return 0;
}

} // namespace tetrapan::bench
