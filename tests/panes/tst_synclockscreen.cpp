// The sync lock on the real engine: four panes of one barcode clip, with the lock on, read off the screen as
// the user sees them, for a clip with sound and one without a sound track.
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

    void fourLockedPanesShowTheSameFrame_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::newRow("with sound") << clips_.barcodeLong;
        QTest::newRow("no sound track") << clips_.barcodeSilent;
    }

    void fourLockedPanesShowTheSameFrame()
    {
        QFETCH(QString, clip);
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
        userDefaultsExtension::setDefaultBoolValue(app.settings, true, QLatin1String(SyncLock::OptSyncLock));
        QVERIFY(app.nib->syncLock().isEnabled());
        QVERIFY(app.nib->mainWindow().syncLockAction()->isChecked());
        controller.changeAllMoviePlay();
        QTest::qWait(500);

        int read = 0;
        int withinOne = 0;
        int same = 0;
        int last = 0;
        for (int i = 0; i < Shots; ++i) {
            const auto frames = shownFrames(x, app);
            if (std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); })) {
                const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
                ++read;
                withinOne += **high - **low <= 1 ? 1 : 0;
                same += **high == **low ? 1 : 0;
                last = **high;
            }
            QTest::qWait(ShotIntervalMs);
        }
        // the panes played all along, and most screenshots read (some catch a pane between two frames)
        QVERIFY2(last > test::TestClips::FramesPerSecond * 5, qPrintable(QString::number(last)));
        QVERIFY2(read >= Shots / 2, qPrintable(QString::number(read)));
        // Idle, all of them show the same frame; the margins are for a loaded machine.
        QVERIFY2(withinOne >= read * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(withinOne).arg(read)));
        QVERIFY2(same >= read * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(read)));
    }

private:
    test::TestClips clips_;
};

QTEST_MAIN(TestSyncLockScreen)
#include "tst_synclockscreen.moc"
