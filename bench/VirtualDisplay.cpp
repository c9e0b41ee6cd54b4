#include "VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace tetrapan::bench {

bool VirtualDisplay::start()
{
    for (int number = 90; number < 140; ++number) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        const QString display = QStringLiteral(":%1").arg(number);
        server_.start(QStringLiteral("Xvfb"), {display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
        if (!server_.waitForStarted(5000))
            return false;
        // The server is ready once its socket exists; nothing else tells.
        for (int i = 0; i < 100 && !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)); ++i)
            QThread::msleep(50);
        qputenv("DISPLAY", display.toUtf8());
        return true;
    }
    return false;
}

qint64 VirtualDisplay::serverPid() const
{
    if (server_.state() == QProcess::Running)
        return server_.processId();
    // An X server of a private display (xvfb-run's) names its display on its command line.
    const QByteArray display = qgetenv("DISPLAY");
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = cmdline.readAll().split('\0');
        if (!arguments.isEmpty() && arguments.front().endsWith("Xvfb") && arguments.contains(display))
            return pid.toLongLong();
    }
    return 0;
}

VirtualDisplay::~VirtualDisplay()
{
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        server_.waitForFinished(5000);
    }
}

} // namespace tetrapan::bench
