#include "library/fileAttributeExtension.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tetrapan;
namespace fae = tetrapan::fileAttributeExtension;

namespace {

bool writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

} // namespace

class TestFileAttributeExtension : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString at(const QString& name) const { return QDir(dir_.path()).filePath(name); }

private Q_SLOTS:
    void fileSizeText_data()
    {
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0 KB";
        QTest::newRow("100 bytes") << 100.0 << "0.1 KB";
        QTest::newRow("2 KB") << 2048.0 << "2.0 KB";
        QTest::newRow("just below 2^20") << 1048575.0 << "1024.0 KB";
        QTest::newRow("2^20") << 1048576.0 << "1.0 MB";
        QTest::newRow("1.5 MB") << 1572864.0 << "1.5 MB";
        QTest::newRow("just below 2^30") << 1073741823.0 << "1024.0 MB";
        QTest::newRow("2^30") << 1073741824.0 << "1.0 GB";
        QTest::newRow("3 GB") << 3221225472.0 << "3.0 GB";
        QTest::newRow("5 TB in GB") << 5497558138880.0 << "5120.0 GB";
    }
    void fileSizeText()
    {
        QFETCH(double, size);
        QFETCH(QString, text);
        QCOMPARE(fae::convertFileSizeToString(size), text);
    }

    void timeText_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0:00";
        QTest::newRow("5") << 5 << "0:05";
        QTest::newRow("59") << 59 << "0:59";
        QTest::newRow("60") << 60 << "1:00";
        QTest::newRow("75") << 75 << "1:15";
        QTest::newRow("600") << 600 << "10:00";
        QTest::newRow("3599") << 3599 << "59:59";
        QTest::newRow("3600") << 3600 << "1:00:00";
        QTest::newRow("3725") << 3725 << "1:02:05";
        QTest::newRow("36000") << 36000 << "10:00:00";
        QTest::newRow("100 hours") << 360000 << "100:00:00";
    }
    void timeText()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(fae::convertTimeToString(seconds), text);
    }

    void zeroFormat_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "00000000";
        QTest::newRow("1") << qint64(1) << "00000001";
        QTest::newRow("-5") << qint64(-5) << "-00000005";
        QTest::newRow("8 digits") << qint64(99999999) << "99999999";
        QTest::newRow("9 digits") << qint64(100000000) << "100000000";
        QTest::newRow("int max") << qint64(2147483647) << "2147483647";
    }
    void zeroFormat()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(fae::convertToZeroFormat(value), text);
    }

    void comma_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "0";
        QTest::newRow("999") << qint64(999) << "999";
        QTest::newRow("1000") << qint64(1000) << "1,000";
        QTest::newRow("1234567") << qint64(1234567) << "1,234,567";
        QTest::newRow("-1234") << qint64(-1234) << "-1,234";
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << "-9,223,372,036,854,775,808";
    }
    void comma()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(fae::convertToComma(value), text);
    }

    void deleteLastString_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("matching suffix") << "movie.mov"
                                         << ".mov"
                                         << "movie" << true;
        QTest::newRow("other suffix") << "movie.mov"
                                      << ".avi"
                                      << "movie.mov" << false;
        QTest::newRow("whole text") << ".mov"
                                    << ".mov"
                                    << "" << true;
        QTest::newRow("suffix longer than text") << "mov"
                                                 << "movie.mov"
                                                 << "mov" << false;
        QTest::newRow("suffix in the middle") << "a.mov.bak"
                                              << ".mov"
                                              << "a.mov.bak" << false;
    }
    void deleteLastString()
    {
        QFETCH(QString, text);
        QFETCH(QString, suffix);
        QFETCH(QString, result);
        QFETCH(bool, deleted);
        bool flag = !deleted;
        QCOMPARE(fae::deleteLastString(text, suffix, &flag), result);
        QCOMPARE(flag, deleted);
    }

    void existenceAndKinds()
    {
        QVERIFY(writeFile(at("clip.mov"), 10));
        QVERIFY(QDir().mkdir(at("folder")));
        QCOMPARE(fae::checkFileExists(at("clip.mov")), int(fae::FileIsFile));
        QCOMPARE(fae::checkFileExists(at("folder")), int(fae::FileIsFolder));
        QCOMPARE(fae::checkFileExists(at("nothing")), int(fae::FileMissing));
        QCOMPARE(fae::checkFileExists(QString()), int(fae::FileMissing));

        QCOMPARE(fae::checkFileCollect(at("folder"), "file"), int(fae::CollectOtherKind));
        QCOMPARE(fae::checkFileCollect(at("folder"), "folder"), int(fae::CollectMatches));
        QCOMPARE(fae::checkFileCollect(at("clip.mov"), "folder"), int(fae::CollectOtherKind));
        QCOMPARE(fae::checkFileCollect(at("clip.mov"), "file"), int(fae::CollectMatches));
        QCOMPARE(fae::checkFileCollect(at("clip.mov"), "anything"), int(fae::CollectMatches));
        QCOMPARE(fae::checkFileCollect(at("nothing"), "file"), int(fae::CollectMissing));

        QCOMPARE(fae::checkAndCreateFolder(at("folder")), int(fae::FolderPresent));
        QCOMPARE(fae::checkAndCreateFolder(at("clip.mov")), int(fae::FolderBlocked));
        QCOMPARE(fae::checkAndCreateFolder(at("made")), int(fae::FolderPresent));
        QCOMPARE(fae::checkFileExists(at("made")), int(fae::FileIsFolder));
        // one level only: a missing parent is not made on the way
        QCOMPARE(fae::checkAndCreateFolder(at("no/such/place")), int(fae::FolderCreateFailed));
        QVERIFY(!fae::createNewDirectory(QString()));
        QCOMPARE(fae::createfileAttbDict().size(), 3);
    }

    void resolvesLinks()
    {
        QVERIFY(writeFile(at("target.mov"), 5));
        QVERIFY(QFile::link(at("target.mov"), at("link1")));
        QVERIFY(QFile::link(at("link1"), at("link2")));
        QVERIFY(QFile::link(at("gone.mov"), at("broken")));
        QVERIFY(QFile::link(at("loopA"), at("loopB")));
        QVERIFY(QFile::link(at("loopB"), at("loopA")));

        QCOMPARE(fae::resolveAliasFileWithPath(at("target.mov")), at("target.mov"));
        QCOMPARE(fae::resolveAliasFileWithPath(at("link1")), at("target.mov"));
        QCOMPARE(fae::resolveAliasFileWithPath(at("link2")), at("target.mov"));
        QVERIFY(fae::resolveAliasFileWithPath(at("broken")).isNull());
        QVERIFY(fae::resolveAliasFileWithPath(at("loopA")).isNull());
        QVERIFY(fae::resolveAliasFileWithPath(at("nothing")).isNull());
        QCOMPARE(fae::checkFileExists(at("broken")), int(fae::FileMissing));
    }

    void attributesOfAFile()
    {
        QVERIFY(writeFile(at("clip.mov"), 3 * 1024 * 1024));
        const QDateTime stamp(QDate(2008, 3, 15), QTime(10, 20, 30), Qt::LocalTime);
        {
            QFile file(at("clip.mov"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        const QVariantMap a = fae::getFileAttribute(at("clip.mov"));
        QCOMPARE(a.value(fae::FileExist).toBool(), true);
        QCOMPARE(a.value(fae::FileName).toString(), QStringLiteral("clip.mov"));
        QCOMPARE(a.value(fae::FileType).toString(), QStringLiteral("file"));
        QCOMPARE(a.value(fae::FileTypeName).toString(), QString());
        QCOMPARE(a.value(fae::FileSize).toLongLong(), qint64(3 * 1024 * 1024));
        QCOMPARE(a.value(fae::FileSizeStr).toString(), QStringLiteral("3.0 MB"));
        QCOMPARE(a.value(fae::FileDate).toDateTime(), stamp);
        QCOMPARE(a.value(fae::FileDateStr).toString(), QStringLiteral("2008/03/15"));
        QCOMPARE(a.value(fae::FileTimeStr).toString(), QStringLiteral("10:20:30"));
    }

    void attributesOfAFolderSumEverythingBelow()
    {
        QVERIFY(QDir().mkpath(at("tree/sub/deeper")));
        QVERIFY(writeFile(at("tree/a"), 1000));
        QVERIFY(writeFile(at("tree/.hidden"), 24));
        QVERIFY(writeFile(at("tree/sub/b"), 2000));
        QVERIFY(writeFile(at("tree/sub/deeper/c"), 48576));
        // a link back up the tree must not be walked into
        QVERIFY(QFile::link(at("tree"), at("tree/sub/up")));
        const QVariantMap a = fae::getFileAttribute(at("tree"));
        QCOMPARE(a.value(fae::FileType).toString(), QStringLiteral("folder"));
        QCOMPARE(a.value(fae::FileSize).toLongLong(), qint64(51600));
        QCOMPARE(a.value(fae::FileSizeStr).toString(), QStringLiteral("50.4 KB"));
    }

    void attributesOfNothing()
    {
        const QVariantMap a = fae::getFileAttribute(at("nothing"));
        QCOMPARE(a.keys(), QStringList{fae::FileExist});
        QCOMPARE(a.value(fae::FileExist).toBool(), false);
    }

    void sparseFileOfThreeGigabytesKeepsItsSize()
    {
        const qint64 threeGB = qint64(3) << 30;
        QFile file(at("big.mov"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(threeGB))
            QSKIP("this file system cannot hold a sparse file of 3 GB");
        file.close();
        const QVariantMap a = fae::getFileAttribute(at("big.mov"));
        QCOMPARE(a.value(fae::FileSize).toLongLong(), threeGB);
        QCOMPARE(a.value(fae::FileSizeStr).toString(), QStringLiteral("3.0 GB"));
    }
};

QTEST_GUILESS_MAIN(TestFileAttributeExtension)
#include "tst_fileattributeextension.moc"
