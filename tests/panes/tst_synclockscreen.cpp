// The sync lock on the real engine: four panes of one barcode clip, with the lock on and right after a start
// together with it off, read off the screen as the user sees them, for a clip with sound and one without a
// sound track.
#include "FrameBarcode.h"
#include "RealApp.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/MovieView.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "panes/MovController.h"
#include "panes/SyncLock.h"
#include "platform/Scheduler.h"
#include "platform/userDefaultsExtension.h"

#include <QAction>
#include <QTest>

#include <algorithm>
#include <array>
#include <optional>

using namespace tetrapan;

namespace {

constexpr int EngineTimeoutMs = 20000;
constexpr int Shots = 50;
constexpr int ShotIntervalMs = 200;
constexpr double PictureAspect = 4.0 / 3.0;

using Run = test::RealApp<QtScheduler>;

std::array<std::optional<int>, 4> shownFrames(test::XServer& x, Run& app)
{
    MainWindow& window = app.nib->mainWindow();
    const QRect screen(window.mapToGlobal(QPoint(0, 0)), window.size());
    const QImage shot = x.grab(screen);
    std::array<std::optional<int>, 4> frames;
    for (int n = 1; n <= 4; ++n) {
        MovieView* view = app.pane(n).movieView();
        const QRect place(view->mapToGlobal(QPoint(0, 0)) - screen.topLeft(), view->size());
        frames[n - 1] = test::FrameBarcode::readView(shot, place, PictureAspect);
    }
    return frames;
}

} // namespace

class TestSyncLockScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    void fourPanesShowTheSameFrame_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<bool>("locked");
        QTest::newRow("locked, with sound") << clips_.barcodeLong << true;
        QTest::newRow("locked, no sound track") << clips_.barcodeSilent << true;
        // the lock off, the panes started together are held on one clock for a moment after the start
        QTest::newRow("started together, with sound") << clips_.barcodeLong << false;
        QTest::newRow("started together, no sound track") << clips_.barcodeSilent << false;
    }

    void fourPanesShowTheSameFrame()
    {
        QFETCH(QString, clip);
        QFETCH(bool, locked);
        test::TestHome home;
        Run app(home, QSize(800, 600));
        QVERIFY(QTest::qWaitForWindowExposed(&app.nib->mainWindow()));
        test::XServer x;
        QVERIFY(x.isConnected());

        ObjectContext& context = app.context();
        const ObjectId node = LibraryRules::createNode(context, app.settings, false);
        LibraryRules::placeNode(context, node, NoObject);
        for (int n = 1; n <= 4; ++n) {
            const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
            context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
            context.setValue(entry, LibrarySchema::ViewNo, n);
            context.setValue(entry, LibrarySchema::FilePath, clip);
        }
        MovController& controller = app.nib->movController();
        controller.setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
        const auto allShow = [&](int frame) {
            const auto frames = shownFrames(x, app);
            return std::all_of(frames.begin(), frames.end(), [frame](const auto& f) { return f == frame; });
        };
        // an empty pane is black, which reads as frame 0 too
        QTRY_VERIFY_WITH_TIMEOUT(app.pane(4).isAvailable(), EngineTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(allShow(0), EngineTimeoutMs);

        // as the menu does
        userDefaultsExtension::setDefaultBoolValue(app.settings, locked,
                                                   QLatin1String(SyncLock::OptSyncLock));
        QCOMPARE(app.nib->syncLock().isEnabled(), locked);
        QCOMPARE(app.nib->mainWindow().syncLockAction()->isChecked(), locked);
        controller.changeAllMoviePlay();
        QCOMPARE(app.nib->syncLock().isHoldingStart(), !locked);
        QTest::qWait(500);

        int read = 0;
        int withinOne = 0;
        int same = 0;
        int last = 0;
        // unlocked, the shots are taken while the start is held, twice as often
        const int interval = locked ? ShotIntervalMs : ShotIntervalMs / 2;
        const int shots = locked ? Shots : 2500 / interval;
        for (int i = 0; i < shots; ++i) {
            const auto frames = shownFrames(x, app);
            if (std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); })) {
                const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
                ++read;
                withinOne += **high - **low <= 1 ? 1 : 0;
                same += **high == **low ? 1 : 0;
                last = **high;
            }
            QTest::qWait(interval);
        }
        // the panes played all along, and most screenshots read (some catch a pane between two frames)
        QVERIFY2(last > test::TestClips::FramesPerSecond * shots * interval / 2000,
                 qPrintable(QString::number(last)));
        QVERIFY2(read >= shots / 2, qPrintable(QString::number(read)));
        // Idle, all of them show the same frame; the margins are for a loaded machine.
        QVERIFY2(withinOne >= read * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(withinOne).arg(read)));
        QVERIFY2(same >= read * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(read)));
        if (!locked) {
            // the hold ends by itself and every pane plays on at its own speed
            QTRY_VERIFY_WITH_TIMEOUT(!app.nib->syncLock().isHoldingStart(), EngineTimeoutMs);
            for (int n = 1; n <= 4; ++n) {
                QVERIFY(app.pane(n).movie()->rate() != 0.0f);
                QCOMPARE(app.pane(n).movie()->speed(), 1.0);
            }
        }
    }

private:
    test::TestClips clips_;
};

QTEST_MAIN(TestSyncLockScreen)
#include "tst_synclockscreen.moc"
