#include "TestHome.h"

#include "library/LibrarySchema.h"
#include "library/RecordingSource.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"
#include "platform/XmlStoreParsers.h"
#include "platform/XmlStoreReader.h"
#include "platform/fileNames.h"

#include <QDir>
#include <QStringEncoder>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tetrapan;
namespace schema = tetrapan::LibrarySchema;

namespace {

const QByteArray& Header = test::LibraryHeader;
using test::library;

} // namespace

class TestXmlStore : public QObject {
    Q_OBJECT

private:
    ObjectModel model_ = schema::model();

private Q_SLOTS:
    // The documented form holds every kind of value; read as at start-up (on a worker thread while the
    // program builds its windows), grown by one record and saved, it comes back byte for byte with that
    // record added: files diff well and other tools can rely on the form.
    void everyKindRoundTripsInTheDocumentedForm()
    {
        const QString oddText = QStringLiteral("a\x01-\r") + fileNames::fromBytes("\xff");
        const QByteArray playlists =
            "  <playlist id=\"1\" uniqueId=\"00000001\" title=\"Tom &amp; &quot;Jerry&quot; "
            "&lt;cut&gt;&#10;&#9;line two · 日本\" index=\"-7\" isFolder=\"true\" isExpand=\"false\" "
            "frameSet=\"\"/>\n"
            "  <playlist id=\"2\" parent=\"1\" uniqueId=\"00000002\" title=\"\xEF\xBB\xBFMatch 3\" "
            "index=\"1\" "
            "isFolder=\"false\" isExpand=\"false\" frameSet=\"0:0.50:0.25:0.50\"/>\n";
        const QByteArray rest =
            "  <filelist id=\"3\" itemId=\"00000001\" uniqueId=\"00000002\" viewNo=\"1\" "
            "filePath=\"/home/ana/clips/cam1.mp4\" title=\"Cam 1\" playTime=\"2147483647\" "
            "fileSize=\"3221225472\" fileDate=\"9999-12-31T23:59:59.999Z\"/>\n"
            "  <filelist id=\"4\" fileDate=\"0001-01-01T00:00:00.000Z\"/>\n"
            "  <filelist id=\"5\" filePath=\"/home/ana/dash\" camera=\"front&amp;back=50%\" "
            "recordingFiles=\"/home/ana/dash/a.mp4&#10;/home/ana/dash/b.mp4\" "
            "recordingStart=\"2026-03-01T11:00:00.000Z\" recordingEnd=\"2026-03-01T12:00:00.000Z\" "
            "fileCount=\"60\"/>\n"
            "  <link playlist=\"2\" filelist=\"3\"/>\n";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(path, library(playlists + rest)));
        {
            StoreCoordinator coordinator(model_);
            coordinator.prefetchXmlStore(path);
            StoreError error;
            QVERIFY2(coordinator.addXmlStore(path, error), qPrintable(error.text()));
            ObjectContext ctx(coordinator);
            QCOMPARE(ctx.value(1, schema::Title).toString(),
                     QStringLiteral("Tom & \"Jerry\" <cut>\n\tline two · 日本"));
            QCOMPARE(ctx.value(2, schema::Title).toString(), QChar(0xFEFF) + QStringLiteral("Match 3"));
            QCOMPARE(ctx.value(1, schema::IsFolder), QVariant(true));
            QCOMPARE(ctx.value(1, schema::Index), QVariant(-7));
            QCOMPARE(ctx.relatedObjects(1, schema::Children), QList<ObjectId>{2});
            QCOMPARE(ctx.value(3, schema::FileSize), QVariant(Q_INT64_C(3221225472)));
            QCOMPARE(ctx.value(3, schema::FileDate),
                     QVariant(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC)));
            QCOMPARE(ctx.relatedObjects(3, schema::RltPlaylist), QList<ObjectId>{2});
            // a movie's entry has none of a recording's fields; a recording's opens as it was kept
            QCOMPARE(RecordingSource::ofEntry(ctx, 3), QStringLiteral("/home/ana/clips/cam1.mp4"));
            const std::optional<Recording> kept =
                RecordingSource::fromLocator(RecordingSource::ofEntry(ctx, 5));
            QVERIFY(kept);
            QCOMPARE(kept->camera, QStringLiteral("front&back=50%"));
            QCOMPARE(kept->chosenFiles, QStringList({"/home/ana/dash/a.mp4", "/home/ana/dash/b.mp4"}));
            QCOMPARE(ctx.value(5, schema::FileCount), QVariant(60));
            // names that are not UTF-8 come back as the same bytes
            Recording raw;
            raw.camera = fileNames::fromBytes("cam\xff");
            raw.chosenFiles = {fileNames::fromBytes("/home/ana/dash/caf\xe9&=%.mp4")};
            const std::optional<Recording> rawBack = RecordingSource::fromLocator(RecordingSource::locator(raw));
            QCOMPARE(fileNames::toBytes(rawBack->camera), QByteArray("cam\xff"));
            QCOMPARE(fileNames::toBytes(rawBack->chosenFiles.value(0)), QByteArray("/home/ana/dash/caf\xe9&=%.mp4"));
            QVERIFY(!ctx.hasChanges());
            // control characters other than line breaks and tabs have no form in XML 1.0, not even escaped,
            // nor has a file name's byte that is not UTF-8
            ctx.setValue(ctx.insertNewObject(schema::Playlist), schema::Title, oddText);
            QVERIFY2(ctx.save(error), qPrintable(error.text()));
        }
        QCOMPARE(test::readAll(path),
                 library(playlists + "  <playlist id=\"6\" title.base64=\"YQEtDf8=\"/>\n" + rest));
        StoreCoordinator coordinator(model_);
        StoreError error;
        QVERIFY2(coordinator.addXmlStore(path, error), qPrintable(error.text()));
        ObjectContext again(coordinator);
        QCOMPARE(again.value(6, schema::Title).toString(), oddText);
        // a chosen file whose name holds a line break stays one file, and the others stay as they were
        Recording broken;
        broken.chosenFiles = {QStringLiteral("/home/ana/dash/a\n/b.mp4"),
                              QStringLiteral("/home/ana/dash/c.mp4")};
        const QString lines = RecordingSource::entryFields(RecordingSource::locator(broken)).recordingFiles;
        QVERIFY(lines.endsWith(QLatin1String("\n/home/ana/dash/c.mp4")));
        again.setValue(5, schema::RecordingFiles, lines);
        QCOMPARE(RecordingSource::fromLocator(RecordingSource::ofEntry(again, 5))->chosenFiles,
                 broken.chosenFiles);
    }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const QByteArray& content, int line, const char* reason) {
            QTest::newRow(name) << content << line << QString::fromUtf8(reason);
        };
        const QByteArray ok = "  <playlist id=\"1\" title=\"A\"/>\n";
        row("not xml", "this is not a library", 1, "");
        row("empty", "", 1, "");
        row("truncated", Header + "<tetrapan-library version=\"1\">\n" + ok + "  <play", 4, "");
        row("text after the root element", library(ok) + "more", 5, "");
        row("other root", Header + "<library version=\"1\"/>\n", 2, "root element");
        row("newer version", library(ok, "<tetrapan-library version=\"2\">"), 2, "version 2");
        row("version 0", library(ok, "<tetrapan-library version=\"0\">"), 2, "no valid version");
        row("unknown element", library("  <folder id=\"1\"/>\n"), 3, "unknown element <folder>");
        row("text inside a record", library("  <playlist id=\"1\">A</playlist>\n"), 3, "unexpected content");
        // (told where the text ends, with the line break after it)
        row("text between records", library(ok + "  xplaylist id=\"2\"/>\n"), 5, "unexpected text between");
        row("duplicate id", library(ok + ok), 4, "duplicate id 1");
        row("attribute twice", library("  <playlist id=\"1\" title=\"A\" title=\"B\"/>\n"), 3, "");
        row("no id", library("  <playlist title=\"A\"/>\n"), 3, "no id");
        row("id 0", library("  <playlist id=\"0\"/>\n"), 3, "invalid id");
        row("id past 64 bits", library("  <playlist id=\"18446744073709551616\"/>\n"), 3, "invalid id");
        row("text not in base64", library("  <playlist id=\"1\" title.base64=\"a*b\"/>\n"), 3, "not base64");
        row("base64 of a number", library("  <playlist id=\"1\" index.base64=\"MQ==\"/>\n"), 3,
            "index.base64");
        row("bad parent", library("  <playlist id=\"2\" parent=\"one\"/>\n"), 3, "invalid parent");
        row("missing parent", library("  <playlist id=\"2\" parent=\"9\"/>\n"), 3, "does not exist");
        row("parent of wrong kind", library("  <playlist id=\"2\" parent=\"3\"/>\n  <filelist id=\"3\"/>\n"),
            3, "is a filelist");
        row("parent loop",
            library("  <playlist id=\"1\" parent=\"3\"/>\n  <playlist id=\"2\" parent=\"1\"/>\n"
                    "  <playlist id=\"3\" parent=\"2\"/>\n"),
            3, "loops");
        row("own parent", library("  <playlist id=\"1\" parent=\"1\"/>\n"), 3, "loops");
        row("link naming one record", library(ok + "  <link playlist=\"1\"/>\n"), 4, "exactly two");
        row("link naming three records",
            library(ok + "  <filelist id=\"2\"/>\n  <link playlist=\"1\" filelist=\"2\" filelist2=\"2\"/>\n"),
            5, "exactly two");
        row("link between unrelated kinds", library(ok + "  <link playlist=\"1\" folder=\"1\"/>\n"), 4,
            "not a known relationship");
        row("link from an unknown kind", library(ok + "  <link folder=\"1\" playlist=\"1\"/>\n"), 4,
            "not a known relationship");
        row("link with a bad id", library(ok + "  <link playlist=\"1\" filelist=\"x\"/>\n"), 4, "invalid id");
        row("link to nothing", library(ok + "  <link playlist=\"1\" filelist=\"5\"/>\n"), 4,
            "does not exist");
        row("link of wrong kind", library(ok + "  <link playlist=\"1\" filelist=\"1\"/>\n"), 4,
            "is a playlist");
        row("unknown attribute", library("  <playlist id=\"1\" colour=\"red\"/>\n"), 3, "colour");
        row("bad integer", library("  <playlist id=\"1\" index=\"two\"/>\n"), 3, "index");
        row("integer past 32 bits", library("  <playlist id=\"1\" index=\"2147483648\"/>\n"), 3, "index");
        row("bad flag", library("  <playlist id=\"1\" isFolder=\"yes\"/>\n"), 3, "isFolder");
        row("bad date", library("  <filelist id=\"1\" fileDate=\"yesterday\"/>\n"), 3, "fileDate");
        // dates we can never have written: their UTC form has no four-digit year
        row("date before the year 1 in UTC",
            library("  <filelist id=\"1\" fileDate=\"0001-01-01T00:30:00.000+01:00\"/>\n"), 3, "fileDate");
        row("date after the year 9999 in UTC",
            library("  <filelist id=\"1\" fileDate=\"9999-12-31T23:30:00.000-01:00\"/>\n"), 3, "fileDate");
        // UTF-7 decodes "+3JY-" to half a surrogate pair, which a save in UTF-8 could not give back
        row("half a surrogate pair",
            "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<tetrapan-library version=\"1\">\n"
            "  <playlist id=\"1\" title=\"a+3JY-b\"/>\n</tetrapan-library>\n",
            3, "title");
    }

    void damagedFilesAreRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(path, content));
        StoreCoordinator coordinator(model_);
        StoreError error;
        for (const bool prefetched : {true, false}) {
            if (prefetched)
                coordinator.prefetchXmlStore(path);
            QVERIFY(!coordinator.addXmlStore(path, error));
            QVERIFY(!coordinator.hasStore());
            QCOMPARE(error.filePath, path);
            QCOMPARE(error.line, line);
            QVERIFY2(error.reason.contains(reason), qPrintable(error.reason));
            QVERIFY(error.text().startsWith(path));
        }

        // the context still works, but nothing it does may write over the file
        ObjectContext ctx(coordinator);
        ctx.insertNewObject(schema::Playlist);
        StoreError saveError;
        QVERIFY(!ctx.save(saveError));
        QVERIFY(saveError.reason.contains(QStringLiteral("not saved")));
        QCOMPARE(test::readAll(path), content);
    }

    // A large library is read in two halves side by side. Whatever the file, that must come to what reading
    // it whole with Qt's reader comes to: the same records, or the same refusal at the same place. "@" stands
    // for over a megabyte of records, so the middle falls there.
    void largeFilesReadAsWholeFilesRead_data()
    {
        QTest::addColumn<QByteArray>("body");
        const QByteArray root = "<tetrapan-library version=\"1\">\n";
        const QByteArray end = "</tetrapan-library>\n";
        const auto row = [&](const char* name, const QByteArray& body) {
            QTest::newRow(name) << Header + body;
        };
        row("a library", root +
                             "  <playlist id=\"1\" title=\"F\"/>\n@  <playlist id=\"2\" parent=\"1\"/>\n"
                             "  <link playlist=\"2\" filelist=\"3\"/>\n  <filelist id=\"3\"/>\n" +
                             end);
        row("a record of 3 MB at the middle", root + "@  <playlist id=\"1\" title=\"" +
                                                  QByteArray(3 << 20, 'x') +
                                                  "\"/>\n  <playlist id=\"2\"/>\n" + end);
        // The file is read in pieces that end at multiples of four bytes; a title of four-byte characters that
        // starts off that grid has them end inside its characters.
        const QByteArray open = root + "  <playlist id=\"1\" title=\"";
        const QByteArray pad((Header.size() + open.size()) % 4 == 0 ? 1 : 0, 'x');
        QByteArray wide;
        for (int i = 0; i < (1 << 18); ++i)
            wide += "\xF0\x9F\x8E\xA5";
        row("characters across the pieces read", open + pad + wide + "\"/>\n@" + end);
        row("a parent in the other half",
            root + "  <playlist id=\"2\" parent=\"1\"/>\n@  <playlist id=\"1\"/>\n" + end);
        row("one id in both halves", root + "  <playlist id=\"1\"/>\n@  <playlist id=\"1\"/>\n" + end);
        row("damage in the first half", root + "  <playlist id=\"1\">x</playlist>\n@" + end);
        row("damage in the second half", root + "@  <playlist id=\"1\" colour=\"red\"/>\n" + end);
        row("a loop across the halves",
            root + "  <playlist id=\"1\" parent=\"2\"/>\n@  <playlist id=\"2\" parent=\"1\"/>\n" + end);
        row("cut short", root + "@  <playlist id=\"1\" ti");
        row("a comment across the middle", root + "  <!-- \n@ -->\n  <playlist id=\"1\"/>\n" + end);
        row("a namespace of the root's",
            "<tetrapan-library version=\"1\" xmlns:q=\"urn:other\">\n@  <playlist id=\"1\" title=\"mine\" "
            "q:title=\"theirs\"/>\n" +
                end);
        row("an entity of the document", "<!DOCTYPE tetrapan-library [<!ENTITY cam \"Cam 1\">]>\n" + root +
                                             "@  <playlist id=\"1\" title=\"&cam;\"/>\n" + end);
    }

    void largeFilesReadAsWholeFilesRead()
    {
        QFETCH(QByteArray, body);
        QByteArray records;
        for (int i = 0; records.size() < 2 * xmlStoreParsers::HalvesFrom; ++i)
            records += "  <playlist id=\"" + QByteArray::number(100000 + i) + "\" title=\"filler\"/>\n";
        body.replace('@', records);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(path, body));
        const XmlStore store(path, model_);
        RecordMap read;
        StoreError error;
        const bool readOk = store.load(read, error);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        RecordMap whole;
        StoreError wholeError{path, 0, 0, {}};
        QCOMPARE(readOk, xmlStoreForm::readWithQtAlone(model_, file, whole, wholeError));
        QCOMPARE(store.serialize(read), store.serialize(whole));
        QCOMPARE(error.line, wholeError.line);
        QCOMPARE(error.reason, wholeError.reason);
    }

    // A context numbers new records on from the highest id it read: ids at the top of their range are
    // numbered afresh, in their order, links and parents with them, so the next record wraps onto none.
    void idsAtTheTopAreNumberedAfresh()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(
            path, library("  <playlist id=\"7\" title=\"folder\"/>\n"
                          "  <playlist id=\"18446744073709551615\" parent=\"7\" title=\"top\"/>\n"
                          "  <filelist id=\"9\" filePath=\"/a.mp4\"/>\n"
                          "  <link playlist=\"18446744073709551615\" filelist=\"9\"/>\n")));
        StoreError error;
        {
            StoreCoordinator coordinator(model_);
            QVERIFY2(coordinator.addXmlStore(path, error), qPrintable(error.text()));
            ObjectContext ctx(coordinator);
            QCOMPARE(ctx.fetch(schema::Playlist), (QList<ObjectId>{1, 3}));
            QCOMPARE(ctx.relatedObject(3, schema::Parent), ObjectId(1));
            QCOMPARE(ctx.relatedObjects(3, schema::RltFilelist), QList<ObjectId>{2});
            QCOMPARE(ctx.insertNewObject(schema::Playlist), ObjectId(4));
            QVERIFY2(ctx.save(error), qPrintable(error.text()));
        }
        StoreCoordinator coordinator(model_);
        QVERIFY2(coordinator.addXmlStore(path, error), qPrintable(error.text()));
        ObjectContext ctx(coordinator);
        QCOMPARE(ctx.fetch(schema::Playlist), (QList<ObjectId>{1, 3, 4}));
        QCOMPARE(ctx.value(3, schema::Title).toString(), QStringLiteral("top"));
        QCOMPARE(ctx.relatedObjects(2, schema::RltPlaylist), QList<ObjectId>{3});
    }

    // Any form of XML reads as XML says it does, whichever parser reads it. Attributes of another vocabulary are not ours: one may not stand in for ours
    // of the same local name.
    void otherFormsReadAsXmlSays_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("title");
        const auto row = [](const char* name, const QByteArray& content, const QString& title) {
            QTest::newRow(name) << content << title;
        };
        const QByteArray root = "<tetrapan-library version=\"1\">\n";
        row("attribute in a namespace",
            library("  <playlist id=\"1\" title=\"mine\" q:title=\"theirs\"/>\n",
                    "<tetrapan-library version=\"1\" xmlns:q=\"urn:other\">"),
            "mine");
        row("quotes, comment, CRLF, reference",
            Header + "<tetrapan-library version='1'>\r\n<!-- by hand -->\r\n  <playlist title='a&#x41;b' id='1'/>"
                     "\r\n</tetrapan-library>\r\n",
            "aAb");
        row("tab as itself", library("  <playlist id=\"1\" title=\"a\tb\"/>\n"), "a b");
        row("entity of the document",
            Header + "<!DOCTYPE tetrapan-library [<!ENTITY cam \"Cam 1\">]>\n" + root +
                "  <playlist id=\"1\" title=\"&cam;\"/>\n</tetrapan-library>\n",
            "Cam 1");
        row("Latin-1",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + root +
                "  <playlist id=\"1\" title=\"caf\xe9\"/>\n</tetrapan-library>\n",
            QStringLiteral("café"));
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        row("UTF-16",
            utf16(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<tetrapan-library version=\"1\">"
                                 "<playlist id=\"1\" title=\"日本\"/></tetrapan-library>")),
            QStringLiteral("日本"));
        row("no declaration, one line", "<tetrapan-library version=\"1\"><playlist id=\"1\" title=\"x\"/></tetrapan-library>",
            "x");
    }

    void otherFormsReadAsXmlSays()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(path, content));
        StoreCoordinator coordinator(model_);
        StoreError error;
        QVERIFY2(coordinator.addXmlStore(path, error), qPrintable(error.text()));
        QTEST(ObjectContext(coordinator).value(1, schema::Title).toString(), "title");
    }

    // What a damaged file holds whole before the damage can be taken into a new library: each record read to
    // its end, with references to what the file does not hold (or that loop) dropped.
    void readablePartOfADamagedFile_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("readable"); // id:title, parent ids as "<n", entries linked as "+n"
        const QByteArray folder = "  <playlist id=\"1\" title=\"F\"/>\n";
        const QByteArray inFolder = "  <playlist id=\"2\" parent=\"1\" title=\"A\"/>\n";
        const QByteArray entry =
            "  <filelist id=\"3\" title=\"e\"/>\n  <link playlist=\"2\" filelist=\"3\"/>\n";
        QTest::newRow("cut in a record") << folder + inFolder + entry + "  <playlist id=\"4\" ti"
                                         << "1:F 2:A<1+3 3:e";
        QTest::newRow("cut before its parent")
            << QByteArray("  <playlist id=\"2\" parent=\"1\" title=\"A\"/>\n  <pla") << "2:A";
        QTest::newRow("record with content") << folder + "  <playlist id=\"2\" title=\"A\">x</playlist>\n"
                                             << "1:F";
        QTest::newRow("link to a record not read")
            << inFolder + folder + "  <link playlist=\"2\" filelist=\"9\"/>\n"
            << "1:F 2:A<1";
        QTest::newRow("parent loop") << QByteArray("  <playlist id=\"1\" parent=\"2\" title=\"F\"/>\n"
                                                   "  <playlist id=\"2\" parent=\"1\" title=\"A\"/>\n")
                                     << "1:F 2:A<1";
    }

    void readablePartOfADamagedFile()
    {
        QFETCH(QByteArray, body);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        QVERIFY(test::writeAll(path, Header + "<tetrapan-library version=\"1\">\n" + body));
        StoreCoordinator coordinator(model_);
        const RecordMap records = coordinator.readablePartOf(path);
        QStringList shown;
        for (auto it = records.cbegin(); it != records.cend(); ++it) {
            QString text = QStringLiteral("%1:%2").arg(it.key()).arg(
                it->attributes[it->entity->attributeIndex(schema::Title)].toString());
            if (const qsizetype parent = it->entity->relationshipIndex(schema::Parent);
                parent >= 0 && it->toOne(parent) != NoObject)
                text += QStringLiteral("<%1").arg(it->toOne(parent));
            if (const qsizetype entries = it->entity->relationshipIndex(schema::RltFilelist); entries >= 0) {
                for (ObjectId e : it->relations[entries])
                    text += QStringLiteral("+%1").arg(e);
            }
            shown << text;
        }
        QTEST(shown.join(QLatin1Char(' ')), "readable");
    }

    // A damaged file is moved aside under a name of its own, never over an earlier one; one that cannot be
    // moved (its new name too long here) stays where it is, and no store may write over it.
    void damagedFileIsSetAsideUnderAFreeName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keptAs"); // beside the earlier one; "" when it stays
        QTest::newRow("name taken") << QStringLiteral("lib.xml")
                                    << QStringLiteral("lib.xml.damaged-20261208-061530-2");
        QTest::newRow("name too long") << QString(240, QLatin1Char('x')) << QString();
    }

    void damagedFileIsSetAsideUnderAFreeName()
    {
        QFETCH(QString, name);
        QFETCH(QString, keptAs);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QString earlier = path + QStringLiteral(".damaged-20261208-061530");
        if (!keptAs.isEmpty())
            QVERIFY(test::writeAll(earlier, "earlier"));
        QVERIFY(test::writeAll(path, "damaged"));
        StoreCoordinator coordinator(model_);
        StoreError error;
        QVERIFY(!coordinator.addXmlStore(path, error));
        QCOMPARE(error.headline(), QStringLiteral("The library could not be read."));
        const QDateTime now(QDate(2026, 12, 8), QTime(6, 15, 30));
        QCOMPARE(QFileInfo(coordinator.setAsideDamagedStore(path, now, error)).fileName(), keptAs);
        QCOMPARE(coordinator.hasStore(), !keptAs.isEmpty());
        QCOMPARE(test::readAll(keptAs.isEmpty() ? path : dir.filePath(keptAs)), QByteArray("damaged"));
        if (keptAs.isEmpty()) {
            QVERIFY(error.reason.contains(QStringLiteral("could not be kept")));
            QCOMPARE(error.headline(), QStringLiteral("The library could not be saved."));
            return;
        }
        QCOMPARE(test::readAll(earlier), QByteArray("earlier"));
        QVERIFY(!QFileInfo::exists(path));
    }

    // What is no regular file is refused as a damaged library is, without being opened (a FIFO would wait for
    // a writer for ever, before any window shows), and is set aside as one is.
    void whatIsNoFileIsRefusedUnopened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "a FIFO";
        QTest::newRow("folder") << "a folder";
    }
    void whatIsNoFileIsRefusedUnopened()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lib.xml"));
        if (kind == "a FIFO")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QDir().mkdir(path));
        StoreCoordinator coordinator(model_);
        StoreError error;
        for (const bool prefetched : {true, false}) {
            if (prefetched)
                coordinator.prefetchXmlStore(path);
            QVERIFY(!coordinator.addXmlStore(path, error));
            QCOMPARE(error.reason, "it is not a regular file but " + kind);
        }
        const QString keptAs = coordinator.setAsideDamagedStore(path, QDateTime::currentDateTime(), error);
        QVERIFY2(!keptAs.isEmpty(), qPrintable(error.text()));
        QVERIFY(coordinator.hasStore());
        QCOMPARE(QFileInfo(keptAs).isDir(), kind == "a folder");
        QVERIFY(!QFileInfo::exists(path));
    }

    // A date the file cannot hold, kept, would make the whole library unreadable at the next start.
    void datesTheFileCannotHoldAreNotKept_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::newRow("the year 10000") << QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("the year 9999 east of UTC, 10000 in UTC")
            << QDateTime(QDate(9999, 12, 31), QTime(23, 30), Qt::OffsetFromUTC, -3600);
        QTest::newRow("the year 1 west of UTC, before it in UTC")
            << QDateTime(QDate(1, 1, 1), QTime(0, 30), Qt::OffsetFromUTC, 3600);
        QTest::newRow("before Christ") << QDateTime(QDate(-44, 3, 15), QTime(12, 0), Qt::UTC);
    }

    void datesTheFileCannotHoldAreNotKept()
    {
        QFETCH(QDateTime, date);
        StoreCoordinator coordinator(model_);
        ObjectContext ctx(coordinator);
        const ObjectId entry = ctx.insertNewObject(schema::Filelist);
        ctx.setValue(entry, schema::FileDate, date);
        QVERIFY(!ctx.value(entry, schema::FileDate).isValid());
    }
};

QTEST_GUILESS_MAIN(TestXmlStore)
#include "tst_xmlstore.moc"
