// Soak: random user actions on the whole application with the real engine for a long while (ten minutes;
// TETRAPAN_SOAK_SECONDS sets another length), on a real X display. The resident memory at the end may be at
// most a tenth above what it was after the warm-up (see WarmUpSeconds). Run by make soak, never by the suite.
#include "RealApp.h"
#include "TestClips.h"
#include "TestHome.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "platform/Scheduler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <malloc.h>

#include <random>

using namespace tetrapan;

namespace {

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// Bytes the program has asked of the allocator and not given back, against the freed bytes the allocator
// keeps. The resident memory counts both; a leak grows the first, the allocator's keeping the second.
QByteArray heapText()
{
    const struct mallinfo2 heap = mallinfo2();
    return QByteArray::number(static_cast<qulonglong>((heap.uordblks + heap.hblkhd) / 1024)) +
           " kB in use, " + QByteArray::number(static_cast<qulonglong>(heap.fordblks / 1024)) +
           " kB kept free by the allocator";
}

// Every clip placed starts an mpv core on a new thread, and every core let go is shut down on another one.
// The C library gives threads their own allocation arenas (up to eight per processor), and each arena keeps
// the memory freed in it for the threads that come after. On two processors the resident memory climbs from
// about 150 MB to 400 MB in the first five minutes while what is in use stays between 10 and 45 MB; the
// arenas then grow little more (the resident memory 5 to 7% in the next five minutes). The baseline
// is taken after that.
constexpr int WarmUpSeconds = 300;

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void randomUseKeepsMemoryLevel()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        const int seconds = qEnvironmentVariableIntValue("TETRAPAN_SOAK_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("TETRAPAN_SOAK_SECONDS")
                                : 600;
        test::TestHome home;
        test::RealApp<QtScheduler> app(home, QSize(800, 600));
        QVERIFY(QTest::qWaitForWindowExposed(&app.nib->mainWindow()));
        ObjectContext& context = app.context();
        QList<ObjectId> playlists;
        for (int n = 0; n < 3; ++n) {
            const ObjectId node = LibraryRules::createNode(context, app.settings, false);
            context.setValue(node, LibrarySchema::Title, QStringLiteral("Soak %1").arg(n + 1));
            LibraryRules::placeNode(context, node, NoObject);
            playlists << node;
        }
        MovController& controller = app.nib->movController();
        const QStringList files{clips.red, clips.green, clips.blue, clips.yellow, clips.tone, clips.still};
        std::mt19937 random(20261207);
        const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

        // every kind of action once, then at random
        constexpr int Kinds = 9;
        const auto act = [&](int kind) {
            const int pane = 1 + pick(4);
            switch (kind) {
            case 0:
                app.nib->playlistTreeController().setSelectedObject(playlists.at(pick(playlists.size())));
                break;
            case 1:
                app.pane(pane).createMovieFrame(files.at(pick(files.size())));
                break;
            case 2:
                controller.changeAllMoviePlay();
                break;
            case 3:
                controller.skipAllMovieTime(pick(4));
                break;
            case 4:
                controller.syncAllMovieTime();
                break;
            case 5:
                controller.changeAllMovieController();
                break;
            case 6:
                controller.clearMovieView(pane);
                break;
            case 7:
                app.nib->mainWindow().resize(640 + pick(400), 480 + pick(300));
                break;
            case 8:
                app.nib->appDelegate().saveAction();
                break;
            }
            QTest::qWait(20 + pick(200));
            app.dialogs.alerts.clear(); // a still picture or a cleared pane is refused or asked about
        };
        for (int kind = 0; kind < Kinds; ++kind)
            act(kind);

        // A run too short to go on for a warm-up's length after it is only looked at for faults.
        const bool judged = seconds >= 2 * WarmUpSeconds;
        QElapsedTimer clock;
        clock.start();
        qint64 baseline = -1;
        qint64 actions = 0;
        qint64 nextTrace = 0;
        while (clock.elapsed() < seconds * 1000LL) {
            act(pick(Kinds));
            ++actions;
            if (baseline < 0 && clock.elapsed() >= WarmUpSeconds * 1000LL)
                baseline = residentKilobytes();
            if (clock.elapsed() >= nextTrace) {
                qInfo("%3lld s, %6lld actions: %lld kB resident; %s", clock.elapsed() / 1000,
                      static_cast<long long>(actions), static_cast<long long>(residentKilobytes()),
                      heapText().constData());
                nextTrace += 30000;
            }
        }
        if (!judged)
            QSKIP(
                qPrintable(QStringLiteral("%1 actions in %2 s without a fault; memory is judged from %3 s on")
                               .arg(actions)
                               .arg(seconds)
                               .arg(2 * WarmUpSeconds)));
        QVERIFY(baseline > 0);
        const qint64 end = residentKilobytes();
        qInfo("%lld actions in %d s; resident memory %lld kB after the warm-up, %lld kB at the end (%+.1f%%)",
              static_cast<long long>(actions), seconds, static_cast<long long>(baseline),
              static_cast<long long>(end), 100.0 * (end - baseline) / baseline);
        QVERIFY2(end <= baseline + baseline / 10, "resident memory grew by more than a tenth");
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
