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
    // Each text format at its boundaries: s file size, t play time, z zero-filled number, c thousands.
    void formats_data()
    {
        QTest::addColumn<char>("format");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        const auto row = [](char format, qint64 value, const char* text) {
            QTest::addRow("%c %lld", format, value) << format << value << QString::fromUtf8(text);
        };
        row('s', 0, "0.0 KB");
        row('s', 100, "0.1 KB");
        row('s', 1048575, "1024.0 KB");
        row('s', 1048576, "1.0 MB");
        row('s', 1572864, "1.5 MB");
        row('s', 1073741823, "1024.0 MB");
        row('s', 1073741824, "1.0 GB");
        row('s', 5497558138880, "5120.0 GB");
        row('t', 0, "0:00");
        row('t', 59, "0:59");
        row('t', 60, "1:00");
        row('t', 3599, "59:59");
        row('t', 3600, "1:00:00");
        row('t', 3725, "1:02:05");
        row('t', 360000, "100:00:00");
        row('z', 1, "00000001");
        row('z', -5, "-00000005");
        row('z', 99999999, "99999999");
        row('z', 100000000, "100000000");
        row('c', 999, "999");
        row('c', 1000, "1,000");
        row('c', 1234567, "1,234,567");
        row('c', -1234, "-1,234");
        row('c', std::numeric_limits<qint64>::min(), "-9,223,372,036,854,775,808");
    }
    void formats()
    {
        QFETCH(char, format);
        QFETCH(qint64, value);
        const QString text = format == 's'   ? fae::convertFileSizeToString(double(value))
                             : format == 't' ? fae::convertTimeToString(int(value))
                             : format == 'z' ? fae::convertToZeroFormat(value)
                                             : fae::convertToComma(value);
        QTEST(text, "text");
    }

    // only a suffix at the very end goes, and the flag says whether it went
    void deleteLastString()
    {
        const auto cut = [](const QString& text, const QString& suffix) {
            bool a = false, b = true; // the flag is written either way
            fae::deleteLastString(text, suffix, &a);
            const QString rest = fae::deleteLastString(text, suffix, &b);
            return rest + (a != b ? "|unset" : a ? "|deleted" : "|kept");
        };
        QCOMPARE(cut("movie.mov", ".mov"), QStringLiteral("movie|deleted"));
        QCOMPARE(cut(".mov", ".mov"), QStringLiteral("|deleted"));
        QCOMPARE(cut("movie.mov", ".avi"), QStringLiteral("movie.mov|kept"));
        QCOMPARE(cut("mov", "movie.mov"), QStringLiteral("mov|kept"));
        QCOMPARE(cut("a.mov.bak", ".mov"), QStringLiteral("a.mov.bak|kept"));
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
        // of nothing there is nothing to say but that
        const QVariantMap none = fae::getFileAttribute(at("nothing"));
        QCOMPARE(none.keys(), QStringList{fae::FileExist});
        QCOMPARE(none.value(fae::FileExist).toBool(), false);
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
};

QTEST_GUILESS_MAIN(TestFileAttributeExtension)
#include "tst_fileattributeextension.moc"
