#include "library/FrameSet.h"

#include "platform/userDefaultsExtension.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tetrapan::frameSet {

namespace {

const QChar ItemSeparator = QLatin1Char('/');
const QChar FieldSeparator = QLatin1Char(':');

float unitRatio(float value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

float ratioField(const QString& field)
{
    const auto value = userDefaultsExtension::floatMeaning(field);
    return unitRatio(value ? static_cast<float>(*value) : 0.0f);
}

QString joined(const QStringList& kept)
{
    return kept.join(ItemSeparator);
}

} // namespace

QString formatItem(const FrameSetItem& item)
{
    // asprintf formats in the C locale: the stored decimal point is always "."
    return QString::asprintf("%d:%.2f:%.2f:%.2f", item.slot, static_cast<double>(item.main),
                             static_cast<double>(item.left), static_cast<double>(item.right));
}

QStringList items(const QString& frameSet)
{
    return frameSet.split(ItemSeparator, Qt::SkipEmptyParts);
}

int slotOfItem(const QString& item)
{
    const auto slot = userDefaultsExtension::integerMeaning(item.section(FieldSeparator, 0, 0));
    return slot ? static_cast<int>(std::clamp<qint64>(*slot, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()))
                : 0;
}

std::optional<FrameSetItem> findSlot(const QString& frameSet, int slot)
{
    for (const QString& item : items(frameSet)) {
        if (slotOfItem(item) != slot)
            continue;
        const QStringList fields = item.split(FieldSeparator);
        if (fields.size() < 4)
            return std::nullopt;
        return FrameSetItem{slot, ratioField(fields[1]), ratioField(fields[2]), ratioField(fields[3])};
    }
    return std::nullopt;
}

QString saveSlot(const QString& frameSet, const FrameSetItem& item)
{
    QStringList kept = items(frameSet);
    kept.removeIf([&](const QString& existing) { return slotOfItem(existing) == item.slot; });
    kept.append(formatItem(item));
    return joined(kept);
}

QString removeSlot(const QString& frameSet, int slot)
{
    QStringList kept = items(frameSet);
    kept.removeIf([&](const QString& existing) { return slotOfItem(existing) == slot; });
    return joined(kept);
}

float ratio(float first, float whole, float thickness)
{
    const float room = whole - thickness;
    if (!(room > 0.0f))
        return 0.5f;
    return unitRatio(first / room);
}

} // namespace tetrapan::frameSet
