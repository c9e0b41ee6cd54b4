#include "OutsideProgram.h"

#include "BenchSupport.h"

#include "shell/MediaControls.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace tetrapan::bench {

namespace {

constexpr int CallTimeoutMs = 30000;
constexpr int ShowTimeoutMs = 30000;
constexpr int AskEveryMs = 5;

QString rectText(const QRect& r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool runTool(const QStringList& arguments)
{
    QProcess tool;
    test::startTool(tool, QStringLiteral("xdotool"), arguments);
    return runEventsUntil([&] { return tool.state() == QProcess::NotRunning; }, 10000) &&
           tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

} // namespace

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan");
}

PlayerControls::PlayerControls(const QString& busAddress)
    : bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("bench-%1").arg(busAddress.size())))
{
}

QDBusMessage PlayerControls::call(const QString& method, const QVariantList& arguments,
                                  const QString& interface)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        MediaControls::ServiceName, MediaControls::ObjectPath,
        interface.isEmpty() ? MediaControls::PlayerInterface : interface, method);
    message.setArguments(arguments);
    return bus_.call(message, QDBus::Block, CallTimeoutMs);
}

QVariant PlayerControls::property(const QString& name)
{
    const QDBusMessage reply = call(QStringLiteral("Get"), {MediaControls::PlayerInterface, name},
                                    QStringLiteral("org.freedesktop.DBus.Properties"));
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments().constFirst().value<QDBusVariant>().variant();
}

void PlayerControls::moveTo(double seconds)
{
    const QVariantMap metadata = qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")));
    call(QStringLiteral("SetPosition"),
         {QVariant::fromValue(metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>()),
          qint64(seconds * 1e6)});
}

double PlayerControls::longestGuiWait(const std::function<bool()>& done, int timeoutMs, int lookEveryMs)
{
    double longest = 0;
    longestAtMs_ = 0;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceLook;
    sinceLook.start();
    while (clock.elapsed() < timeoutMs) {
        const double askedAt = clock.nsecsElapsed() / 1e6;
        property(QStringLiteral("PlaybackStatus"));
        const double waited = clock.nsecsElapsed() / 1e6 - askedAt;
        if (waited > longest) {
            longest = waited;
            longestAtMs_ = askedAt;
        }
        if (sinceLook.elapsed() >= lookEveryMs) {
            sinceLook.restart();
            if (done())
                break;
        }
        runEventsFor(AskEveryMs);
    }
    return longest;
}

bool startOutside(Outside& s, const QString& bus, const QString& title, const QStringList& files,
                  const QRect& window, const QVariantMap& settings,
                  const std::map<int, QString>& entryAttributes)
{
    return startOutside(s, bus, {{title, files}}, window, settings, entryAttributes);
}

bool startOutside(Outside& s, const QString& bus, const QList<test::PlaylistFiles>& playlists,
                  const QRect& window, const QVariantMap& settings,
                  const std::map<int, QString>& entryAttributes)
{
    s.bus = bus;
    if (playlists.isEmpty() || !test::writeLibrary(s.home, playlists, false))
        return false;
    QJsonObject stored = QJsonDocument::fromJson(test::readAll(s.home.settingsFile())).object();
    stored.insert(QStringLiteral("rectWindowMain"), rectText(window));
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        stored.insert(it.key(), QJsonValue::fromVariant(it.value()));
    QByteArray library = test::readAll(s.home.libraryFile());
    for (const auto& [viewNo, attributes] : entryAttributes) {
        const QByteArray pane = QStringLiteral("viewNo=\"%1\"").arg(viewNo).toUtf8();
        library.replace(pane, pane + ' ' + attributes.toUtf8());
    }
    if (!test::writeAll(s.home.settingsFile(), QJsonDocument(stored).toJson()) ||
        !test::writeAll(s.home.libraryFile(), library))
        return false;
    s.process = std::make_unique<test::ProgramProcess>(programPath(), s.home, bus);
    s.process->environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // each movie tells on stopping how many frames it dropped
    s.process->environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                                  QStringLiteral("tetrapan.engine.frames.debug=true"));
    if (!s.process->start())
        return false;
    s.main = s.process->window(playlists.constFirst().title, ShowTimeoutMs);
    return s.main.id != XCB_WINDOW_NONE;
}

bool action(const Outside& s, const char* name, int viewNo)
{
    test::ProgramProcess command(programPath(), s.home, s.bus);
    QStringList arguments{QStringLiteral("--action"), QLatin1String(name)};
    if (viewNo > 0)
        arguments << QStringLiteral("--pane") << QString::number(viewNo);
    return command.start(arguments) && command.finished() == 0;
}

qint64 droppedInStopLines(const QByteArray& errors, qsizetype from, const QString& leaveOut)
{
    static const QRegularExpression line(QStringLiteral("stopped (.*): dropped (\\d+)"));
    qint64 dropped = 0;
    auto lines = line.globalMatch(QString::fromUtf8(errors.mid(from)));
    while (lines.hasNext()) {
        const QRegularExpressionMatch stop = lines.next();
        QString file = stop.captured(1);
        if (file.startsWith(QLatin1Char('"'))) // the debug stream quotes a string
            file = file.mid(1, file.size() - 2);
        if (leaveOut.isEmpty() || file != leaveOut)
            dropped += stop.captured(2).toLongLong();
    }
    return dropped;
}

std::optional<QString> savedEntryAttribute(const QString& libraryFile, int viewNo, const QString& name)
{
    const QRegularExpression entry(
        QStringLiteral("<filelist (?=[^>]*viewNo=\"%1\")[^>]*\\b%2=\"([^\"]*)\"").arg(viewNo).arg(name));
    const QRegularExpressionMatch found = entry.match(QString::fromUtf8(test::readAll(libraryFile)));
    return found.hasMatch() ? std::optional<QString>(found.captured(1)) : std::nullopt;
}

bool typeText(const QString& text)
{
    return runTool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), text});
}

bool pressKeys(const QStringList& keys)
{
    return runTool(QStringList{QStringLiteral("key")} + keys);
}

} // namespace tetrapan::bench
