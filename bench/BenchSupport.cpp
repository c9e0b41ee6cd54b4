#include "BenchSupport.h"

#include "XServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace tetrapan::bench {

void print(const char* name, double value, const char* unit, int decimals)
{
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    // Asked every millisecond, the thread sleeping in between: a loop that only asked would take a whole
    // core of a two-core machine from the program it measures.
    QElapsedTimer waited;
    waited.start();
    bool met = false;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        met = condition();
        if (met || waited.elapsed() > timeoutMs)
            loop.quit();
    });
    tick.start(1);
    loop.exec();
    return met;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

namespace {

double cpuSecondsIn(const QString& statFile)
{
    QFile stat(statFile);
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // the fields after the command name, which is in parentheses and may hold blanks
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = fields[11].toDouble() + fields[12].toDouble(); // utime, stime
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

double cpuSecondsOf(qint64 pid)
{
    return cpuSecondsIn(QStringLiteral("/proc/%1/stat").arg(pid));
}

double threadCpuSecondsOf(qint64 pid, qint64 tid)
{
    return cpuSecondsIn(QStringLiteral("/proc/%1/task/%2/stat").arg(pid).arg(tid));
}

std::map<QString, double> threadCpuSecondsByName(qint64 pid)
{
    std::map<QString, double> byName;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + QLatin1Char('/') + tid + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        byName[name] += cpuSecondsIn(tasks + QLatin1Char('/') + tid + QStringLiteral("/stat"));
    }
    return byName;
}

void printThreadCpu(const char* label, const std::map<QString, double>& before,
                    const std::map<QString, double>& after)
{
    std::vector<std::pair<double, QString>> used;
    for (const auto& [name, seconds] : after) {
        const auto earlier = before.find(name);
        used.emplace_back(seconds - (earlier == before.end() ? 0.0 : earlier->second), name);
    }
    std::sort(used.begin(), used.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QByteArray line = label;
    for (const auto& [seconds, name] : used)
        if (seconds > 0)
            line += ' ' + name.toUtf8() + '=' + QByteArray::number(seconds, 'f', 2);
    std::fprintf(stderr, "%s\n", line.constData());
}

double ownCpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

namespace {

// A line "Name:  N kB" of a process's status, in MB; 0 when the process is gone.
double statusMbOf(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field).append(':');
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

double peakRssMbOf(qint64 pid)
{
    return statusMbOf(pid, "VmHWM");
}

double residentMbOf(qint64 pid)
{
    return statusMbOf(pid, "VmRSS");
}

void resetPeakRss()
{
    // "5" resets the peak resident size to the present one (Linux 4.0 and later).
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : 0.0;
}

QPoint paneSpotOnScreen(const QRect& mainWindow, int viewNo)
{
    const bool leftColumn = viewNo <= 2;
    const bool topRow = viewNo % 2 == 1;
    return {mainWindow.left() + mainWindow.width() * (leftColumn ? 3 : 7) / 8,
            mainWindow.top() + mainWindow.height() * (topRow ? 1 : 3) / 4};
}

bool showsPicture(const QImage& area)
{
    int bright = 0;
    int samples = 0;
    for (int y = 0; y < area.height(); y += 4) {
        for (int x = 0; x < area.width(); x += 4) {
            ++samples;
            const QRgb pixel = area.pixel(x, y);
            bright += std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 64;
        }
    }
    return samples > 0 && bright * 4 > samples;
}

bool waitUntilShown(test::XServer& x, const std::vector<QRect>& areas, int timeoutMs)
{
    std::vector<bool> shown(areas.size(), false);
    return runEventsUntil(
        [&] {
            for (std::size_t i = 0; i < areas.size(); ++i)
                shown[i] = shown[i] || showsPicture(x.grab(areas[i]));
            return std::all_of(shown.begin(), shown.end(), [](bool s) { return s; });
        },
        timeoutMs);
}

} // namespace tetrapan::bench
