// The real program quits promptly whatever its movies are doing: after four panes with sound have played,
// File > Quit's key, the session's SIGTERM and the main window's close box each end it, with the library
// saved, run after run (a quit that hung one time in six must show up here).
#include "TestClips.h"
#include "TestHome.h"
#include "XServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace tetrapan;
using test::XServer;

namespace {

constexpr int RunsPerWay = 4;
constexpr int StartTimeoutMs = 20000;
// Far beyond what quitting may take; only a program that hangs misses it. How long quitting took is
// printed for each run.
constexpr int QuitTimeoutMs = 6000;
const QString PlaylistTitle = QStringLiteral("Four Colours");

enum class QuitBy { QuitKey, Terminate, CloseBox };

bool near(QColor seen, QColor expected)
{
    return seen.isValid() && qAbs(seen.red() - expected.red()) <= 48 &&
           qAbs(seen.green() - expected.green()) <= 48 && qAbs(seen.blue() - expected.blue()) <= 48;
}

// A point of pane n's picture, right of its middle: the playlist window covers the left of the main window.
QPoint paneMiddle(const XServer::Window& main, int viewNo)
{
    const QRect g = main.geometry;
    const bool right = viewNo >= 3;
    const bool lower = viewNo % 2 == 0;
    return {g.left() + g.width() * (right ? 7 : 3) / 8, g.top() + g.height() * (lower ? 3 : 1) / 4 + 12};
}

} // namespace

class TestApplicationQuit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (make test runs the tests under xvfb-run)");
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    void quitsPromptlyWithTheLibrarySaved_data()
    {
        QTest::addColumn<QuitBy>("by");
        QTest::newRow("Ctrl+Q") << QuitBy::QuitKey;
        QTest::newRow("SIGTERM") << QuitBy::Terminate;
        QTest::newRow("close box") << QuitBy::CloseBox;
    }

    void quitsPromptlyWithTheLibrarySaved()
    {
        QFETCH(QuitBy, by);
        XServer x;
        QVERIFY(x.isConnected());
        for (int run = 1; run <= RunsPerWay; ++run) {
            test::TestHome home;
            QVERIFY(test::writeOnePlaylistHome(
                home, PlaylistTitle,
                {clips_.colour(1), clips_.colour(2), clips_.colour(3), clips_.colour(4)}));
            QProcess app;
            app.setProgram(QStringLiteral(TETRAPAN_EXECUTABLE));
            app.setProcessChannelMode(QProcess::ForwardedChannels);
            app.start();
            QVERIFY(app.waitForStarted(StartTimeoutMs));

            XServer::Window main;
            QTRY_VERIFY_WITH_TIMEOUT((main = x.find(PlaylistTitle)).id != XCB_WINDOW_NONE, StartTimeoutMs);
            const std::array<QColor, 4> colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                                QColor(255, 255, 0)};
            for (int n = 1; n <= 4; ++n)
                QTRY_VERIFY_WITH_TIMEOUT(near(x.pixel(paneMiddle(main, n)), colours[n - 1]), StartTimeoutMs);

            // Space in the playlist window plays all four; pane 3's frame counter then moves on screen
            XServer::Window playlistWindow = x.find(QStringLiteral("Playlist"));
            QVERIFY(playlistWindow.id != XCB_WINDOW_NONE);
            const QRect paneThree(main.geometry.center().x(), main.geometry.top(), main.geometry.width() / 2,
                                  main.geometry.height() / 2);
            const QImage still = x.grab(paneThree);
            x.focus(playlistWindow);
            x.key(playlistWindow, ' ');
            QTRY_VERIFY_WITH_TIMEOUT(x.grab(paneThree) != still, StartTimeoutMs);

            // a change for quitting to save: a new playlist, which the panes are emptied for meanwhile
            x.click(playlistWindow, QPoint(10, playlistWindow.geometry.height() - 12));
            QTRY_VERIFY_WITH_TIMEOUT(x.find(QStringLiteral("New Playlist")).id == main.id, StartTimeoutMs);

            QElapsedTimer quitting;
            quitting.start();
            switch (by) {
            case QuitBy::QuitKey:
                x.focus(main);
                x.key(main, 'q', XCB_MOD_MASK_CONTROL);
                break;
            case QuitBy::Terminate:
                QTRY_VERIFY(test::catchesSignal(app.processId(), SIGTERM));
                ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
                break;
            case QuitBy::CloseBox:
                x.close(main);
                break;
            }
            const bool ended = app.waitForFinished(QuitTimeoutMs);
            qInfo("run %d: quit in %lld ms", run, quitting.elapsed());
            if (!ended)
                app.kill();
            QVERIFY2(ended, "the program did not end");
            QCOMPARE(app.exitStatus(), QProcess::NormalExit);
            QCOMPARE(app.exitCode(), 0);
            QVERIFY(QString::fromUtf8(test::readAll(home.libraryFile()))
                        .contains(QStringLiteral("New Playlist")));
        }
    }

private:
    test::TestClips clips_;
};

QTEST_MAIN(TestApplicationQuit)
#include "tst_applicationquit.moc"
