// The real program's commands by name on an X server: --list-actions without a display, every listed command
// sent to one running program as --action sends it (each acts or is refused with exit code 2, none crashes
// or hangs it), how soon a command sent so is carried out, and a command for a program not yet running, which
// starts and carries it out on the playlist named. A second launch finds the first on a session bus of the
// test's own. An export without a display, while another Tetrapan holds the library.
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "ProgramProcess.h"
#include "RecordingClips.h"
#include "ScreenProbe.h"
#include "TestClips.h"
#include "TestHome.h"

#include "shell/CommandKeys.h"
#include "shell/MediaControls.h"
#include "shell/SingleInstance.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

#include <sys/stat.h>

using namespace tetrapan;
using test::ProgramProcess;

namespace {

const QString Angles = QStringLiteral("Angles");
// Far beyond what a command takes: a command that holds the program up shows as a hang.
constexpr int CommandTimeoutMs = 10000;
// Far beyond what the exports of the table take on a busy machine.
constexpr int ExportTimeoutMs = 120000;

struct Sent {
    int exitCode;
    QByteArray said;
    qint64 ms;
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private:
    test::TestClips clips;
    test::RecordingClips recordings;
    // the program every command of the table goes to
    std::unique_ptr<test::SessionBus> bus;
    std::unique_ptr<test::TestHome> home;
    std::unique_ptr<ProgramProcess> app;

    static QList<QStringList> listed(const test::TestHome& on)
    {
        ProgramProcess list(on);
        list.environment.remove(QStringLiteral("DISPLAY"));
        list.environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QList<QStringList> rows;
        if (!list.start({QStringLiteral("--list-actions")}) || list.finished() != 0)
            return rows;
        for (const QByteArray& line : list.output().split('\n')) {
            if (!line.isEmpty())
                rows << QString::fromUtf8(line).split(QLatin1Char('\t'));
        }
        return rows;
    }

    Sent send(const QStringList& arguments)
    {
        ProgramProcess command(*home, bus->address());
        QElapsedTimer clock;
        clock.start();
        const bool started = command.start(arguments);
        const int code = started ? command.finished(CommandTimeoutMs) : -1;
        return {code, command.errors(), clock.elapsed()};
    }

    // The call a launch with --action makes, made straight on the bus: a program start per command would
    // take most of the table's time in starting, and the launch's own part is the same for every command.
    Sent sendOverBus(const QString& name, int viewNo)
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(SingleInstance::serviceName(), SingleInstance::ObjectPath,
                                           SingleInstance::Interface, QStringLiteral("ActivateAction"));
        QVariantList parameter;
        if (viewNo != 0)
            parameter << QVariant::fromValue(QDBusVariant(viewNo));
        call << name << QVariant::fromValue(parameter) << QVariantMap();
        QElapsedTimer clock;
        clock.start();
        const QDBusMessage reply = QDBusConnection::connectToBus(bus->address(), QStringLiteral("commands"))
                                       .call(call, QDBus::Block, CommandTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return {0, {}, clock.elapsed()};
        const bool refused = reply.errorName() == SingleInstance::RefusedError;
        return {refused ? 2 : -1,
                (refused ? reply.errorMessage() : reply.errorName() + QLatin1Char(' ') + reply.errorMessage())
                    .toUtf8(),
                clock.elapsed()};
    }

    bool startProgram(const QStringList& arguments = {})
    {
        app = std::make_unique<ProgramProcess>(*home, bus->address());
        return app->start(arguments) && app->window(Angles).id != XCB_WINDOW_NONE;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (make test runs the tests under xvfb-run)");
        clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        recordings = test::RecordingClips::makeForTests(test::RecordingClips::twoCameras());
        QVERIFY2(recordings.ok(), qPrintable(recordings.error));
        bus = std::make_unique<test::SessionBus>();
        QVERIFY(!bus->address().isEmpty());
    }

    // The list needs no display, and shows the keys the user chose; settings it cannot read are said so.
    void theListFollowsTheChosenKeys()
    {
        test::TestHome on;
        QFile settings(on.settingsFile());
        QVERIFY(QDir().mkpath(QFileInfo(on.settingsFile()).absolutePath()));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QJsonDocument(QJsonObject{{QLatin1String(CommandKeys::OptKeys),
                                                  QJsonObject{{"synchronise", "Ctrl+J"}, {"save", ""}}}})
                           .toJson());
        settings.close();
        const QList<QStringList> rows = listed(on);
        QVERIFY(rows.contains(QStringList{"synchronise", "Playback > Synchronise", "Ctrl+J"}));
        QVERIFY(rows.contains(QStringList{"save", "File > Save", ""}));
        QVERIFY(rows.contains(QStringList{"play-or-stop-all", "Playback > Play or Stop All", "Space"}));
        QVERIFY(rows.contains(QStringList{"zoom", "Pane n > Zoom", ""}));

        // settings that cannot be read (a FIFO, whose plain open would wait for ever) are said so
        QVERIFY(QFile::remove(on.settingsFile()));
        QCOMPARE(::mkfifo(QFile::encodeName(on.settingsFile()).constData(), 0600), 0);
        ProgramProcess list(on);
        list.environment.remove(QStringLiteral("DISPLAY"));
        QVERIFY(list.start({QStringLiteral("--list-actions")}));
        QCOMPARE(list.finished(), 1);
        QVERIFY2(list.errors().contains("The settings cannot be read"), list.errors().constData());
    }

    // A command for a program that does not run yet: it starts, chooses the playlist named and carries the
    // command out once that playlist is loaded; a command for the running program is carried out within
    // moments (printed); an unknown one is refused with the nearest names.
    void aCommandStartsTheProgramOrGoesToIt()
    {
        home = std::make_unique<test::TestHome>();
        QVERIFY(test::writeLibrary(*home,
                                   {{QStringLiteral("Other"), {clips.blue}},
                                    {Angles, {clips.red, clips.green, clips.blue, clips.yellow}}},
                                   false));
        QVERIFY(startProgram({QStringLiteral("--playlist"), Angles, QStringLiteral("--action"),
                              QStringLiteral("play-or-stop-all")}));
        // asked afresh each time: the program offers its media controls a moment after its window shows
        const QDBusConnection connection =
            QDBusConnection::connectToBus(bus->address(), QStringLiteral("commands"));
        const auto property = [&connection](const QString& name) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                MediaControls::ServiceName, MediaControls::ObjectPath,
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            get << MediaControls::PlayerInterface << name;
            const QDBusMessage reply = connection.call(get);
            return reply.arguments().isEmpty()
                       ? QVariant()
                       : reply.arguments().constFirst().value<QDBusVariant>().variant();
        };
        const auto status = [&property] { return property(QStringLiteral("PlaybackStatus")).toString(); };
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), ProgramProcess::WaitMs);
        const QVariantMap metadata =
            qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")).value<QDBusArgument>());
        QCOMPARE(metadata.value("xesam:title").toString(), Angles);

        QElapsedTimer clock;
        clock.start();
        ProgramProcess command(*home, bus->address());
        QVERIFY(command.start({QStringLiteral("--action"), QStringLiteral("play-or-stop-all")}));
        QVERIFY(QTest::qWaitFor([&] { return status() == QLatin1String("Paused"); }, CommandTimeoutMs));
        const qint64 carriedOut = clock.elapsed();
        QCOMPARE(command.finished(), 0);
        qInfo("--action play-or-stop-all carried out %lld ms after the call", carriedOut);

        const Sent unknown = send({QStringLiteral("--action"), QStringLiteral("plya-or-stop-all")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY2(unknown.said.contains("play-or-stop-all"), unknown.said.constData());
        // the same over the bus, as scripts call it: a reply once carried out, or the error with the reason
        QDBusInterface application(SingleInstance::serviceName(), SingleInstance::ObjectPath,
                                   SingleInstance::Interface, connection);
        const QVariantList pane2{QVariant::fromValue(QDBusVariant(2))};
        const QDBusMessage zoomed =
            application.call(QStringLiteral("ActivateAction"), QStringLiteral("zoom"), pane2, QVariantMap());
        QCOMPARE(zoomed.type(), QDBusMessage::ReplyMessage);
        const QDBusMessage refused = application.call(QStringLiteral("ActivateAction"),
                                                      QStringLiteral("zoom"), QVariantList(), QVariantMap());
        QCOMPARE(refused.errorName(), SingleInstance::RefusedError);
        QVERIFY2(refused.errorMessage().contains(QLatin1String("--pane")),
                 qPrintable(refused.errorMessage()));
        const Sent elsewhere = send({QStringLiteral("--playlist"), QStringLiteral("Nowhere")});
        QCOMPARE(elsewhere.exitCode, 2);
        QVERIFY2(elsewhere.said.contains("Nowhere"), elsewhere.said.constData());
    }

    // The playlist shown at start, or named, exported without a display while another Tetrapan holds the
    // library: a file that plays, its panes placed by the playlist's frame set and at their offsets over the
    // range of the leader's time line asked for; or a refusal in one line with its exit code. No file is left
    // by a failure, and the library and settings are as they were, to their times.
    void exportWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("settings"); // besides the playlist chosen at the last quit
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QStringList out{QStringLiteral("--export"), QStringLiteral("out/out.mp4")};
        const QStringList written =
            out + QStringList{"--size", "640x360", "--range", "0:02-0:03", "--sound", "2"};
        QTest::newRow("the playlist shown at start") << written << QByteArray() << 0 << "Wrote";
        // the window's dividers left where the frame set would put them, in a window of another size
        QTest::newRow("the dividers as left")
            << written + QStringList{"--playlist", "Angles"} << QByteArray(R"(, "optLoadFrameSet": false,
                 "rectSplitViewMain": ["{{0, 0}, {316, 720}}", "{{323, 0}, {957, 720}}"],
                 "rectSplitViewLeft": ["{{0, 0}, {316, 426}}", "{{0, 433}, {316, 287}}"],
                 "rectSplitViewRight": ["{{0, 0}, {957, 357}}", "{{0, 364}, {957, 356}}"])")
            << 0 << "Wrote";
        QTest::newRow("recordings on the wall clock")
            << written + QStringList{"--playlist", "Cameras"} << QByteArray() << 0 << "Wrote";
        QTest::newRow("unknown playlist")
            << out + QStringList{"--playlist", "Nowhere"} << QByteArray() << 2 << "Nowhere";
        QTest::newRow("no movies") << out + QStringList{"--playlist", "Empty"} << QByteArray() << 2
                                   << "no movie";
        QTest::newRow("bad size") << out + QStringList{"--size", "640"} << QByteArray() << 1 << "--size";
        QTest::newRow("bad range") << out + QStringList{"--range", "0:03-0:02"} << QByteArray() << 1
                                   << "--range";
        QTest::newRow("unwritable folder")
            << QStringList{"--export", "missing/out.mp4"} << QByteArray() << 1 << "cannot write in";
        QTest::newRow("interrupted") << out + QStringList{"--size", "3840x2160"} << QByteArray()
                                     << 128 + SIGTERM << "nothing was written";
        // "" said: its standard error's reader gone before it starts
        QTest::newRow("its output not read") << written << QByteArray() << 0 << "";
        QTest::newRow("its terminal closed") << out + QStringList{"--size", "3840x2160"} << QByteArray()
                                             << 128 + SIGHUP << "nothing was written";
        // nohup: the terminal closed as it exports, it goes on
        QTest::newRow("its terminal closed, under nohup")
            << out + QStringList{"--size", "1280x720", "--range", "0:00-0:01.5"} << QByteArray() << 0
            << "Wrote";
    }

    void exportWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, settings);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        test::TestHome on;
        // pane 1 leads 1 s ahead of pane 2; the frame set makes the left column a quarter of the width
        // (in Cameras too, whose second recording starts a second after the first)
        const QString later = on.path() + QStringLiteral("/later");
        QVERIFY(QDir().mkpath(later) && QFile::link(recordings.recordings[1].pieces[1].path,
                                                    later + "/2026-03-01_12-00-01_back.mp4"));
        QVERIFY(test::writeAll(later + "/notes.txt", "no movie"));
        QVERIFY(
            test::writeLibraryFile(on, {{Angles, {clips.barcode, clips.barcode, clips.blue, clips.yellow}},
                                        {QStringLiteral("Empty"), {}},
                                        {QStringLiteral("Cameras"), {recordings.cameraFolders[0], later}}}));
        QByteArray library = test::readAll(on.libraryFile());
        library.replace("frameSet=\"\"", "frameSet=\"0:0.25:0.60:0.50\"")
            .replace("viewNo=\"1\"", "viewNo=\"1\" offset=\"1000\"");
        QVERIFY(test::writeAll(on.libraryFile(), library));
        QVERIFY(
            test::writeAll(on.settingsFile(), R"({"optLastSelectedIndexForPlaylist": 0)" + settings + "}"));
        QVERIFY(QDir().mkpath(on.path() + QStringLiteral("/out")));
        SingleInstance other(on.dataHome() + QStringLiteral("/Tetrapan"),
                             QDBusConnection::connectToBus(bus->address(), QStringLiteral("other")));
        QCOMPARE(other.start({}), SingleInstance::Role::First);
        const auto files = [&on] {
            QStringList facts;
            for (const QString& path : {on.libraryFile(), on.settingsFile()})
                facts << QString::fromUtf8(test::readAll(path))
                      << QFileInfo(path).lastModified().toString(Qt::ISODateWithMs);
            return facts;
        };
        const QStringList before = files();

        // on the bus of the program the other commands go to: an export that asked it for the library would
        // be refused, as this test holds the lock
        ProgramProcess exporting(on, bus->address());
        exporting.workingFolder = on.path();
        exporting.environment.remove(QStringLiteral("DISPLAY"));
        exporting.environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        exporting.errorsUnread = said.isEmpty();
        const bool underNohup = QTest::currentDataTag() == QByteArray("its terminal closed, under nohup");
        if (underNohup)
            exporting.ignoredSignals = {SIGHUP};
        QVERIFY(exporting.start(arguments));
        if (exitCode > 128)
            QVERIFY(exporting.sendSignal(exitCode - 128));
        if (underNohup) // once it would take an interruption
            QVERIFY(exporting.sendSignal(SIGHUP, SIGTERM));
        QCOMPARE(exporting.finished(ExportTimeoutMs), exitCode);
        const QList<QByteArray> lines = exporting.errors().trimmed().split('\n');
        QVERIFY2(lines.constLast().contains(said.toUtf8()), lines.constLast().constData());
        const QString written = on.path() + QStringLiteral("/out/out.mp4");
        QCOMPARE(QDir(on.path() + QStringLiteral("/out")).entryList(QDir::Files | QDir::Hidden),
                 exitCode == 0 ? QStringList{QStringLiteral("out.mp4")} : QStringList());
        QCOMPARE(files(), before);
        if (exitCode != 0 || underNohup)
            return;

        // at the range's start pane 1 stands at 2 s of the leader's time line, pane 2 at 1 s
        QImage first;
        const test::ReadBack back = test::readMovieBack(written, [&first](const QImage& picture, int) {
            first = picture;
            return false;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.soundCodec, QStringLiteral("aac"));
        const double aspect = test::ScreenProbe::PictureAspect;
        if (arguments.contains(QStringLiteral("Cameras"))) {
            // pane 1 at 12:00:02 on the wall clock, pane 2 a second behind it, at its recording's start: the
            // back camera's second file, linked under a name a second after the front's start
            QCOMPARE(test::FrameBarcode::readView(first, QRect(0, 0, 158, 212), aspect),
                     std::optional<int>(recordings.frameAt(2000)));
            QCOMPARE(test::FrameBarcode::readView(first, QRect(0, 219, 158, 141), aspect),
                     std::optional<int>(recordings.frameAt(3000)));
            QVERIFY(exporting.errors().contains("Pane 2's recording leaves out notes.txt: not a movie."));
            return;
        }
        QCOMPARE(test::FrameBarcode::readView(first, QRect(0, 0, 158, 212), aspect), std::optional<int>(50));
        QCOMPARE(test::FrameBarcode::readView(first, QRect(0, 219, 158, 141), aspect),
                 std::optional<int>(25));
        // where only the frame set's right column has a picture
        QVERIFY(test::ScreenProbe::near(first.pixelColor(300, 88), test::TestClips::Colours[2]));
        QVERIFY(test::ScreenProbe::near(first.pixelColor(300, 270), test::TestClips::Colours[3]));
        QCOMPARE(test::readMovieBack(written).pictures, test::TestClips::FramesPerSecond);
    }

    // Every command the list names, sent to the running program in menu order (Quit last, by a launch with
    // --action, the others with the call such a launch makes), with pane 1 for a pane's command: it acts
    // (exit code 0) or is refused (2, saying why), and the program runs on.
    void everyListedCommandActsOrIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("forPane");
        test::TestHome on;
        QList<QStringList> rows = listed(on);
        QVERIFY(rows.size() > 40);
        const auto quit = std::find_if(rows.begin(), rows.end(), [](const QStringList& row) {
            return row.front() == QLatin1String("quit");
        });
        QVERIFY(quit != rows.end());
        std::rotate(quit, quit + 1, rows.end());
        for (const QStringList& row : std::as_const(rows))
            QTest::newRow(qPrintable(row.front()))
                << row.front() << row.value(1).startsWith(QLatin1String("Pane"));
    }

    void everyListedCommandActsOrIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(bool, forPane);
        QVERIFY(app && app->pid() != 0);
        const bool last = name == QLatin1String("quit");
        QStringList arguments{QStringLiteral("--action"), name};
        if (forPane)
            arguments << QStringLiteral("--pane") << QStringLiteral("1");
        // the last one as a launch sends it, the way every command goes from a terminal or a desktop's key
        const Sent sent = last ? send(arguments) : sendOverBus(name, forPane ? 1 : 0);
        QVERIFY2(sent.exitCode == 0 || (sent.exitCode == 2 && !sent.said.isEmpty()),
                 qPrintable(QStringLiteral("exit code %1: %2").arg(sent.exitCode).arg(sent.said)));
        if (last) {
            QCOMPARE(app->finished(), 0);
            return;
        }
        QVERIFY2(app->pid() != 0, "the program ended");
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
