// The whole application on the real movie engine: four clips placed into a playlist, saved, the
// application started again on the same home, the playlist chosen again, and the four panes playing and
// synchronised.
#include "RealApp.h"
#include "TestClips.h"
#include "TestHome.h"

#include "engine/Movie.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QFileInfo>
#include <QTest>

using namespace tetrapan;

namespace {

constexpr int EngineTimeoutMs = 15000;
const QString PlaylistTitle = QStringLiteral("Four Colours");

using Run = test::RealApp<QtScheduler>;

} // namespace

class TestPanesEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    void placedClipsComeBackAfterARestartAndPlayInStep()
    {
        test::TestHome home;
        {
            Run first(home, QSize(800, 600));
            QVERIFY(QTest::qWaitForWindowExposed(&first.nib->mainWindow()));
            ObjectContext& context = first.context();
            const ObjectId node = LibraryRules::createNode(context, first.settings, false);
            context.setValue(node, LibrarySchema::Title, PlaylistTitle);
            LibraryRules::placeNode(context, node, NoObject);
            QVERIFY(first.nib->playlistTreeController().setSelectedObject(node));
            for (int n = 1; n <= 4; ++n)
                first.pane(n).createMovieFrame(clips_.colour(n));
            QVERIFY(first.dialogs.alerts.isEmpty());
            QCOMPARE(context.fetch(LibrarySchema::Filelist).size(), 4);
            first.nib->appDelegate().saveAction();
            QVERIFY(first.dialogs.errors.isEmpty());
        }
        QVERIFY(QFileInfo::exists(home.libraryFile()));

        Run second(home, QSize(800, 600));
        QVERIFY(QTest::qWaitForWindowExposed(&second.nib->mainWindow()));
        const QList<ObjectId> nodes = second.context().fetch(
            LibrarySchema::Playlist, Predicate::equals(LibrarySchema::Title, PlaylistTitle));
        QCOMPARE(nodes.size(), 1);
        const QString uniqueId = second.context().value(nodes.front(), LibrarySchema::UniqueId).toString();
        second.nib->playlistTreeController().setSelectedObject(nodes.front());
        second.nib->movController().setUniqueId(uniqueId);
        QCOMPARE(second.nib->mainWindow().windowTitle(), PlaylistTitle);
        for (int n = 1; n <= 4; ++n) {
            QTRY_COMPARE_WITH_TIMEOUT(second.pane(n).filePath(), clips_.colour(n), EngineTimeoutMs);
            QVERIFY(second.pane(n).isPlayable());
        }

        MovController& controller = second.nib->movController();
        controller.changeAllMoviePlay();
        // Let them run apart a little before bringing them together.
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(second.pane(n).isPlaying());
            QTRY_VERIFY_WITH_TIMEOUT(second.pane(n).movie()->currentTime().seconds() > 0.5, EngineTimeoutMs);
        }
        controller.syncAllMovieTime();
        const MovieTime source = second.pane(1).movie()->currentTime();
        QVERIFY(source.seconds() > 0.5);
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(!second.pane(n).isPlaying());
            QCOMPARE(second.pane(n).movie()->currentTime(), source);
        }
        // And they play on together.
        for (int n = 1; n <= 4; ++n)
            QTRY_VERIFY_WITH_TIMEOUT(second.pane(n).isPlaying(), EngineTimeoutMs);
    }

private:
    test::TestClips clips_;
};

QTEST_MAIN(TestPanesEndToEnd)
#include "tst_panes_endtoend.moc"
