#include "TestHome.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace tetrapan;

namespace {

// Whether the process has a handler installed for the signal, read from /proc, so the test sends its
// signal only once the program listens for it instead of guessing with a sleep.
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (quint64(1) << (signalNumber - 1)));
        }
    }
    return false;
}

} // namespace

// The real program under a real X server: it starts, shows its window and leaves cleanly when the
// session ends it.
class TestApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (make test runs the tests under xvfb-run)");
    }

    void quitsCleanlyOnTerminationSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void quitsCleanlyOnTerminationSignal()
    {
        QFETCH(int, signalNumber);
        test::TestHome home;
        QProcess app;
        app.setProgram(QStringLiteral(TETRAPAN_EXECUTABLE));
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start();
        QVERIFY(app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(app.processId(), signalNumber), 20000);
        ::kill(static_cast<pid_t>(app.processId()), signalNumber);
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        // nothing was changed, so nothing was written
        QVERIFY(!QFile::exists(home.libraryFile()));
    }
};

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
