#include "panes/MenuLine.h"

#include <QStringList>

namespace tetrapan {

MenuLine MenuLine::parse(const QString& line)
{
    const QStringList fields = line.split(QLatin1Char(','));
    const auto field = [&](int i) { return i < fields.size() ? fields[i] : QString(); };
    return {field(0), field(1), field(2), field(3)};
}

} // namespace tetrapan
