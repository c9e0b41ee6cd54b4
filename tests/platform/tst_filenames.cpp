#include "platform/fileNames.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace tetrapan;

// File names are bytes: every name must come back as the bytes it was, whatever they are.
class TestFileNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ascii") << QByteArray("/m/a.mp4") << true;
        QTest::newRow("two, three and four bytes") << QByteArray("/m/ä日😀.mp4") << true;
        QTest::newRow("a replacement character of its own") << QByteArray("/m/\xef\xbf\xbd.mp4") << true;
        QTest::newRow("latin-1") << QByteArray("/m/caf\xe9 cr\xe8me.mp4") << false;
        QTest::newRow("a lone continuation byte") << QByteArray("/m/\x80.mp4") << false;
        QTest::newRow("cut short at the end") << QByteArray("/m/a.mp\xe6\x97") << false;
        QTest::newRow("overlong slash") << QByteArray("/m/\xc0\xaf.mp4") << false;
        QTest::newRow("a surrogate encoded") << QByteArray("/m/\xed\xb2\x80.mp4") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("/m/\xf4\x90\x80\x80.mp4") << false;
        QTest::newRow("valid beside invalid") << QByteArray("/m/\xff\xc3\xa4\xff.mp4") << false;
    }

    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        const QString name = fileNames::fromBytes(bytes);
        QCOMPARE(fileNames::toBytes(name), bytes);
        QCOMPARE(fileNames::holdsRawBytes(name), !utf8);
        // a UTF-8 name reads as Qt reads it, and what is shown never holds a lone surrogate
        if (utf8)
            QCOMPARE(name, QString::fromUtf8(bytes));
        QVERIFY(!fileNames::holdsRawBytes(fileNames::shown(name)));
        const QUrl url = fileNames::toFileUrl(name);
        QVERIFY(url.isValid());
        QCOMPARE(fileNames::fromFileUrl(QUrl(url.toString(QUrl::FullyEncoded))), name);
    }

    void factsOfANameThatIsNotUtf8()
    {
        QTemporaryDir folder;
        const QByteArray bytes = QFile::encodeName(folder.path()) + "/caf\xe9.mp4";
        std::ofstream(bytes.toStdString()) << "1234";
        const fileNames::Facts file = fileNames::facts(fileNames::fromBytes(bytes));
        QVERIFY(file.exists && file.isFile && !file.isFolder);
        QCOMPARE(file.size, 4);
        QVERIFY(fileNames::opensForReading(fileNames::fromBytes(bytes)));
        // as Qt would name it, the file is not there
        QVERIFY(!fileNames::exists(QString::fromUtf8(bytes)));
        QString why;
        QVERIFY(!fileNames::opensForReading(QString::fromUtf8(bytes), &why));
        QCOMPARE(why, QStringLiteral("No such file or directory"));
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_filenames.moc"
