// The desktop's media controls (on fakes; the bus in tst_desktopapplication): commands and what they report.
#include "AppFixture.h"
#include "FakeMovie.h"

#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/PlaybackSpeed.h"
#include "shell/MediaControls.h"

#include <QDBusObjectPath>
#include <QSignalSpy>

#include <cmath>
#include <functional>
#include <limits>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

// "CanPlay=true, Metadata={xesam:title=a}", keys in order
QString describe(const QVariantMap& properties)
{
    QStringList parts;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QVariant& value = it.value();
        QString text = value.toString();
        if (value.metaType() == QMetaType::fromType<QVariantMap>())
            text = QLatin1Char('{') + describe(value.toMap()) + QLatin1Char('}');
        else if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
            text = value.value<QDBusObjectPath>().path();
        parts << it.key() + QLatin1Char('=') + text;
    }
    return parts.join(QStringLiteral(", "));
}

// Each pane's time in seconds, "*" after one that plays, "-" for one with no movie.
QString panes(AppFixture& app)
{
    QStringList texts;
    for (int n = 1; n <= 4; ++n) {
        const Movie* movie = app.pane(n).movie();
        texts << (movie ? QString::number(movie->currentTime().seconds()) +
                              (app.pane(n).isPlaying() ? QStringLiteral("*") : QString())
                        : QStringLiteral("-"));
    }
    return texts.join(QLatin1Char(' '));
}

} // namespace

class TestMediaControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Playlist "a" (above "b") with movies of 60 s in panes 1 to 3, the leader (pane 1) at 10 s; pane 2 has
    // an offset of 2 s, pane 3 of -1 s, and each stands where its offset puts it.
    void commandsActOnThePanesAndReportWhatChanged_data()
    {
        QTest::addColumn<bool>("playing");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("panesAfter");
        QTest::addColumn<QString>("changed");

        const auto row = [](const char* name, bool playing, const char* command, const char* after,
                            const char* changed) {
            QTest::newRow(name) << playing << QString::fromLatin1(command) << QString::fromLatin1(after)
                                << QString::fromLatin1(changed);
        };
        row("PlayPause starts", false, "PlayPause", "10* 12* 9* -", "PlaybackStatus=Playing");
        row("PlayPause stops", true, "PlayPause", "10 12 9 -", "PlaybackStatus=Paused");
        row("Play", false, "Play", "10* 12* 9* -", "PlaybackStatus=Playing");
        row("Pause", true, "Pause", "10 12 9 -", "PlaybackStatus=Paused");
        row("Seek on, with offsets", false, "Seek 5", "15 17 14 -", "Seeked=15000000");
        row("Seek back, each within its movie", false, "Seek -20", "0 2 0 -", "Seeked=0");
        row("Seek while playing resumes", true, "Seek 5", "15* 17* 14* -", "Seeked=15000000");
        row("SetPosition", false, "SetPosition 30", "30 32 29 -", "Seeked=30000000");
        row("SetPosition past the end", false, "SetPosition 61", "10 12 9 -", "");
        row("SetPosition on another track", false, "SetPosition other", "10 12 9 -", "");
        row("Next", true, "Next", "- - - -",
            "CanGoNext=false, CanGoPrevious=true, CanPause=false, CanPlay=false, CanSeek=false, "
            "Metadata={mpris:trackid=/org/tetrapan/playlist/00000002, xesam:title=b}, "
            "PlaybackStatus=Stopped");
        row("Previous at the top", false, "Previous", "10 12 9 -", "");
        row("Volume", false, "Volume 0.5", "10 12 9 -", "Volume=0.5");
        row("Volume beyond full", false, "Volume 2", "10 12 9 -", "Volume=1");
        row("Volume not a number", false, "Volume nan", "10 12 9 -", "");
        // a panel works the position out from the rate
        row("Faster", false, "Speed 2", "10 12 9 -", "Rate=2");
        row("Rate", false, "Rate 0.5", "10 12 9 -", "Rate=0.5");
        row("Rate between speeds", false, "Rate 1.9", "10 12 9 -", "Rate=2");
        row("Rate 0 pauses", true, "Rate 0", "10 12 9 -", "PlaybackStatus=Paused");
        row("Rate not a number", false, "Rate nan", "10 12 9 -", "");
        row("Rate past any", false, "Rate inf", "10 12 9 -", "Rate=4");
        row("Seek by the most there is", false, "Seek max", "60 60 59 -", "Seeked=60000000");
        // the panes' seeks take a while, as the engine's do
        row("a skip in the window", false, "Skip", "20 22 19 -", "Seeked=20000000");
        row("a click on the time line", true, "Jump 42", "42* 44* 41* -", "Seeked=42000000");
        row("SetPosition, told once", false, "SetPositionSlowly 30", "30 32 29 -", "Seeked=30000000");
        row("Seek back by the most there is", false, "Seek min", "0 2 0 -", "Seeked=0");
        // a file that cannot be opened leaves pane 1 and its entry as they were
        row("OpenUri of no movie", false, "OpenUri file:///given/refused.mp4", "10 12 9 -", "");
    }

    void commandsActOnThePanesAndReportWhatChanged()
    {
        QFETCH(bool, playing);
        QFETCH(QString, command);
        QFETCH(QString, panesAfter);
        QFETCH(QString, changed);

        AppFixture app;
        app.chooseWithEntries({1, 2, 3});
        app.coordinator().offsets().setOffsetMs(2, 2000);
        app.coordinator().offsets().setOffsetMs(3, -1000);
        for (int n = 1; n <= 3; ++n)
            static_cast<test::FakeMovie*>(app.pane(n).movie())
                ->moveTo(MovieTime::fromSeconds(10.0 + app.coordinator().movieOffsetMs(n) / 1000.0));
        app.coordinator().setAllMoviePlay(playing);
        MediaControls& controls = app.nib->mediaControls();
        controls.stateMayHaveChanged();
        QCoreApplication::processEvents();
        QCOMPARE(
            describe(controls.playerProperties()),
            QStringLiteral("CanGoNext=true, CanGoPrevious=false, CanPause=true, CanPlay=true, CanSeek=true, "
                           "MaximumRate=4, Metadata={mpris:length=60000000, "
                           "mpris:trackid=/org/tetrapan/playlist/00000001, xesam:title=a}, MinimumRate=0.25, "
                           "PlaybackStatus=%1, Rate=1, Volume=0")
                .arg(playing ? QStringLiteral("Playing") : QStringLiteral("Paused")));
        QCOMPARE(controls.position(), 10'000'000);

        QSignalSpy reports(&controls, &MediaControls::playerPropertiesChanged);
        QSignalSpy seeks(&controls, &MediaControls::seeked);
        const auto seekSlowly = [&] {
            for (int n = 1; n <= 3; ++n)
                static_cast<test::FakeMovie*>(app.pane(n).movie())->seeksSlowly = true;
        };
        const QHash<QString, std::function<void(const QString&)>> commands{
            {"PlayPause", [&](const QString&) { controls.playPause(); }},
            {"Play", [&](const QString&) { controls.play(); }},
            {"Pause", [&](const QString&) { controls.pause(); }},
            {"Next", [&](const QString&) { controls.next(); }},
            {"Previous", [&](const QString&) { controls.previous(); }},
            {"Seek",
             [&](const QString& s) {
                 const QHash<QString, qint64> ends{{"max", std::numeric_limits<qint64>::max()},
                                                   {"min", std::numeric_limits<qint64>::min()}};
                 controls.seek(ends.value(s, qint64(s.toDouble() * 1e6)));
             }},
            {"SetPosition",
             [&](const QString& s) {
                 controls.setPosition(s == "other" ? QString() : controls.trackId(),
                                      qint64(s.toDouble() * 1e6));
             }},
            {"Volume",
             [&](const QString& volume) {
                 controls.setVolume(volume == "nan" ? std::nan("") : volume.toDouble());
             }},
            {"Rate",
             [&](const QString& rate) { controls.setRate(rate == "nan" ? std::nan("") : rate.toDouble()); }},
            {"Speed",
             [&](const QString& speed) {
                 for (int step = 0; step < 3 && PlaybackSpeed::storedSpeed(app.settings) < speed.toDouble();
                      ++step)
                     app.nib->playbackSpeed().faster();
             }},
            {"Skip",
             [&](const QString&) {
                 seekSlowly();
                 app.coordinator().skipAllMovieTime(MovController::SkipForward);
             }},
            {"Jump",
             [&](const QString& s) {
                 seekSlowly();
                 app.nib->paneTimeline().jumpTo(s.toDouble());
             }},
            {"SetPositionSlowly",
             [&](const QString& s) {
                 seekSlowly();
                 controls.setPosition(controls.trackId(), qint64(s.toDouble() * 1e6));
             }},
            {"OpenUri",
             [&](const QString& uri) {
                 app.engine.refusedPaths.insert(QUrl(uri).toLocalFile());
                 controls.openUri(uri);
             }},
        };
        commands.value(command.section(' ', 0, 0))(command.section(' ', 1));
        // a new playlist loads, and panes that played resume, once the user lets go
        app.scheduler.advance(MovController::ChangeDelay + MovController::ResumeAfterLoadDelay);
        QCoreApplication::processEvents();

        QCOMPARE(panes(app), panesAfter);
        QCOMPARE(app.entryCount(), 3);
        QStringList told;
        for (const QList<QVariant>& report : std::as_const(reports))
            told << describe(report.constFirst().toMap());
        for (const QList<QVariant>& seek : std::as_const(seeks))
            told << QStringLiteral("Seeked=%1").arg(seek.constFirst().toLongLong());
        QCOMPARE(told.join(QStringLiteral(" / ")), changed);
    }

    // Next and Previous go from playlist to playlist in the tree's order, into and out of folders open or
    // closed, never stopping on a folder; the palette's buttons still stop on it. Tree: a, F/(b, G/(c)),
    // E/(), d; with F and G closed.
    void nextAndPreviousSkipFolders_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("into a closed folder") << "a" << "Next" << "b";
        QTest::newRow("into a folder in a folder") << "a" << "Next Next" << "c";
        QTest::newRow("out of folders, past an empty one") << "a" << "Next Next Next" << "d";
        QTest::newRow("at the end") << "d" << "Next" << "d";
        QTest::newRow("back into folders") << "d" << "Previous" << "c";
        QTest::newRow("back out of a folder") << "a" << "Next Previous" << "a";
        QTest::newRow("from a folder chosen") << "E" << "Next" << "d";
        QTest::newRow("back from a folder chosen") << "E" << "Previous" << "c";
        QTest::newRow("nothing chosen: the first") << "" << "Next" << "a";
        QTest::newRow("nothing chosen: the last") << "" << "Previous" << "d";
        QTest::newRow("the palette stops on the folder") << "a" << "PaletteNext" << "F";
    }

    void nextAndPreviousSkipFolders()
    {
        QFETCH(QString, from);
        QFETCH(QString, commands);
        QFETCH(QString, chosen);

        AppFixture app;
        app.build(QStringLiteral("a,F/(b,G/(c)),E/(),d"));
        app.choose(from);
        MediaControls& controls = app.nib->mediaControls();
        const QString dd = QStringLiteral("d");
        QCOMPARE(controls.canGoNext(), from != dd);
        QCOMPARE(controls.canGoPrevious(), from != QStringLiteral("a"));
        for (const QString& command : commands.split(QLatin1Char(' '))) {
            if (command == QStringLiteral("Next"))
                controls.next();
            else if (command == QStringLiteral("Previous"))
                controls.previous();
            else
                app.tree().selectNextRow();
        }
        app.scheduler.advance(MovController::ChangeDelay);
        const ObjectId node = app.nib->playlistTreeController().selectedObjects().value(0);
        QCOMPARE(app.attr(node, "title"), chosen);
        QCOMPARE(app.coordinator().uniqueId(), app.uid(chosen));
        // what is chosen is in sight, and the desktop is told its name, a folder's as a folder's
        QVERIFY(app.tree().rowOfItem(node) >= 0);
        const bool folder = chosen == QStringLiteral("F");
        QCOMPARE(controls.metadata().value(QStringLiteral("xesam:title")).toString(),
                 folder ? QStringLiteral("[ Folder ] F") : chosen);
    }
};

QTEST_MAIN(TestMediaControls)
#include "tst_mediacontrols.moc"
