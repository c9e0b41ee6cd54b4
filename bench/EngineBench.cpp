// tetrapan-bench engine: how fast movies open, and what four playing panes cost next to plain mpv.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "VirtualDisplay.h"

#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "panes/QTMovieSubView.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/DesktopFileViewer.h"
#include "shell/MessageBoxPresenter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int PlaySeconds = 10;
constexpr int OpenRepeats = 7;
const QSize PaneSize(640, 360);

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}




struct Panes {
    QtScheduler scheduler;
    MessageBoxPresenter dialogs;
    DesktopFileViewer fileViewer;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    std::array<QTMovieSubView*, 4> panes{};

    Panes(MovieEngine& engine, SettingsDomain& settings)
    {
        auto* grid = new QGridLayout(window.get());
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1] = new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, window.get());
            panes[n - 1]->setViewNo(n);
            panes[n - 1]->awakeFromNib();
            grid->addWidget(panes[n - 1], (n - 1) % 2, (n - 1) / 2);
        }
        window->resize(PaneSize * 2);
        window->show();
        runEventsFor(300); // mapped and exposed
    }
};

struct PlayResult {
    double cpuSeconds = 0;
    qint64 dropped = 0;
};

PlayResult playFourPanes(MovieEngine& engine, SettingsDomain& settings, const QString& clip)
{
    Panes panes(engine, settings);
    for (QTMovieSubView* pane : panes.panes)
        pane->createMovieView(clip);
    runEventsFor(500); // first frames on show before the clock starts
    const double before = cpuSeconds(RUSAGE_SELF);
    for (QTMovieSubView* pane : panes.panes)
        pane->playMovie();
    runEventsFor(PlaySeconds * 1000 - 200); // the clips are PlaySeconds long; stop just before their end
    PlayResult result;
    result.cpuSeconds = cpuSeconds(RUSAGE_SELF) - before;
    for (QTMovieSubView* pane : panes.panes) {
        if (auto* movie = qobject_cast<MpvMovie*>(pane->movie()))
            result.dropped += movie->droppedFrameCount();
        pane->stopMovie();
    }
    return result;
}

// Four mpv players side by side on the same display with the video output that matches the panes' path.
double playFourMpv(const QString& clip, DrawingPath path)
{
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    std::vector<std::unique_ptr<QProcess>> players;
    for (int n = 0; n < 4; ++n) {
        auto player = std::make_unique<QProcess>();
        const QString geometry = QStringLiteral("%1x%2+%3+%4")
                                     .arg(PaneSize.width())
                                     .arg(PaneSize.height())
                                     .arg((n / 2) * PaneSize.width())
                                     .arg((n % 2) * PaneSize.height());
        player->start(QStringLiteral("mpv"),
                      {"--no-config", "--really-quiet", "--no-osc", "--ao=null", "--hwdec=auto-safe",
                       path == DrawingPath::Software ? "--vo=x11" : "--vo=gpu", "--no-border",
                       "--geometry=" + geometry, QStringLiteral("--length=%1").arg(PlaySeconds - 0.2), clip});
        players.push_back(std::move(player));
    }
    for (auto& player : players)
        player->waitForFinished((PlaySeconds + 20) * 1000);
    return cpuSeconds(RUSAGE_CHILDREN) - before;
}

} // namespace

int runEngine(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "engine: no display and Xvfb could not be started\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    const QString clipFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/clips");
    QProcess clips;
    clips.setProcessChannelMode(QProcess::ForwardedChannels);
    clips.start(QStringLiteral("bash"),
                {QStringLiteral(TETRAPAN_SOURCE_DIR "/scripts/make-test-clips.sh"), clipFolder, "--bench"});
    if (!clips.waitForFinished(600000) || clips.exitCode() != 0) {
        std::fprintf(stderr, "engine: make-test-clips.sh failed\n");
        return 1;
    }
    const QDir dir(clipFolder);
    const QStringList colours{dir.filePath("red.mp4"), dir.filePath("green.mp4"), dir.filePath("blue.mp4"),
                              dir.filePath("yellow.mp4")};

    QTemporaryDir home;
    SettingsDomain settings(home.filePath(QStringLiteral("Tetrapan.json")));
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true; // the mpv players get no sound either
    MpvMovieEngine engine(options);
    std::fprintf(stderr, "engine: drawing path %s\n",
                 engine.drawingPath() == DrawingPath::OpenGL ? "OpenGL" : "software");

    {
        Panes panes(engine, settings);
        std::vector<double> one;
        std::vector<double> four;
        for (int i = 0; i < OpenRepeats; ++i) {
            QElapsedTimer timer;
            timer.start();
            panes.panes[0]->createMovieView(colours[i % 4]);
            one.push_back(timer.nsecsElapsed() / 1e6);
            for (QTMovieSubView* pane : panes.panes)
                pane->clearMovieView();
            timer.restart();
            for (int n = 0; n < 4; ++n)
                panes.panes[n]->createMovieView(colours[n]);
            four.push_back(timer.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
            for (QTMovieSubView* pane : panes.panes)
                pane->clearMovieView();
        }
        print("engine.open_one_ms", median(one), "ms");
        print("engine.open_four_ms", median(four), "ms");
    }

    for (const auto& [size, file] : {std::pair{"720p", "bench-720p.mp4"}, std::pair{"1080p", "bench-1080p.mp4"}}) {
        const QString clip = dir.filePath(QLatin1String(file));
        const PlayResult ours = playFourPanes(engine, settings, clip);
        const double theirs = playFourMpv(clip, engine.drawingPath());
        std::fprintf(stderr, "engine: %s ours %.2f s CPU, mpv %.2f s CPU\n", size, ours.cpuSeconds, theirs);
        print(qPrintable(QStringLiteral("engine.play4_%1_cpu_ratio_vs_mpv").arg(QLatin1String(size))),
              theirs > 0 ? ours.cpuSeconds / theirs : 0.0, "x");
        print(qPrintable(QStringLiteral("engine.play4_%1_dropped").arg(QLatin1String(size))),
              static_cast<double>(ours.dropped), "frames");
    }
    return 0;
}

} // namespace tetrapan::bench
