#include "TestClips.h"
#include "TestHome.h"
#include "XServer.h"

#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <memory>

using namespace tetrapan;
using test::catchesSignal;
using test::XServer;

namespace {

bool isGreen(QColor c)
{
    return c.isValid() && c.green() > 200 && c.red() < 60 && c.blue() < 60;
}

// The middle of pane 2, the bottom left quarter of the main window.
QPoint paneTwoCentre(const XServer::Window& main)
{
    const QRect g = main.geometry;
    return {g.left() + g.width() / 4, g.top() + g.height() * 3 / 4};
}

} // namespace

// The real program in a real X server: a playlist made in the playlist window, a clip dragged onto pane 2
// from another program, and both there again after the session ended it and it started again; the playlist
// window, closed by its close box, open again.
class TestPlaylistApplication : public QObject {
    Q_OBJECT

private:
    // Drags the file from the source window onto the screen point as a file manager would, and answers the
    // action the program took. The drag's data lives on with the source after the button goes up, until the
    // program has fetched it: the source must outlive the check of the result.
    static Qt::DropAction dragFile(QWidget& source, const QString& path, QPoint target)
    {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(path)});
        auto* drag = new QDrag(&source);
        drag->setMimeData(data);
        // the pointer moves in steps to the target, where the button goes up once the target accepts
        QTimer pointer;
        bool accepted = false;
        QObject::connect(drag, &QDrag::actionChanged, &pointer,
                         [&accepted](Qt::DropAction action) { accepted = action == Qt::CopyAction; });
        const QPoint start = source.geometry().center();
        int step = 0;
        QObject::connect(&pointer, &QTimer::timeout, &pointer, [&] {
            const int steps = 10;
            const QPoint at = start + (target - start) * std::min(step, steps) / steps;
            const bool done = (step > steps && accepted) || step > 300;
            ++step;
            const QPoint local = source.mapFromGlobal(at);
            QCoreApplication::postEvent(
                &source,
                new QMouseEvent(done ? QEvent::MouseButtonRelease : QEvent::MouseMove, local, at,
                                Qt::LeftButton, done ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier));
            if (done)
                pointer.stop();
        });
        pointer.start(30);
        return drag->exec(Qt::CopyAction, Qt::CopyAction);
    }

    // the session ends the program: it must leave cleanly on either signal
    static bool quit(QProcess& app, int signalNumber)
    {
        if (!QTest::qWaitFor([&] { return catchesSignal(app.processId(), signalNumber); }, 20000))
            return false;
        ::kill(static_cast<pid_t>(app.processId()), signalNumber);
        return app.waitForFinished(20000) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (make test runs the tests under xvfb-run)");
    }

    void playlistAndDroppedClipComeBack()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        test::TestHome home;
        XServer x;
        QVERIFY(x.isConnected());

        QProcess app;
        app.setProgram(QStringLiteral(TETRAPAN_EXECUTABLE));
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start();
        QVERIFY(app.waitForStarted(10000));
        XServer::Window playlistWindow;
        QTRY_VERIFY_WITH_TIMEOUT((playlistWindow = x.find(QStringLiteral("Playlist"))).id != XCB_WINDOW_NONE,
                                 20000);
        XServer::Window main;
        QTRY_VERIFY_WITH_TIMEOUT((main = x.find(QStringLiteral("Tetrapan"))).id != XCB_WINDOW_NONE, 20000);

        // the add button sits at the window's bottom left
        x.click(playlistWindow, QPoint(10, playlistWindow.geometry.height() - 12));
        // the new playlist is chosen, so the main window is titled after it
        QTRY_VERIFY_WITH_TIMEOUT(x.find(QStringLiteral("New Playlist")).id == main.id, 10000);

        const QPoint target = paneTwoCentre(main);
        QVERIFY(!playlistWindow.geometry.contains(target));
        QWidget source;
        source.setGeometry(1180, 20, 60, 60);
        source.show();
        QVERIFY(QTest::qWaitForWindowExposed(&source));
        QCOMPARE(dragFile(source, clips.green, target), Qt::CopyAction);
        QTRY_VERIFY_WITH_TIMEOUT(isGreen(x.pixel(target)), 20000);
        // closed by its close box, the playlist window opens again at the next start
        x.close(playlistWindow);
        QTRY_VERIFY_WITH_TIMEOUT(x.find(QStringLiteral("Playlist")).id == XCB_WINDOW_NONE, 10000);
        QVERIFY(quit(app, SIGTERM));

        const QString library = QString::fromUtf8(test::readAll(home.libraryFile()));
        QVERIFY(library.contains(
            QRegularExpression(QStringLiteral("<filelist (?=[^>]*viewNo=\"2\")[^>]*filePath=\"%1\"")
                                   .arg(QRegularExpression::escape(clips.green)))));

        // started again: the same playlist chosen, its clip in pane 2
        app.start();
        QVERIFY(app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT((main = x.find(QStringLiteral("New Playlist"))).id != XCB_WINDOW_NONE,
                                 20000);
        QTRY_VERIFY_WITH_TIMEOUT(isGreen(x.pixel(paneTwoCentre(main))), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(x.find(QStringLiteral("Playlist")).id != XCB_WINDOW_NONE, 20000);
        QVERIFY(quit(app, SIGINT));
    }
};

QTEST_MAIN(TestPlaylistApplication)
#include "tst_playlistapplication.moc"
