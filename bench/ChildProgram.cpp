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

constexpr int ShowTimeoutMs = 30000;
constexpr int CallTimeoutMs = 20000;
constexpr int LookIntervalMs = 100;

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan");
}

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
    if (process_ && !process_->quit())
        std::fprintf(stderr, "%s: the program did not quit cleanly\n", bench_.name());
}

bool ChildProgram::start(const QList<test::PlaylistFiles>& playlists, const QVariantMap& settings,
                         const std::map<int, QString>& entryAttributes)
{
    if (!test::writeLibrary(home_, playlists, false))
        return false;
    QJsonObject stored = QJsonDocument::fromJson(test::readAll(home_.settingsFile())).object();
    stored.insert(QStringLiteral("rectWindowMain"), QStringLiteral("{{%1, %2}, {%3, %4}}")
                                                        .arg(MainWindow.x())
                                                        .arg(MainWindow.y())
                                                        .arg(MainWindow.width())
                                                        .arg(MainWindow.height()));
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        stored.insert(it.key(), QJsonValue::fromVariant(it.value()));
    QByteArray library = test::readAll(home_.libraryFile());
    for (const auto& [viewNo, attributes] : entryAttributes) {
        const QByteArray pane = QStringLiteral("viewNo=\"%1\"").arg(viewNo).toUtf8();
        library.replace(pane, pane + ' ' + attributes.toUtf8());
    }
    if (!test::writeAll(home_.settingsFile(), QJsonDocument(stored).toJson()) ||
        !test::writeAll(home_.libraryFile(), library))
        return false;
    process_ = std::make_unique<test::ProgramProcess>(programPath(), home_, bench_.bus());
    process_->environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // each movie tells on stopping how many frames it dropped
    process_->environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                                 QStringLiteral("tetrapan.engine.frames.debug=true"));
    if (!process_->start())
        return false;
    main_ = process_->window(playlists.constFirst().title, ShowTimeoutMs);
    if (main_.id == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "%s: the program's main window never showed; it wrote:\n%s\n", bench_.name(),
                     process_->errors().right(2000).constData());
        return false;
    }
    screen_.emplace(bench_.x(), main_.geometry);
    controls_.emplace(QDBusConnection::connectToBus(bench_.bus(), QStringLiteral("bench-%1").arg(pid())));
    return true;
}

bool ChildProgram::action(const char* name, int viewNo)
{
    test::ProgramProcess command(programPath(), home_, bench_.bus());
    QStringList arguments{QStringLiteral("--action"), QLatin1String(name)};
    if (viewNo > 0)
        arguments << QStringLiteral("--pane") << QString::number(viewNo);
    const bool done = command.start(arguments) && command.finished() == 0;
    if (!done)
        std::fprintf(stderr, "%s: --action %s was not carried out: %s\n", bench_.name(), name,
                     command.errors().constData());
    return done;
}

bool ChildProgram::key(const char* keys)
{
    process_->x.focus(main_);
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
    static const QRegularExpression stopped(QStringLiteral("stopped .*: dropped (\\d+)"));
    qint64 dropped = 0;
    for (auto match = stopped.globalMatch(QString::fromUtf8(process_->errors().mid(said))); match.hasNext();)
        dropped += match.next().captured(1).toLongLong();
    return dropped;
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
