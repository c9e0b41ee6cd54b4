#include "TestHome.h"

#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSignalSpy>
#include <QTest>

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tetrapan;
namespace ude = tetrapan::userDefaultsExtension;

namespace {

const QString SkipTime = QStringLiteral("optSkipTime");

void registerSkipDefault(SettingsDomain& domain)
{
    domain.registerDefaults({{SkipTime, 10.0}, {QStringLiteral("optPlayVolume"), 0.0}});
}

// A disk that holds every write's flush until it is let go, and tells whether the setter's own thread ever
// waited on it (it is never held there, so a setter that writes itself does not hang the test).
namespace slowDisk {
std::mutex mutex;
std::condition_variable letGo;
bool held = false;
std::atomic<int> flushes{0};
std::atomic<bool> flushedOnTheCallersThread{false};
Qt::HANDLE caller = nullptr;

int fdatasync(int fd)
{
    ++flushes;
    if (QThread::currentThreadId() == caller) {
        flushedOnTheCallersThread = true;
    } else {
        std::unique_lock lock(mutex);
        letGo.wait(lock, [] { return !held; });
    }
    return ::fdatasync(fd);
}

void hold(bool on)
{
    {
        std::lock_guard lock(mutex);
        held = on;
    }
    letGo.notify_all();
}
} // namespace slowDisk

QJsonObject fileObject(const QString& path)
{
    return QJsonDocument::fromJson(test::readAll(path)).object();
}

} // namespace

class TestSettingsDomain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settersWriteThroughAndGettersNeverWrite()
    {
        test::TestHome home;
        {
            SettingsDomain domain(home.settingsFile());
            registerSkipDefault(domain);
            ude::setDefaultIntValue(domain, 7, QStringLiteral("optUniqueNoForPlist"));
            // on disk as the event loop turns, before the domain goes away
            QTRY_COMPARE(fileObject(home.settingsFile()).value(QStringLiteral("optUniqueNoForPlist")).toInt(),
                         7);
            ude::setDefaultBoolValue(domain, false, QStringLiteral("optIsPlaylist"));
            ude::setDefaultFloatValue(domain, 0.1f, QStringLiteral("optPlayVolume"));
            QVERIFY(domain.flush());
            const QByteArray before = test::readAll(home.settingsFile());
            // every setter wrote through; the registered default of optSkipTime is read but never written
            QCOMPARE(QJsonDocument::fromJson(before).object().keys(),
                     (QStringList{"optIsPlaylist", "optPlayVolume", "optUniqueNoForPlist"}));
            QCOMPARE(ude::defaultFloatValue(domain, SkipTime), 10.0f);
            ude::defaultIntValue(domain, QStringLiteral("optUniqueNoForPlist"));
            QCOMPARE(test::readAll(home.settingsFile()), before);
            // floats are kept in their short form, readable by people and other tools
            QVERIFY2(before.contains("\"optPlayVolume\": 0.1"), before.constData());
            // a key never set reads as nothing of every kind
            const QString key = QStringLiteral("optNeverSet");
            QCOMPARE(ude::defaultIntValue(domain, key), 0);
            QCOMPARE(ude::defaultBoolValue(domain, key), false);
            QCOMPARE(ude::defaultFloatValue(domain, key), 0.0f);
        }
        SettingsDomain reopened(home.settingsFile());
        QCOMPARE(ude::defaultIntValue(reopened, QStringLiteral("optUniqueNoForPlist")), 7);
        QCOMPARE(ude::defaultBoolValue(reopened, QStringLiteral("optIsPlaylist")), false);
        QCOMPARE(ude::defaultFloatValue(reopened, QStringLiteral("optPlayVolume")), 0.1f);
    }

    // A slider dragged over a slow disk: no setter waits for the file, and the values set while a write is
    // under way reach the file in one write after it, the last of them.
    void aSetterNeverWaitsOnTheDisk()
    {
        test::TestHome home;
        FileWriteCalls calls = FileWriteCalls::system();
        calls.fdatasync = &slowDisk::fdatasync;
        slowDisk::caller = QThread::currentThreadId();
        slowDisk::flushes = 0;
        slowDisk::hold(true);
        const QString key = QStringLiteral("optPlayVolume");
        {
            SettingsDomain domain(home.settingsFile(), nullptr, calls);
            for (int step = 1; step <= 50; ++step)
                ude::setDefaultFloatValue(domain, step / 50.0f, key);
            QTRY_COMPARE(slowDisk::flushes.load(), 1);
            slowDisk::hold(false);
            QTRY_COMPARE(fileObject(home.settingsFile()).value(key).toDouble(), 1.0);
            QCOMPARE(slowDisk::flushes.load(), 2);
        }
        QVERIFY(!slowDisk::flushedOnTheCallersThread);
        QCOMPARE(slowDisk::flushes.load(), 2);
    }

    // Two programs on one settings file (two Tetrapans with libraries of their own): each writes what it
    // changed into the file as the other left it, in either order, removals too.
    void twoProgramsKeepEachOthersChanges_data()
    {
        QTest::addColumn<bool>("firstWritesFirst");
        QTest::newRow("first, then second") << true;
        QTest::newRow("second, then first") << false;
    }
    void twoProgramsKeepEachOthersChanges()
    {
        QFETCH(bool, firstWritesFirst);
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": 5, \"optIsPlaylist\": true}"));
        SettingsDomain first(home.settingsFile());
        SettingsDomain second(home.settingsFile());
        const auto firstChanges = [&first] {
            ude::setDefaultIntValue(first, 7, QStringLiteral("optUniqueNoForPlist"));
            return first.flush();
        };
        const auto secondChanges = [&second] {
            second.removeObject(SkipTime);
            ude::setDefaultBoolValue(second, false, QStringLiteral("optIsPlaylist"));
            return second.flush();
        };
        QVERIFY(firstWritesFirst ? firstChanges() && secondChanges() : secondChanges() && firstChanges());
        QCOMPARE(fileObject(home.settingsFile()),
                 (QJsonObject{{"optUniqueNoForPlist", 7}, {"optIsPlaylist", false}}));
    }

    // The other program has read the file and is about to write it back with its own change: a write that
    // did not wait for it would be taken back.
    void aWriteWaitsForAnotherProgramsWrite()
    {
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": 5}"));
        SettingsDomain domain(home.settingsFile());
        QLockFile other(home.settingsFile() + QStringLiteral(".lock"));
        QVERIFY(other.tryLock(0));
        ude::setDefaultIntValue(domain, 7, QStringLiteral("optUniqueNoForPlist"));
        domain.synchronize();
        QTest::qWait(300); // a write that does not wait has long been made
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": 5, \"optIsPlaylist\": false}"));
        other.unlock();
        QVERIFY(domain.flush());
        QCOMPARE(fileObject(home.settingsFile()),
                 (QJsonObject{{"optSkipTime", 5}, {"optIsPlaylist", false}, {"optUniqueNoForPlist", 7}}));
    }

    void listsAndUnknownKeysSurvive()
    {
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(),
                               "{\"someoneElsesKey\": {\"a\": [1, 2]}, \"optSkipTime\": 5}"));
        SettingsDomain domain(home.settingsFile());
        const QVariantList columns{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("filePath")},
                                               {QStringLiteral("width"), 240}}};
        domain.setObject(columns, QStringLiteral("stateTableColumnFilelist"));
        QVERIFY(domain.flush());
        const QJsonObject stored = fileObject(home.settingsFile());
        QCOMPARE(stored.value("someoneElsesKey").toObject().value("a").toArray().size(), 2);
        const QJsonArray storedColumns = stored.value("stateTableColumnFilelist").toArray();
        QCOMPARE(storedColumns.first().toObject().value("width").toInt(), 240);
        QCOMPARE(ude::defaultFloatValue(domain, SkipTime), 5.0f);
    }

    void typedGettersReadOtherKinds_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<float>("asFloat");
        // a string reads by its leading number; the default of optSkipTime (10) stands in for no meaning
        QTest::newRow("leading number") << QByteArray("\"12abc\"") << 12 << true << 12.0f;
        QTest::newRow("blank and sign") << QByteArray("\"  -3.75 s\"") << -3 << true << -3.75f;
        QTest::newRow("yes word") << QByteArray("\"YES\"") << 10 << true << 10.0f;
        QTest::newRow("no word") << QByteArray("\"no\"") << 10 << false << 10.0f;
        QTest::newRow("zero string") << QByteArray("\"0\"") << 0 << false << 0.0f;
        QTest::newRow("true") << QByteArray("true") << 1 << true << 1.0f;
        QTest::newRow("fraction") << QByteArray("2.9") << 2 << true << 2.9f;
        QTest::newRow("past an int") << QByteArray("5e9") << 10 << true << 5e9f;
        QTest::newRow("list has no meaning") << QByteArray("[1, 2]") << 10 << true << 10.0f;
        QTest::newRow("object has no meaning") << QByteArray("{\"x\": 1}") << 10 << true << 10.0f;
    }
    void typedGettersReadOtherKinds()
    {
        QFETCH(QByteArray, json);
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": " + json + "}"));
        SettingsDomain domain(home.settingsFile());
        registerSkipDefault(domain);
        QTEST(ude::defaultIntValue(domain, SkipTime), "asInt");
        QTEST(ude::defaultBoolValue(domain, SkipTime), "asBool");
        QTEST(ude::defaultFloatValue(domain, SkipTime), "asFloat");
    }

    // A number outside what the setting can mean (a skip of 1e308 seconds jumped to the start) reads as
    // the default, as a value of the wrong kind does.
    void numbersOutOfRangeReadAsTheDefault_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<float>("asFloat");
        QTest::newRow("in range") << QByteArray("3600") << 3600.0f;
        QTest::newRow("above") << QByteArray("3600.5") << 10.0f;
        QTest::newRow("below") << QByteArray("0") << 10.0f;
        QTest::newRow("past a float") << QByteArray("1e308") << 10.0f;
        QTest::newRow("infinite text") << QByteArray("\"inf\"") << 10.0f;
        QTest::newRow("not a number text") << QByteArray("\"nan\"") << 10.0f;
    }
    void numbersOutOfRangeReadAsTheDefault()
    {
        QFETCH(QByteArray, json);
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": " + json + "}"));
        SettingsDomain domain(home.settingsFile());
        registerSkipDefault(domain);
        domain.registerRange(SkipTime, {0.1, 3600.0});
        QTEST(ude::defaultFloatValue(domain, SkipTime), "asFloat");
    }

    void observersHearEveryWriter()
    {
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        registerSkipDefault(domain);
        QSignalSpy spy(&domain, &SettingsDomain::valueChanged);
        ude::setDefaultFloatValue(domain, 0.5f, QStringLiteral("optPlayVolume"));
        domain.setObject(0.8, QStringLiteral("optPlayVolume")); // a bound control writes directly
        domain.removeObject(QStringLiteral("optPlayVolume"));
        QCOMPARE(spy.count(), 3);
        for (const QList<QVariant>& call : spy)
            QCOMPARE(call.at(0).toString(), QStringLiteral("optPlayVolume"));
        // removing brings the registered default back
        QCOMPARE(ude::defaultFloatValue(domain, QStringLiteral("optPlayVolume")), 0.0f);
    }

    // A file that cannot be used is set aside under a name of its own, never over one kept before, and the
    // domain starts from the defaults; a FIFO or a folder is not even opened (a FIFO would wait for ever).
    void damagedFileIsSetAsideNotOverwritten_data()
    {
        QTest::addColumn<QString>("kind"); // "file" with the content, "fifo" or "folder"
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason"); // "" for no damage
        QTest::newRow("not json") << "file" << QByteArray("optSkipTime = 3\n") << "illegal value";
        QTest::newRow("array") << "file" << QByteArray("[1, 2, 3]") << "JSON object";
        QTest::newRow("truncated") << "file" << QByteArray("{\"optSkipTime\": 3, \"rect") << "unterminated";
        QTest::newRow("fifo") << "fifo" << QByteArray() << "not a regular file but a FIFO";
        QTest::newRow("folder") << "folder" << QByteArray() << "not a regular file but a folder";
        // an empty file is no damage, only a domain with nothing stored yet
        QTest::newRow("empty") << "file" << QByteArray() << "";
        QTest::newRow("blank") << "file" << QByteArray(" \n") << "";
    }
    void damagedFileIsSetAsideNotOverwritten()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        test::TestHome home;
        const QFileInfo file(home.settingsFile());
        QVERIFY(file.dir().mkpath(QStringLiteral(".")));
        // damaged twice within a second: the second is kept beside the first
        for (int time = 1; time <= 2; ++time) {
            if (kind == "file")
                QVERIFY(test::writeAll(file.filePath(), content));
            else if (kind == "fifo")
                QCOMPARE(::mkfifo(QFile::encodeName(file.filePath()).constData(), 0600), 0);
            else
                QVERIFY(QDir().mkpath(file.filePath()));
            SettingsDomain domain(file.filePath());
            registerSkipDefault(domain);
            QVERIFY2(domain.damagedFileNote().contains(reason), qPrintable(domain.damagedFileNote()));
            QCOMPARE(domain.damagedFileNote().isEmpty(), reason.isEmpty());
            QCOMPARE(ude::defaultFloatValue(domain, SkipTime), 10.0f);
            ude::setDefaultIntValue(domain, 3, QStringLiteral("optUniqueNoForFlist"));
            QVERIFY(domain.flush());
            QCOMPARE(fileObject(file.filePath()).value(QStringLiteral("optUniqueNoForFlist")).toInt(), 3);
            const QStringList kept =
                file.dir().entryList({file.fileName() + ".damaged-*"}, QDir::AllEntries | QDir::System);
            QCOMPARE(kept.size(), reason.isEmpty() ? 0 : time);
            for (const QString& name : kept) {
                QVERIFY2(domain.damagedFileNote().contains(name) || time == 2, qPrintable(name));
                if (kind == "file")
                    QCOMPARE(test::readAll(file.dir().filePath(name)), content);
            }
            QVERIFY(QFile::remove(file.filePath()));
        }
    }

    // A file that cannot be written (the file size limit stands for a full disk): the old file stays as it
    // was, the values are kept to be written later, and the failure is told once until a write succeeds.
    void aFailedWriteIsToldOnceAndChangesNothing()
    {
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        ude::setDefaultIntValue(domain, 7, QStringLiteral("optUniqueNoForPlist"));
        QVERIFY(domain.flush());
        const QByteArray before = test::readAll(home.settingsFile());
        QSignalSpy failures(&domain, &SettingsDomain::writeFailed);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 10;
        setrlimit(RLIMIT_FSIZE, &small);
        ude::setDefaultIntValue(domain, 8, QStringLiteral("optUniqueNoForPlist"));
        ude::setDefaultFloatValue(domain, 0.5f, QStringLiteral("optPlayVolume"));
        const bool written = domain.flush();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!written);
        QCOMPARE(failures.count(), 1);
        QCOMPARE(failures.first().at(0).toString(), home.settingsFile());
        QVERIFY2(failures.first().at(1).toString().endsWith(QStringLiteral("File too large")),
                 qPrintable(failures.first().at(1).toString()));
        QCOMPARE(test::readAll(home.settingsFile()), before);
        QCOMPARE(QFileInfo(home.settingsFile()).dir().entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Tetrapan.json")});
        // once there is room again what was set reaches the file
        QVERIFY(domain.flush());
        QCOMPARE(fileObject(home.settingsFile()).value(QStringLiteral("optUniqueNoForPlist")).toInt(), 8);
        QCOMPARE(failures.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSettingsDomain)
#include "tst_settingsdomain.moc"
