#include "platform/heapTuning.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

using namespace tetrapan;

namespace {

constexpr const char* ReportOption = "--report-settings";

// In a copy of this program started as the program starts: restarts tuned, then prints its name as ps knows
// it, how its heap is kept
// (in huge pages or not, grown 32 MiB at a time or not), the GLIBC_TUNABLES it hands to the programs it
// starts (or "unset"), and its arguments.
int reportSettings(int argc, char** argv)
{
    heapTuning::restartTuned(argv);
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    bool inHeap = false;
    bool hugePages = false;
    qint64 sizeKb = 0;
    if (smaps.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : smaps.readAll().split('\n')) {
            if (line.contains('-') && !line.endsWith(':'))
                inHeap = line.endsWith("[heap]") || (inHeap && !line.contains(' '));
            if (inHeap && line.startsWith("Size:"))
                sizeKb = line.simplified().split(' ').value(1).toLongLong();
            if (inHeap && line.startsWith("VmFlags:"))
                hugePages = line.split(' ').contains("hg");
        }
    }
    const char* now = std::getenv("GLIBC_TUNABLES");
    QFile comm(QStringLiteral("/proc/self/comm"));
    const QByteArray name = comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    std::printf("%s\n%s\n%s\n%s\n", name.constData(), hugePages ? "huge pages" : "small pages",
                sizeKb >= 32 * 1024 ? "grows by 32 MiB" : "grows little", now ? now : "unset");
    for (int i = 1; i < argc; ++i)
        std::printf("%s\n", argv[i]);
    return std::getenv(heapTuning::UsersTunablesVariable) ? 1 : 0;
}

} // namespace

// The allocator's settings the program restarts itself with, and the user's environment it gives back.
class TestHeapTuning : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The program restarts once with the settings, its own arguments and its name; the programs it starts get
    // the user's GLIBC_TUNABLES back, set or not, and a setting the user made on purpose has the last word.
    void restartsOnceAndGivesTheUsersSettingsBack_data()
    {
        QTest::addColumn<QString>("users");
        QTest::addColumn<QString>("pages");
        QTest::newRow("none of the user's") << QString() << "huge pages";
        QTest::newRow("the user's own") << "glibc.malloc.perturb=0"
                                        << "huge pages";
        QTest::newRow("the user turns huge pages off") << "glibc.malloc.hugetlb=0"
                                                       << "small pages";
    }

    void restartsOnceAndGivesTheUsersSettingsBack()
    {
        QFETCH(QString, users);
        QFETCH(QString, pages);
        if (!heapTuning::applies())
            QSKIP("the settings do nothing here: no huge pages, an older glibc or a sanitizer's allocator");
        QProcess copy;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("GLIBC_TUNABLES"));
        if (!users.isNull())
            environment.insert(QStringLiteral("GLIBC_TUNABLES"), users);
        copy.setProcessEnvironment(environment);
        copy.start(QCoreApplication::applicationFilePath(),
                   {QString::fromLatin1(ReportOption), QStringLiteral("a b"), QString()});
        QVERIFY(copy.waitForFinished(20000));
        QCOMPARE(copy.exitCode(), 0);
        const QStringList lines =
            QString::fromLocal8Bit(copy.readAllStandardOutput()).split(QLatin1Char('\n'));
        const QStringList expected = {QStringLiteral("tst_heaptuning"),
                                      pages,
                                      QStringLiteral("grows by 32 MiB"),
                                      users.isNull() ? QStringLiteral("unset") : users,
                                      QString::fromLatin1(ReportOption),
                                      QStringLiteral("a b"),
                                      QString(),
                                      QString()};
        QCOMPARE(lines, expected);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], ReportOption) == 0)
        return reportSettings(argc, argv);
    QCoreApplication app(argc, argv);
    TestHeapTuning test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_heaptuning.moc"
