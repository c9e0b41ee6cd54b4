#include "ChildProgram.h"

#include "BenchSupport.h"
#include "FrameBarcode.h"

#include "shell/MediaControls.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

namespace tetrapan::bench {

namespace {

constexpr int CallTimeoutMs = 20000;
constexpr int LookIntervalMs = 100;

} // namespace

bool allRead(const RecordingScreen::Frames& frames)
{
    return std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); });
}

ChildBench::ChildBench(const char* name, int& argc, char** argv) : name_(name)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !display_.start())
        std::fprintf(stderr, "%s: no display and Xvfb could not be started\n", name_);
    qputenv("QT_QPA_PLATFORM", "xcb");
    app_.emplace(argc, argv);
}

bool ChildBench::ready()
{
    x_.emplace();
    clips_ = test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    bus_.emplace();
    if (!x_->isConnected() || !clips_->ok() || bus_->address().isEmpty()) {
        std::fprintf(stderr, "%s: no X server, session bus or clips: %s\n", name_, qPrintable(clips_->error));
        return false;
    }
    std::fprintf(stderr, "%s: load average %.2f\n", name_, loadAverage());
    return true;
}

const QRect ChildProgram::MainWindow(0, 0, 1280, 720);

ChildProgram::ChildProgram(ChildBench& bench) : bench_(bench) {}

ChildProgram::~ChildProgram()
{
    if (outside_.process && !outside_.process->quit())
        std::fprintf(stderr, "%s: the program did not quit cleanly\n", bench_.name());
}

bool ChildProgram::start(const QList<test::PlaylistFiles>& playlists, const QVariantMap& settings,
                         const std::map<int, QString>& entryAttributes)
{
    if (!startOutside(outside_, bench_.bus(), playlists, MainWindow, settings, entryAttributes)) {
        std::fprintf(stderr, "%s: the program's main window never showed; it wrote:\n%s\n", bench_.name(),
                     outside_.process ? outside_.process->errors().right(2000).constData() : "");
        return false;
    }
    screen_.emplace(bench_.x(), outside_.main.geometry);
    controls_.emplace(QDBusConnection::connectToBus(bench_.bus(), QStringLiteral("bench-%1").arg(pid())));
    return true;
}

bool ChildProgram::action(const char* name, int viewNo)
{
    const bool done = bench::action(outside_, name, viewNo);
    if (!done)
        std::fprintf(stderr, "%s: --action %s was not carried out\n", bench_.name(), name);
    return done;
}

bool ChildProgram::key(const char* keys)
{
    outside_.process->x.focus(outside_.main);
    runEventsFor(50);
    return test::usePointer({QStringLiteral("key"), QLatin1String(keys)});
}

bool ChildProgram::control(const char* method)
{
    const QDBusMessage message =
        QDBusMessage::createMethodCall(MediaControls::ServiceName, MediaControls::ObjectPath,
                                       MediaControls::PlayerInterface, QLatin1String(method));
    return controls_->call(message, QDBus::Block, CallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

QString ChildProgram::playbackStatus()
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        MediaControls::ServiceName, MediaControls::ObjectPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({MediaControls::PlayerInterface, QStringLiteral("PlaybackStatus")});
    const QDBusMessage reply = controls_->call(message, QDBus::Block, CallTimeoutMs);
    return reply.arguments().isEmpty()
               ? QString()
               : reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
}

qint64 ChildProgram::droppedSince(qsizetype said)
{
    return droppedInStopLines(outside_.process->errors(), said);
}

bool ChildProgram::findPictures(int timeoutMs)
{
    if (runEventsUntil([&] { return screen_->findPictures(screen_->shot()); }, timeoutMs))
        return true;
    const QString saved =
        QDir::temp().filePath(QStringLiteral("%1-bench.png").arg(QLatin1String(bench_.name())));
    screen_->shot().save(saved);
    std::fprintf(stderr, "%s: four pictures are not to be found on the screen (%s)\n", bench_.name(),
                 qPrintable(saved));
    return false;
}

RecordingScreen::Frames ChildProgram::bands()
{
    RecordingScreen::Frames frames;
    for (int n = 1; n <= 4; ++n) {
        const QRect band = test::FrameBarcode::bandRect(screen_->picture(n));
        // the band and, a few rows below it, a row of the picture
        const QImage area = bench_.x().grab(band.adjusted(0, 0, 0, band.height() / 2 + 3));
        if (area.height() < band.height() + 3)
            continue;
        if (showsBars(area.copy(0, area.height() - 1, area.width(), 1)))
            frames[n - 1] = test::FrameBarcode::readBand(area.copy(0, 0, band.width(), band.height()));
    }
    return frames;
}

bool ChildProgram::untilPlaying(int timeoutMs)
{
    // pane 1's picture moving on in three looks in a row: a seek's one jump is not playing
    std::optional<int> last;
    int steps = 0;
    return runEventsUntil(
        [&] {
            runEventsFor(LookIntervalMs);
            const auto frame = bands()[0];
            steps = frame && last && *frame > *last ? steps + 1 : 0;
            last = frame;
            return steps >= 3;
        },
        timeoutMs);
}

} // namespace tetrapan::bench
