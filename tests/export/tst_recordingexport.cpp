// Recordings exported as the panes play them, on generated recordings read back with the FFmpeg libraries.
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "RecordingClips.h"
#include "export/VideoExport.h"
#include "platform/fileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {

// the left column of the export's other tests: two panes one over the other
const std::array<QRect, 2> Places{QRect(0, 0, 192, 120), QRect(0, 120, 192, 120)};
std::atomic<bool> noCancel{false};

} // namespace

class TestRecordingExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        recordings_ = RecordingClips::makeForTests(RecordingClips::twoCameras());
        QVERIFY2(recordings_.ok(), qPrintable(recordings_.error));
    }

    // Recordings exported as the panes play them: each file at its place on the recording's time line,
    // black where no file plays or a file cannot be read, the export's start landing in the right file.
    void recordingPanes_data()
    {
        QTest::addColumn<qint64>("startMs");
        QTest::addColumn<int>("secondCamera");
        QTest::addColumn<qint64>("secondOffsetMs");
        QTest::addColumn<int>("unreadablePiece"); // of the second pane's recording; -1 none
        QTest::addColumn<bool>("listedByExport");
        QTest::addColumn<bool>("soundTrack");
        QTest::newRow("a boundary and a gap, beside another camera")
            << qint64(5500) << 1 << qint64(-1000) << -1 << false << true;
        QTest::newRow("listed by the export from its folder, whose name is not UTF-8")
            << qint64(5500) << 0 << qint64(2500) << -1 << true << true;
        QTest::newRow("from a later file on, a file gone since the listing")
            << qint64(9200) << 0 << qint64(-3500) << 2 << false << true;
        QTest::newRow("only the file without sound heard: no sound track")
            << qint64(3200) << 0 << qint64(0) << -1 << false << false;
    }

    void recordingPanes()
    {
        QFETCH(qint64, startMs);
        QFETCH(int, secondCamera);
        QFETCH(qint64, secondOffsetMs);
        QFETCH(int, unreadablePiece);
        QFETCH(bool, listedByExport);
        QFETCH(bool, soundTrack);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.mp4"));
        ExportJob job;
        job.size = QSize(320, 240);
        job.startMs = startMs;
        job.endMs = startMs + 2500;
        job.outputPath = path;
        const std::array<int, 2> cameras{0, secondCamera};
        const std::array<qint64, 2> offsets{0, secondOffsetMs};
        // the byte 0xE9 in a name, kept as it is
        const QString oddName = folder.filePath(QStringLiteral("front") + QChar(0xDCE9));
        QCOMPARE(::symlink(QFile::encodeName(recordings_.recordings[0].folder).constData(),
                           fileNames::toBytes(oddName).constData()),
                 0);
        for (size_t i = 0; i < 2; ++i) {
            const Recording& recording = recordings_.recordings[cameras[i]];
            job.panes[i].filePath = listedByExport && i == 0 ? oddName : recording.folder;
            job.panes[i].recording = listedByExport && i == 0 ? Recording{} : recording;
            job.panes[i].offsetMs = offsets[i];
            job.panes[i].place = Places[i];
        }
        QString unreadableName;
        if (unreadablePiece >= 0) {
            RecordingPiece& piece = job.panes[1].recording.pieces[unreadablePiece];
            unreadableName = QFileInfo(piece.path).fileName();
            piece.path = folder.filePath(unreadableName);
        }
        // the frame a pane shows at a time of its recording, or nothing where it should be black
        const auto shown = [&](size_t pane, qint64 ms) -> std::optional<int> {
            const QVector<RecordingPiece>& pieces = recordings_.recordings[cameras[pane]].pieces;
            for (int p = 0; p < pieces.size(); ++p) {
                const qint64 from = pieces[p].startMs - RecordingClips::startMs();
                if (ms >= from && ms < from + pieces[p].lengthMs)
                    return pane == 1 && p == unreadablePiece ? std::nullopt
                                                             : std::optional<int>(recordings_.frameAt(ms));
            }
            return std::nullopt;
        };

        // the leader's sound alone: front's second file has none, and its gap none
        job.panes[1].heard = false;
        const auto heard = [&](qint64 ms) {
            const QVector<RecordingPiece>& pieces = recordings_.recordings[0].pieces;
            for (int p = 0; p < pieces.size(); ++p) {
                const qint64 from = pieces[p].startMs - RecordingClips::startMs();
                if (ms >= from && ms < from + pieces[p].lengthMs)
                    return !recordings_.layout.silentFiles.contains(p);
            }
            return false;
        };

        const ExportResult result = runVideoExport(job, noCancel, {});
        QVERIFY2(result.ok, qPrintable(result.message));
        const std::vector<float> peaks = readSoundPeaks(path, 0.1);
        QVERIFY(soundTrack ? peaks.size() >= 24 : peaks.empty());
        for (size_t w = 0; w < peaks.size() && w < 24; ++w) {
            const qint64 from = startMs + qint64(w) * 100;
            // the encoder's frames smear a change over a few hundredths of a second
            if (heard(from - 50) != heard(from + 150))
                continue;
            QVERIFY2(heard(from) ? peaks[w] > 0.05f : peaks[w] < 0.01f,
                     qPrintable(QStringLiteral("%1 ms: %2").arg(from).arg(peaks[w])));
        }
        QCOMPARE(result.warning.isEmpty(), unreadableName.isEmpty());
        QVERIFY2(result.warning.contains(unreadableName), qPrintable(result.warning));
        const int rate = recordings_.layout.framesPerSecond;
        int mismatches = 0;
        const ReadBack back = readMovieBack(path, [&](const QImage& picture, int n) {
            for (size_t i = 0; i < 2; ++i) {
                const QRect pictureRect =
                    FrameBarcode::pictureRect(Places[i].size(), 4.0 / 3.0).translated(Places[i].topLeft());
                const std::optional<int> frame = FrameBarcode::read(picture.copy(pictureRect));
                const std::optional<int> expected = shown(i, startMs + n * 1000 / rate + offsets[i]);
                // a black band reads as frame 0
                const bool black = frame.value_or(0) == 0 && qGray(picture.pixel(pictureRect.center())) <= 16;
                if (expected ? frame != expected : !black) {
                    qWarning("output frame %d, pane %d shows %d, not %d", n, int(i) + 1, frame.value_or(-1),
                             expected.value_or(-1));
                    ++mismatches;
                }
            }
            return true;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.pictures, rate * 5 / 2); // at the leading recording's own rate
        QCOMPARE(mismatches, 0);
    }

private:
    RecordingClips recordings_;
};

QTEST_MAIN(TestRecordingExport)
#include "tst_recordingexport.moc"
