// A recording of several files played by the real engine as one movie: the pictures read back by their
// barcodes, which number the frames on the wall clock, across file boundaries, after seeks into later files
// and through a gap, with files with and without sound tracks mixed; each recording listed as the panes list
// it, so the engine builds its timeline from what the listing read of the files' tracks.
#include "FrameBarcode.h"
#include "RecordingClips.h"

#include "engine/MpvMovieEngine.h"
#include "engine/MpvRecordingTimeline.h"
#include "platform/fileNames.h"
#include "recording/RecordingLister.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace tetrapan;
using tetrapan::test::RecordingClips;

namespace {
constexpr int EventTimeoutMs = 20000;
// What a gap shows: a black picture, read as this.
constexpr int Black = -1;
} // namespace

class TestMpvRecording : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = RecordingClips::makeForTests(RecordingClips::twoCameras());
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        MpvMovieEngine::Options options;
        options.movie.nullAudio = true;
        options.drawingPath = DrawingPath::Software;
        options.movie.video = MpvVideoOutput::Null;
        engine_ = std::make_unique<MpvMovieEngine>(options);
    }

    void opensAsOneMovieOnTheWallClock()
    {
        const auto movie = open(0);
        QVERIFY(movie);
        QVERIFY(movie->recording());
        QCOMPARE(movie->recording()->startMs(), RecordingClips::startMs());
        QCOMPARE(movie->filePath(), clips_.cameraFolders[0]);
        // the gap is part of its time
        QCOMPARE(movie->duration().seconds(), 12.0);
        // it is heard by the timeline's own sound, whole where a file has none, not by the files' tracks
        QCOMPARE(static_cast<MpvMovie*>(movie.get())->propertyText("aid"), QStringLiteral("2"));
    }

    // Each row seeks to `at` ms after the start (after one to `before`, where that is not -1), then steps on
    // frame by frame: `frames` are what shows.
    void showsTheFramesOfTheWallClock_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("at");
        QTest::addColumn<QList<int>>("frames");
        QTest::newRow("across a boundary, into a file without sound")
            << 0 << -1 << 2800 << QList<int>{28, 29, 30, 31, 32};
        QTest::newRow("into a later file") << 0 << -1 << 10000 << QList<int>{100, 101};
        QTest::newRow("into the gap") << 0 << -1 << 8000 << QList<int>{Black, Black};
        QTest::newRow("through the gap's end") << 0 << -1 << 8800 << QList<int>{Black, Black, 90, 91, 92};
        QTest::newRow("to the gap's start") << 0 << -1 << 7300 << QList<int>{73, 74, Black};
        // the gap shows again, where a source made up as it played had run dry and the next file showed
        QTest::newRow("back into the gap from its end") << 0 << 8800 << 8200 << QList<int>{Black, Black};
        QTest::newRow("a recording without gaps") << 1 << -1 << 5800 << QList<int>{58, 59, 60, 61};
    }

    void showsTheFramesOfTheWallClock()
    {
        QFETCH(int, camera);
        QFETCH(int, before);
        QFETCH(int, at);
        QFETCH(QList<int>, frames);
        const auto movie = open(camera);
        QVERIFY(movie);
        if (before >= 0) {
            movie->setCurrentTime(MovieTime::fromSeconds(before / 1000.0));
            QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
            QCOMPARE(shown(*movie), Black);
        }
        movie->setCurrentTime(MovieTime::fromSeconds(at / 1000.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        for (qsizetype n = 0; n < frames.size(); ++n) {
            if (n > 0) {
                const double before = movie->positionSeconds();
                movie->stepFrame(true);
                QTRY_VERIFY_WITH_TIMEOUT(movie->positionSeconds() > before + 0.05, EventTimeoutMs);
            }
            QCOMPARE(shown(*movie), frames[n]);
        }
    }

    // A stretch without sound (the gap, the file without a sound track) must not make the movie skip it.
    void playsOnThroughTheGap()
    {
        const auto movie = open(0);
        QVERIFY(movie);
        movie->setCurrentTime(MovieTime::fromSeconds(2.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        QList<double> positions{movie->positionSeconds()};
        connect(movie.get(), &Movie::timeDidChange, this, [&] { positions << movie->positionSeconds(); });
        movie->play();
        QTRY_VERIFY_WITH_TIMEOUT(movie->positionSeconds() > 9.3, EventTimeoutMs);
        movie->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking() && movie->rate() == 0.0f, EventTimeoutMs);
        for (qsizetype n = 1; n < positions.size(); ++n)
            QVERIFY2(positions[n] - positions[n - 1] < 0.5,
                     qPrintable(QStringLiteral("%1 to %2").arg(positions[n - 1]).arg(positions[n])));
        QVERIFY(movie->positionSeconds() < 11.0);
        QCOMPARE(shown(*movie), int(std::lround(movie->positionSeconds() * 10)));
    }

    // A recording whose first file has no sound (a loop-recording camera deleted the one before): the
    // timeline's own sound is chosen before it loads, where a switch after ran into the first seek.
    void aFirstFileWithoutSoundSeeksAtOnce()
    {
        Recording source;
        for (qsizetype n = 1; n < clips_.recordings[0].pieces.size(); ++n)
            source.chosenFiles << clips_.recordings[0].pieces[n].path;
        const Recording listed = RecordingLister::list(source, QTimeZone::utc());
        QVERIFY(!listed.pieces.isEmpty() && !listed.pieces[0].tracks.hasSound);
        std::optional<MovieOpenResult> answer;
        engine_->openRecording(listed, [&answer](MovieOpenResult r) { answer = std::move(r); });
        QVERIFY(QTest::qWaitFor([&answer] { return answer.has_value(); }, EventTimeoutMs));
        QVERIFY2(answer->movie, qPrintable(answer->error));
        Movie& movie = *answer->movie;
        movie.setCurrentTime(MovieTime::fromSeconds(1.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie.isSeeking(), EventTimeoutMs);
        QCOMPARE(shown(movie), 40);
        // mpv numbers the tracks as they were counted when the sound was chosen: none switched to, late
        QVector<MpvPieceFacts> facts;
        for (const RecordingPiece& piece : listed.pieces)
            facts << MpvRecordingTimeline::factsOf(piece);
        QCOMPARE(static_cast<MpvMovie&>(movie).propertyText("aid"),
                 QString::number(MpvRecordingTimeline::soundStreamTrack(listed, facts)));
    }

    // A file gone since the listing plays black, and the recording the pane shows has a gap there.
    void aFileGoneSinceTheListingIsAGap()
    {
        Recording source;
        source.folder = clips_.cameraFolders[0];
        Recording listed = RecordingLister::list(source, QTimeZone::utc());
        QCOMPARE(listed.pieces.size(), 4);
        listed.pieces[1].path += QStringLiteral(".gone");
        const auto movie = open(listed);
        QVERIFY(movie);
        const qint64 start = RecordingClips::startMs();
        QCOMPARE(movie->recording()->gaps(),
                 (QVector<WallSpan>{{start + 3000, start + 6000}, {start + 7500, start + 9000}}));
        movie->setCurrentTime(MovieTime::fromSeconds(4.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        QCOMPARE(shown(*movie), Black);
    }

    // A file named on another system ("é" in Latin-1) plays as the others do, not as a gap.
    void aNameThatIsNotUtf8Plays()
    {
        QTemporaryDir copy;
        QString unnamed;
        const QStringList names = QDir(clips_.cameraFolders[1]).entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 4);
        for (qsizetype n = 0; n < names.size(); ++n) {
            QString name = names[n];
            if (n == 1) {
                name.insert(name.lastIndexOf(u'.'), QChar(0xDCE9)); // the byte 0xE9, kept as it is
                unnamed = name;
            }
            const QString made = copy.filePath(QStringLiteral("made"));
            QVERIFY(QFile::copy(QDir(clips_.cameraFolders[1]).filePath(names[n]), made));
            QCOMPARE(::rename(QFile::encodeName(made).constData(),
                              fileNames::toBytes(copy.filePath(name)).constData()),
                     0);
        }
        const auto movie = open(copy.path(), 4);
        QVERIFY(movie);
        movie->setCurrentTime(MovieTime::fromSeconds(4.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        QCOMPARE(shown(*movie), 40);
        // which QTemporaryDir cannot name
        QCOMPARE(::unlink(fileNames::toBytes(copy.filePath(unnamed)).constData()), 0);
    }

private:
    std::unique_ptr<Movie> open(int camera)
    {
        return open(clips_.cameraFolders[camera], int(clips_.recordings[camera].pieces.size()));
    }

    std::unique_ptr<Movie> open(const QString& folder, int files)
    {
        Recording source;
        source.folder = folder;
        // the clips are named in UTC
        const Recording listed = RecordingLister::list(source, QTimeZone::utc());
        if (listed.pieces.size() != files || !listed.pieces.first().tracks.known)
            return nullptr;
        return open(listed);
    }

    std::unique_ptr<Movie> open(const Recording& listed)
    {
        std::optional<MovieOpenResult> answer;
        engine_->openRecording(listed, [&answer](MovieOpenResult r) { answer = std::move(r); });
        if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, EventTimeoutMs))
            return nullptr;
        if (!answer->movie)
            qWarning() << answer->error;
        return std::move(answer->movie);
    }

    // The frame number the picture on show carries, or Black.
    static int shown(Movie& movie)
    {
        QSignalSpy ready(&movie, &Movie::frameImageReady);
        movie.requestFrameImage();
        if (!ready.wait(EventTimeoutMs))
            return -2;
        const QImage picture = ready.first().at(1).value<QImage>();
        if (qGray(picture.pixel(picture.rect().center())) < 16)
            return Black;
        return test::FrameBarcode::read(picture).value_or(-3);
    }

    RecordingClips clips_;
    std::unique_ptr<MpvMovieEngine> engine_;
};

QTEST_MAIN(TestMpvRecording)
#include "tst_mpvrecording.moc"
