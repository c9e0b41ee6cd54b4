// Four panes whose movies have sound, started together again and again on a machine without any sound
// device, in one process as the application does: every mpv core starts its sound output at the same moment
// as the others. Some sound libraries are not safe for that and crash or deadlock the process.
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeScheduler.h"
#include "NoSoundDevice.h"
#include "TestClips.h"

#include "engine/Movie.h"
#include "engine/MpvMovieEngine.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"

#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

using namespace tetrapan;

namespace {
constexpr int Rounds = 30;
constexpr int PlayTimeoutMs = 15000;
} // namespace

class TestPaneSoundStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fourPanesWithSoundStartTogetherWithoutASoundDevice()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        test::NoSoundDevice noSound;
        QTemporaryDir home;
        SettingsDomain settings(home.filePath(QStringLiteral("Tetrapan.json")));
        test::FakeScheduler scheduler;
        test::FakeDialogPresenter dialogs;
        test::FakeFileViewer fileViewer;
        // the sound outputs the application uses, none forced
        MpvMovieEngine engine;
        QWidget window;
        std::array<QTMovieSubView*, 4> panes{};
        QStringList paths;
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1] = new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, &window);
            panes[n - 1]->setGeometry((n - 1) * 160, 0, 160, 120);
            panes[n - 1]->setViewNo(n);
            panes[n - 1]->awakeFromNib();
            paths << clips.colour(n);
        }
        window.resize(640, 120);
        window.show();

        for (int round = 1; round <= Rounds; ++round) {
            // the four files load side by side, as a playlist switch loads them
            engine.prepareMovies(paths);
            for (QTMovieSubView* pane : panes)
                QVERIFY2(pane->createMovieView(paths[pane->viewNo() - 1]),
                         qPrintable(QString::number(round)));
            engine.discardPreparedMovies();
            for (QTMovieSubView* pane : panes)
                pane->playMovie();
            for (QTMovieSubView* pane : panes)
                QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.1, PlayTimeoutMs);
            // and their cores shut down together while the next ones start
            for (QTMovieSubView* pane : panes)
                pane->clearMovieView();
        }
    }
};

QTEST_MAIN(TestPaneSoundStartup)
#include "tst_panesoundstartup.moc"
