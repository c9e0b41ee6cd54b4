// File > Export Video's window side on the whole program (fake engine, real barcode files): the job read off
// the window (places between the dividers, offsets, the A–B loop), the export running while the window
// goes on, and a cancel or a failure leaving nothing under the chosen name.
#include "AppFixture.h"
#include "FakeMovie.h"
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "RecordingClips.h"
#include "TestClips.h"

#include "engine/MovieView.h"
#include "layout/ExportProgressBar.h"
#include "layout/SplitSubView.h"
#include "layout/VideoExporter.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tetrapan;
using namespace tetrapan::test;

Q_DECLARE_METATYPE(tetrapan::ExportResult)

class TestVideoExporter : public QObject {
    Q_OBJECT

    // The window shown with playlist "a" chosen, the barcode clip in its first panes.
    void showBarcodes(AppFixture& app, int panes)
    {
        app.showWindow(640, 480);
        app.build(QStringLiteral("a"));
        for (int n = 1; n <= panes; ++n)
            app.entry(QStringLiteral("a"), n, clips_.barcode);
        app.ctx().processPendingChanges();
        app.choose(QStringLiteral("a"));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<ExportResult>();
        clips_ = TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    // File > Export Video's file panel offers the chosen format's files and adds its extension, not the
    // library's.
    void theFilePanelOffersTheChosenFormat_data()
    {
        QTest::addColumn<int>("format"); // its row in the dialog
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("MP4") << 0 << "MP4 videos (*.mp4)"
                             << "mp4";
        QTest::newRow("WebM") << 1 << "WebM videos (*.webm)"
                              << "webm";
        QTest::newRow("Matroska") << 2 << "Matroska videos (*.mkv)"
                                  << "mkv";
    }

    void theFilePanelOffersTheChosenFormat()
    {
        QFETCH(int, format);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        AppFixture app;
        app.showWindow(640, 480);
        app.build(QStringLiteral("a"));
        app.entry(QStringLiteral("a"), 1, clips_.barcode);
        app.ctx().setValue(app.node(QStringLiteral("a")), LibrarySchema::Title, QStringLiteral("Heats 1/2"));
        app.ctx().processPendingChanges();
        app.choose(QStringLiteral("Heats 1/2"));
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const QList<QComboBox*> boxes = dialog->findChildren<QComboBox*>();
            const auto chooser = std::find_if(boxes.begin(), boxes.end(), [](QComboBox* box) {
                return box->itemText(0).startsWith(QLatin1String("MP4"));
            });
            QVERIFY(chooser != boxes.end());
            (*chooser)->setCurrentIndex(format);
            answered = true;
            dialog->accept();
        });
        app.nib->videoExporter().exportVideo();
        QVERIFY(answered);
        QCOMPARE(app.dialogs.savePanels.size(), 1);
        const SavePanelRequest request = app.dialogs.savePanels.first();
        QCOMPARE(request.nameFilter, filter);
        QCOMPARE(request.defaultSuffix, suffix);
        // named after the playlist, as a file name can be
        QCOMPARE(request.fileName, QStringLiteral("Heats 1_2.") + suffix);
        QVERIFY(!app.nib->videoExporter().isExporting());
    }

    // A pane squeezed out of sight (another zoomed to the window, a divider at the edge) is left out: no
    // picture of it, and no sound of it mixed in.
    void aPaneOutOfSightIsLeftOut()
    {
        AppFixture app;
        showBarcodes(app, 2);
        app.viewMain().maximizeSplitViewFrame(1);
        QVERIFY(app.pane(1).isDisplay() && !app.pane(2).isDisplay());
        const ExportJob job =
            app.nib->videoExporter().jobFor(ExportChoices{}, QStringLiteral("/tmp/out.mp4"));
        QCOMPARE(job.panes[0].filePath, clips_.barcode);
        QVERIFY(job.panes[1].filePath.isEmpty());
    }

    // The window as the command found it is exported: a pane zoomed while the dialog is open (a frame play's
    // timer, the media controls) changes nothing, and the command given again meanwhile opens nothing more.
    void theWindowAsTheCommandFoundItIsExported()
    {
        AppFixture app;
        showBarcodes(app, 2);
        QTemporaryDir folder;
        app.dialogs.savePanelAnswers << folder.filePath(QStringLiteral("out.mp4"));
        VideoExporter& exporter = app.nib->videoExporter();
        bool secondDialog = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTimer::singleShot(0, [&] {
                if (QApplication::activeModalWidget() != dialog) {
                    secondDialog = true;
                    qobject_cast<QDialog*>(QApplication::activeModalWidget())->reject();
                }
            });
            exporter.exportVideo();
            QCoreApplication::processEvents();
            app.viewMain().maximizeSplitViewFrame(1);
            QVERIFY(!app.pane(2).isDisplay());
            dialog->accept();
        });
        exporter.exportVideo();
        QVERIFY(!secondDialog);
        QCOMPARE(app.dialogs.savePanels.size(), 1);
        QVERIFY(exporter.isExporting());
        QCOMPARE(exporter.exportJob().panes[1].filePath, clips_.barcode);
        QSignalSpy finished(&exporter, &VideoExporter::exportFinished);
        exporter.cancel();
        QVERIFY(finished.wait(60000));
    }

    void exportsWhatTheWindowShows_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("recordings"); // panes 1 and 2 hold recordings, pane 2's a second later
        QTest::newRow("finished") << "finished" << false;
        QTest::newRow("recordings placed on the wall clock") << "finished" << true;
        QTest::newRow("cancelled from the bar") << "cancelled" << false;
        QTest::newRow("unwritable place") << "failed" << false;
    }

    void exportsWhatTheWindowShows()
    {
        QFETCH(QString, ending);
        QFETCH(bool, recordings);
        AppFixture app;
        showBarcodes(app, 3);
        app.window().spvMain()->setSplitterPosition(QPointF(app.window().spvMain()->width() * 0.6, 0), false);
        // whole frames at 25 fps; the leader's own offset moves the loop's points on the common time line
        std::array<qint64, 3> offsets{120, 320, -80};
        for (int n = 1; n <= 3; ++n)
            app.coordinator().offsets().setOffsetMs(n, offsets[size_t(n - 1)]);
        QTemporaryDir folder;
        const QString damaged = folder.filePath(QStringLiteral("damaged.mp4"));
        for (int n = 1; recordings && n <= 2; ++n) {
            // the second starting a second later stands a second earlier in its own time; its second file,
            // from halfway through the range on, cannot be read
            Recording recording;
            const qint64 startMs = RecordingClips::startMs() + (n - 1) * 1000;
            recording.pieces.append({clips_.barcode, startMs, n == 1 ? 5000 : 500, {}});
            if (n == 2)
                recording.pieces.append({damaged, startMs + 500, 1000, {}});
            static_cast<FakeMovie*>(app.pane(n).movie())->playsRecording = recording;
        }
        QVERIFY(!recordings || writeAll(damaged, "no movie"));
        if (recordings)
            offsets[1] -= 1000;
        PaneTimeline& timeline = app.nib->paneTimeline();
        auto* leader = static_cast<FakeMovie*>(app.pane(1).movie());
        leader->moveTo(MovieTime::fromSeconds(1.12));
        timeline.changeLoop();
        leader->moveTo(MovieTime::fromSeconds(1.52));
        timeline.changeLoop();

        const QString path = folder.filePath(ending == "failed" ? "gone/out.mp4" : "out.mp4");
        VideoExporter& exporter = app.nib->videoExporter();
        ExportChoices choices;
        choices.size = QSize(320, 240);
        const ExportJob job = exporter.jobFor(choices, path);
        QCOMPARE(job.startMs, 1000);
        QCOMPARE(job.endMs, 1400);
        QVERIFY(job.panes[3].filePath.isEmpty());
        const QWidget* area = app.window().spvMain();
        for (int n = 1; n <= 3; ++n) {
            QCOMPARE(job.panes[size_t(n - 1)].offsetMs, offsets[size_t(n - 1)]);
            QCOMPARE(job.panes[size_t(n - 1)].recording.pieces.size(), recordings && n <= 2 ? n : 0);
            const QWidget* view = app.pane(n).movieView();
            const QPoint at = view->mapTo(area, QPoint(0, 0));
            const QRect expected(at.x() * 320 / area->width(), at.y() * 240 / area->height(),
                                 view->width() * 320 / area->width(), view->height() * 240 / area->height());
            const QRect place = job.panes[size_t(n - 1)].place;
            QVERIFY2((place.topLeft() - expected.topLeft()).manhattanLength() <= 2 &&
                         std::abs(place.width() - expected.width()) <= 1 &&
                         std::abs(place.height() - expected.height()) <= 1,
                     qPrintable(QStringLiteral("pane %1").arg(n)));
        }

        QSignalSpy finished(&exporter, &VideoExporter::exportFinished);
        QVERIFY(exporter.start(job));
        QVERIFY(exporter.progressBar().isVisible());
        if (ending == "cancelled")
            exporter.progressBar().cancelButton()->click();
        QVERIFY(finished.wait(60000));
        const auto result = finished.first().first().value<ExportResult>();
        QCOMPARE(result.ok, ending == "finished");
        QCOMPARE(result.cancelled, ending == "cancelled");
        QCOMPARE(app.dialogs.alerts.size(), ending == "failed" || recordings ? 1 : 0);
        if (ending == "failed")
            QVERIFY2(app.dialogs.alerts.first().informativeText.contains("cannot write in"),
                     qPrintable(app.dialogs.alerts.first().informativeText));
        if (recordings)
            QVERIFY2(app.dialogs.alerts.first().detailedText.contains("Pane 2's recording: damaged.mp4"),
                     qPrintable(app.dialogs.alerts.first().detailedText));
        if (ending != "finished") {
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
            return;
        }
        // the first frame: each pane's picture where the window has it, at the loop's start plus its offset
        std::array<std::optional<int>, 3> frames;
        const ReadBack back = readMovieBack(path, [&](const QImage& picture, int) {
            for (size_t i = 0; i < frames.size(); ++i) {
                const QRect place = job.panes[i].place;
                frames[i] = FrameBarcode::read(picture.copy(
                    FrameBarcode::pictureRect(place.size(), 4.0 / 3.0).translated(place.topLeft())));
            }
            return false;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        for (size_t i = 0; i < frames.size(); ++i)
            QCOMPARE(frames[i], std::optional(25 + int(offsets[i] / 40)));
    }

private:
    TestClips clips_;
};

QTEST_MAIN(TestVideoExporter)
#include "tst_videoexporter.moc"
