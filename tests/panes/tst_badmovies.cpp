// Every kind of file that is no movie, given to the whole application on the real movie engine, the two
// ways a user gives a pane a file: placed (the file chooser, a copy from another pane) and dropped. Each is
// refused with the alert, the pane keeps the movie it showed, and the library stays exactly as it was, in
// memory and on disk.
#include "AppFixture.h"
#include "BadMovieFiles.h"
#include "TestClips.h"

#include "panes/MoviePaneInput.h"
#include "panes/PanePlacing.h"
#include "platform/XmlStore.h"

#include <QMimeData>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace tetrapan;

namespace {

// The engine's limit for a first picture: the one file that opens without ever showing one is refused when it
// runs out. Four seconds, not its ten, is still far more than the clips here take to show theirs.
constexpr std::chrono::milliseconds EngineOpenTimeout{4000};
// the engine's limit, and some
constexpr int OpenTimeoutMs = 9000;
const QString CanNotCreateMovie = QStringLiteral("Can not create movie.");
const QString TwoOrMoreFiles = QStringLiteral("Two or more files are added.");

// What a file manager's drop on the pane delivers.
void drop(test::AppFixture& app, int viewNo, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    QMimeData data;
    data.setUrls(urls);
    QTMovieSubView& target = app.pane(viewNo);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    app.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
}

} // namespace

class TestBadMovies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        QVERIFY(scratch_.isValid());
        files_ = test::makeBadMovieFiles(scratch_.path(), clips_);
    }

    void refusedWithTheAlertAndTheLibraryUnchanged_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("information");
        QTest::addColumn<QString>("skipReason");
        QTest::addColumn<bool>("refusedBeforeOpening");
        for (const test::BadMovieFile& file : std::as_const(files_)) {
            // a pane opens a folder as a recording (tst_moviefilesopener)
            if (QFileInfo(file.path).isDir())
                continue;
            for (const bool dropped : {false, true}) {
                QTest::addRow("%s, %s", qPrintable(file.kind), dropped ? "dropped" : "placed")
                    << QStringList{file.path} << dropped << CanNotCreateMovie
                    << QStringLiteral("Please check file.") << file.skipReason << file.refusedBeforeOpening;
            }
        }
        // two good movies at once are refused for being two
        QTest::newRow("two files, dropped")
            << QStringList{clips_.green, clips_.blue} << true << TwoOrMoreFiles
            << QStringLiteral("Please add only one file.") << QString() << false;
    }

    void refusedWithTheAlertAndTheLibraryUnchanged()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, dropped);
        QFETCH(QString, skipReason);
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        test::AppFixture app({.realEngine = true, .openTimeout = EngineOpenTimeout});
        app.window().resize(640, 480);
        app.window().show();
        app.select(app.playlist(QStringLiteral("Angles")));
        app.pane(1).placing().createMovieFrame(clips_.red);
        QTRY_VERIFY_WITH_TIMEOUT(!app.pane(1).isOpening(), OpenTimeoutMs);
        QVERIFY(app.dialogs.alerts.isEmpty());
        app.nib->appDelegate().saveAction();
        QVERIFY(app.dialogs.errors.isEmpty());
        const QByteArray fileBefore = test::readAll(app.home.libraryFile());
        const XmlStore form(QString(), app.ctx().model());
        const QByteArray recordsBefore = form.serialize(app.ctx().records());
        const Movie* movieBefore = app.pane(1).movie();
        QVERIFY(movieBefore);

        if (dropped)
            drop(app, 1, paths);
        else
            app.pane(1).placing().createMovieFrame(paths.front());
        // a drop is looked at before the pane opens it
        QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.alerts.isEmpty() && !app.pane(1).isOpening(), OpenTimeoutMs);

        QCOMPARE(app.dialogs.alerts.size(), 1);
        const AlertRequest& alert = app.dialogs.alerts.front();
        QTEST(alert.messageText, "message");
        QTEST(alert.informativeText, "information");
        QCOMPARE(alert.buttons, QStringList{"Cancel"});
        // the details name the file and say why in plain words
        if (paths.size() == 1) {
            QVERIFY2(alert.detailedText.startsWith(paths.front() + QStringLiteral(": ")),
                     qPrintable(alert.detailedText));
            QFETCH(bool, refusedBeforeOpening);
            QCOMPARE(alert.detailedText.contains(QStringLiteral(": not a movie")), !refusedBeforeOpening);
        }
        QCOMPARE(app.pane(1).movie(), movieBefore);
        QCOMPARE(app.pane(1).filePath(), clips_.red);
        QVERIFY(app.pane(1).isAvailable());
        QVERIFY(!app.ctx().hasChanges());
        QCOMPARE(form.serialize(app.ctx().records()), recordsBefore);
        // nothing waits to be saved, and saving changes nothing either
        app.autosave();
        QCOMPARE(test::readAll(app.home.libraryFile()), fileBefore);
        app.nib->appDelegate().saveAction();
        QCOMPARE(test::readAll(app.home.libraryFile()), fileBefore);
        QCOMPARE(app.dialogs.alerts.size(), 1);
    }

private:
    test::TestClips clips_;
    QTemporaryDir scratch_;
    QList<test::BadMovieFile> files_;
};

QTEST_MAIN(TestBadMovies)
#include "tst_badmovies.moc"
