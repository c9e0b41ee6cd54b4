// A recording's files read off a folder and placed on the wall clock: the dates and times in names, the
// cameras of a camera folder, and what a folder of real clips becomes (gaps, overlaps, skips), listed off
// the GUI thread.
#include "TestClips.h"
#include "platform/fileNames.h"
#include "recording/RecordingLister.h"
#include "recording/RecordingScan.h"
#include "recording/WallClockName.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {

// an hour ahead of UTC in March, so a name read in UTC instead is caught
const QTimeZone Berlin(QByteArrayLiteral("Europe/Berlin"));

qint64 berlinMs(const QString& text)
{
    QDateTime read = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    read.setTimeZone(Berlin);
    return read.toMSecsSinceEpoch();
}

} // namespace

class TestRecordingLister : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        clips_ = TestClips::makeForTests();
        QVERIFY2(clips_.error.isEmpty(), qPrintable(clips_.error));
    }

    void startInName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("start"); // Berlin time; empty: none found
        const QString noon = QStringLiteral("2026-03-01 12:00:00");
        QTest::newRow("dashes") << "2026-03-01_12-00-00_front.mp4" << noon;
        QTest::newRow("compact with underscore") << "FRONT_20260301_120000.MP4" << noon;
        QTest::newRow("compact") << "20260301120000.mp4" << noon;
        QTest::newRow("space and dots") << "Cam 2026-03-01 12.00.00.mkv" << noon;
        QTest::newRow("year apart") << "2026_0301_120000_012F.MOV" << noon;
        QTest::newRow("afternoon") << "rec-20261231-235959.ts"
                                   << "2026-12-31 23:59:59";
        QTest::newRow("no real day, then a real one") << "20260231_120000_20260301_120000.mp4" << noon;
        QTest::newRow("no real day") << "20260231_120000.mp4"
                                     << "";
        QTest::newRow("no real time") << "20260301_246000.mp4"
                                      << "";
        QTest::newRow("inside a longer count") << "120260301120000.mp4"
                                               << "";
        QTest::newRow("date alone") << "2026-03-01.mp4"
                                    << "";
        QTest::newRow("no date") << "front.mp4"
                                 << "";
    }

    void startInName()
    {
        QFETCH(QString, name);
        QFETCH(QString, start);
        const std::optional<QDateTime> found = WallClockName::startIn(name, Berlin);
        QCOMPARE(found.has_value(), !start.isEmpty());
        if (found)
            QCOMPARE(found->toMSecsSinceEpoch(), berlinMs(start));
    }

    void cameraOf_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("camera");
        QTest::newRow("after the time") << "2026-03-01_12-00-00_front.mp4"
                                        << "front";
        QTest::newRow("before the date") << "FRONT_20260301_120000.MP4"
                                         << "FRONT";
        QTest::newRow("both sides") << "cam_20260301_120000_rear.mp4"
                                    << "cam_rear";
        QTest::newRow("file count left out") << "20260301_120000_0042_F.mp4"
                                             << "F";
        QTest::newRow("file count joined to the camera's letter") << "2026_0301_120000_012F.MOV"
                                                                  << "F";
        QTest::newRow("channel number kept") << "ch01 2026-03-01 12.00.00.mp4"
                                             << "ch01";
        QTest::newRow("date and time alone") << "20260301120000.mp4"
                                             << "";
        // a camera's own numbering, chapter and take included, names no camera of its own a file
        QTest::newRow("count after the camera's prefix") << "GH020123.MP4"
                                                         << "GH";
        QTest::newRow("count after a one-letter prefix") << "C0001.MP4"
                                                         << "C";
    }

    void cameraOf()
    {
        QFETCH(QString, name);
        QFETCH(QString, camera);
        QCOMPARE(WallClockName::cameraOf(name), camera);
    }

    void listFolder_data()
    {
        // Files as "name" (a 5 s clip), "name=short" (a 1 s clip), "name=text" (not a movie), "name=cut" (a
        // movie that does not open) or "name=fifo" (a link to a named pipe, which nothing writes to).
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("camera");
        // each piece as "name@start+length", start in seconds after 12:00:00 Berlin time
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("overlaps");
        QTest::newRow("in time order, with a gap")
            << QStringList{"c_2026-03-01_12-00-10.mp4", "c_2026-03-01_12-00-00.mp4",
                           "c_2026-03-01_12-00-05.mp4"}
            << ""
            << QStringList{"c_2026-03-01_12-00-00.mp4@0+5", "c_2026-03-01_12-00-05.mp4@5+5",
                           "c_2026-03-01_12-00-10.mp4@10+5"}
            << 0 << 0;
        QTest::newRow("gap between files")
            << QStringList{"c_2026-03-01_12-00-00.mp4", "c_2026-03-01_12-00-30.mp4"} << ""
            << QStringList{"c_2026-03-01_12-00-00.mp4@0+5", "c_2026-03-01_12-00-30.mp4@30+5"} << 0 << 0;
        QTest::newRow("the later takes over")
            << QStringList{"c_2026-03-01_12-00-00.mp4", "c_2026-03-01_12-00-03.mp4"} << ""
            << QStringList{"c_2026-03-01_12-00-00.mp4@0+3", "c_2026-03-01_12-00-03.mp4@3+5"} << 0 << 1;
        QTest::newRow("a file within another: the other plays on")
            << QStringList{"c_2026-03-01_12-00-00.mp4", "c_2026-03-01_12-00-02.mp4=short",
                           "c_2026-03-01_12-00-05.mp4"}
            << "" << QStringList{"c_2026-03-01_12-00-00.mp4@0+5", "c_2026-03-01_12-00-05.mp4@5+5"} << 0 << 1;
        QTest::newRow("same start") << QStringList{"a_2026-03-01_12-00-00.mp4", "b_2026-03-01_12-00-00.mp4"}
                                    << "" << QStringList{"b_2026-03-01_12-00-00.mp4@0+5"} << 0 << 1;
        QTest::newRow("not movies and broken ones skipped, hidden ones unnamed")
            << QStringList{"c_2026-03-01_12-00-00.mp4", "notes.txt=text", "c_2026-03-01_12-00-05.mp4=cut",
                           "c_2026-03-01_12-00-07.mp4=text", "._c_2026-03-01_12-00-00.mp4=text"}
            << "" << QStringList{"c_2026-03-01_12-00-00.mp4@0+5"} << 3 << 0;
        QTest::newRow("a link to a pipe skipped, not waited on")
            << QStringList{"c_2026-03-01_12-00-00.mp4", "c_2026-03-01_12-00-05.mp4=fifo"} << ""
            << QStringList{"c_2026-03-01_12-00-00.mp4@0+5"} << 1 << 0;
        QTest::newRow("one camera of several")
            << QStringList{"20260301_120000_front.mp4", "20260301_120000_back.mp4",
                           "20260301_120005_front.mp4"}
            << "front" << QStringList{"20260301_120000_front.mp4@0+5", "20260301_120005_front.mp4@5+5"} << 0
            << 0;
        // as another system wrote it: "é" in Latin-1
        const QString notUtf8 =
            QStringLiteral("c_2026-03-01_12-00-05_caf") + QChar(0xDCE9) + QStringLiteral(".mp4");
        QTest::newRow("a name that is not UTF-8")
            << QStringList{"c_2026-03-01_12-00-00.mp4", notUtf8} << ""
            << QStringList{"c_2026-03-01_12-00-00.mp4@0+5", notUtf8 + "@5+5"} << 0 << 0;
        QTest::newRow("no movies") << QStringList{"readme.txt=text"} << "" << QStringList{} << 1 << 0;
        QTest::newRow("empty") << QStringList{} << "" << QStringList{} << 0 << 0;
    }

    void listFolder()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, camera);
        QFETCH(QStringList, pieces);
        QFETCH(int, skipped);
        QFETCH(int, overlaps);
        const QString folder = makeFolder(files);
        Recording source;
        source.folder = folder;
        source.camera = camera;
        const Recording listed = RecordingLister::list(source, Berlin);
        for (const QString& file : files) {
            // which QTemporaryDir cannot name
            if (fileNames::holdsRawBytes(file))
                ::unlink(fileNames::toBytes(folder + u'/' + file).constData());
        }
        QStringList placed;
        for (const RecordingPiece& piece : listed.pieces)
            placed.append(QStringLiteral("%1@%2+%3")
                              .arg(QFileInfo(piece.path).fileName())
                              .arg((piece.startMs - berlinMs(QStringLiteral("2026-03-01 12:00:00"))) / 1000.0)
                              .arg(qRound(piece.lengthMs / 1000.0)));
        QCOMPARE(placed, pieces);
        QVERIFY2(listed.skipped.size() == skipped, qPrintable(listed.skipped.join(u'\n')));
        QCOMPARE(listed.overlaps.size(), overlaps);
        QCOMPARE(listed.folder, folder);
        QCOMPARE(listed.camera, camera);
    }

    // A name without a date: the file's modification time less its length (the clips carry no creation
    // time); a chosen list is taken as it is, not the folder around it.
    void startWithoutNameAndChosenFiles()
    {
        const QString folder = makeFolder({"front.mp4", "other.mp4"});
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(berlinMs("2026-03-01 12:00:05"));
        QFile file(folder + "/front.mp4");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
        Recording source;
        source.chosenFiles = QStringList{folder + "/front.mp4"};
        const Recording listed = RecordingLister::list(source, Berlin);
        QCOMPARE(listed.pieces.size(), 1);
        QCOMPARE(listed.pieces[0].startMs, berlinMs("2026-03-01 12:00:00"));
    }

    // The night the clocks go back, 02:30 happens twice: each file named so is put in the hour its own
    // modification time points to, an hour apart, and neither is dropped.
    void theHourTheClocksGoBack()
    {
        const QStringList names{"c_2026-10-25_02-30-00_001.mp4", "c_2026-10-25_02-30-00_002.mp4"};
        const QString folder = makeFolder(names);
        // 02:30 summer time is 00:30 UTC, 02:30 winter time 01:30 UTC; each file ends 5 s after it starts
        const qint64 firstMs =
            QDateTime(QDate(2026, 10, 25), QTime(0, 30), QTimeZone::utc()).toMSecsSinceEpoch();
        for (int n = 0; n < 2; ++n) {
            QFile file(folder + u'/' + names[n]);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(
                QDateTime::fromMSecsSinceEpoch(firstMs + n * 3600000 + 5000, QTimeZone::utc()),
                QFileDevice::FileModificationTime));
        }
        Recording source;
        source.folder = folder;
        const Recording listed = RecordingLister::list(source, Berlin);
        QCOMPARE(listed.pieces.size(), 2);
        QCOMPARE(listed.pieces[0].startMs, firstMs);
        QCOMPARE(listed.pieces[1].startMs, firstMs + 3600000);
        QVERIFY(listed.overlaps.isEmpty());
    }

    void scanOffTheGuiThread()
    {
        Recording source;
        source.folder = makeFolder({"c_2026-03-01_12-00-00.mp4", "c_2026-03-01_12-00-05.mp4"});
        RecordingScan scan;
        QSignalSpy finished(&scan, &RecordingScan::finished);
        QSignalSpy progress(&scan, &RecordingScan::progress);
        scan.start(source, Berlin);
        QVERIFY(scan.isRunning());
        QVERIFY(finished.wait());
        QCOMPARE(finished.first().first().value<Recording>().pieces.size(), 2);
        QVERIFY(!scan.isRunning());
        QCOMPARE(progress.last().at(0).toInt(), 2);

        // a cancelled listing never answers, also when a new one is started at once
        scan.start(source, Berlin);
        scan.cancel();
        scan.start(source, Berlin);
        QVERIFY(finished.wait());
        QTest::qWait(50);
        QCOMPARE(finished.size(), 2);
    }

private:
    QString makeFolder(const QStringList& files)
    {
        const QString folder = dirs_.emplace_back(std::make_unique<QTemporaryDir>())->path();
        for (const QString& given : files) {
            const QString name = given.section(u'=', 0, 0);
            const QString kind = given.section(u'=', 1);
            const QString path = folder + u'/' + name;
            if (kind.isEmpty()) {
                // by the name's bytes, which Qt's own calls cannot give for a name that is not UTF-8
                const QString copy = folder + QStringLiteral("/.copy");
                if (!QFile::copy(clips_.red, copy) ||
                    ::rename(QFile::encodeName(copy).constData(), fileNames::toBytes(path).constData()) != 0)
                    qFatal("cannot copy a clip to %s", qPrintable(path));
            } else if (kind == QLatin1String("short")) {
                QFile::copy(clips_.kind(QStringLiteral("video-only.mp4")), path);
            } else if (kind == QLatin1String("fifo")) {
                const QString pipe = folder + QStringLiteral("/.pipe");
                if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0 || !QFile::link(pipe, path))
                    qFatal("cannot make a pipe in %s", qPrintable(folder));
            } else {
                QFile out(path);
                out.open(QIODevice::WriteOnly);
                if (kind == QLatin1String("cut")) {
                    QFile clip(clips_.red);
                    clip.open(QIODevice::ReadOnly);
                    out.write(clip.read(200));
                } else {
                    out.write("not a movie\n");
                }
            }
        }
        return folder;
    }

    TestClips clips_;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
};

QTEST_GUILESS_MAIN(TestRecordingLister)
#include "tst_recordinglister.moc"
