#include "BenchSupport.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>

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

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace tetrapan::bench
