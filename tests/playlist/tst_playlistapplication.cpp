#include "TestClips.h"
#include "TestHome.h"

#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <csignal>
#include <memory>

using namespace tetrapan;

namespace {

// The real program's windows as the X server knows them: found by title, clicked into, read back.
class XServer {
public:
    struct Window {
        xcb_window_t id = XCB_WINDOW_NONE;
        QRect geometry; // in screen coordinates
        QString title;
    };

    XServer() : connection_(xcb_connect(nullptr, nullptr))
    {
        if (!xcb_connection_has_error(connection_))
            root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~XServer() { xcb_disconnect(connection_); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool isConnected() const { return root_ != XCB_WINDOW_NONE; }

    // The first shown top-level window whose title starts with the text.
    Window find(const QString& titleStart)
    {
        auto tree = reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
        if (!tree)
            return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const Window window = describe(children[i]);
            if (window.id != XCB_WINDOW_NONE && window.title.startsWith(titleStart))
                return window;
        }
        return {};
    }

    // A left click at a point of the window, delivered to the program as the server would deliver it.
    void click(const Window& window, QPoint local)
    {
        const QPoint global = window.geometry.topLeft() + local;
        for (bool press : {true, false}) {
            xcb_button_press_event_t event{};
            event.response_type = press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
            event.detail = 1;
            event.time = XCB_CURRENT_TIME;
            event.root = root_;
            event.event = window.id;
            event.root_x = static_cast<int16_t>(global.x());
            event.root_y = static_cast<int16_t>(global.y());
            event.event_x = static_cast<int16_t>(local.x());
            event.event_y = static_cast<int16_t>(local.y());
            event.state = press ? 0 : XCB_BUTTON_MASK_1;
            event.same_screen = 1;
            xcb_send_event(connection_, false, window.id, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(connection_);
    }

    // What a window manager does when the user clicks a window's close box.
    void close(const Window& window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window.id;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, false, window.id, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

    QColor pixel(QPoint global)
    {
        auto image = reply(xcb_get_image_reply(connection_,
                                               xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_,
                                                             static_cast<int16_t>(global.x()),
                                                             static_cast<int16_t>(global.y()), 1, 1, ~0u),
                                               nullptr));
        if (!image || xcb_get_image_data_length(image.get()) < 3)
            return {};
        const uint8_t* bgr = xcb_get_image_data(image.get());
        return QColor(bgr[2], bgr[1], bgr[0]);
    }

private:
    template <typename T> static std::unique_ptr<T, decltype(&std::free)> reply(T* value)
    {
        return {value, &std::free};
    }

    xcb_atom_t atom(const char* name)
    {
        auto answer = reply(xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(qstrlen(name)), name),
            nullptr));
        return answer ? answer->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    Window describe(xcb_window_t id)
    {
        auto attributes = reply(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, id), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            return {};
        auto name = reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, id, atom("_NET_WM_NAME"), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr));
        auto geometry =
            reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
        auto origin = reply(xcb_translate_coordinates_reply(
            connection_, xcb_translate_coordinates(connection_, id, root_, 0, 0), nullptr));
        if (!name || !geometry || !origin)
            return {};
        Window window;
        window.id = id;
        window.title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                                         xcb_get_property_value_length(name.get()));
        window.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        return window;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

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
