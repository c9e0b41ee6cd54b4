// A playlist's frame set, "slot:main:left:right" items joined by "/". Whatever text a playlist holds,
// finding, saving and removing a slot keep the rules: at most one item per slot after a save, the saved
// ratios read back, and every item of another slot kept as it was, in its order.
#include "FuzzCheck.h"

#include "library/FrameSet.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

using namespace tetrapan;

namespace {

QStringList itemsOfOtherSlots(const QString& frameSet, int slot)
{
    QStringList kept = frameSet::items(frameSet);
    kept.removeIf([&](const QString& item) { return frameSet::slotOfItem(item) == slot; });
    return kept;
}

int slotCount(const QString& frameSet, int slot)
{
    int n = 0;
    for (const QString& item : frameSet::items(frameSet))
        n += frameSet::slotOfItem(item) == slot;
    return n;
}

bool isRatio(float value)
{
    return std::isfinite(value) && value >= 0.0f && value <= 1.0f;
}

// Any float: the divider geometry it is made from may be anything at all.
float anyFloat(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? input.ConsumeFloatingPoint<float>() : input.ConsumeProbability<float>();
}

void checkFind(const QString& frameSet, int slot)
{
    const std::optional<FrameSetItem> found = frameSet::findSlot(frameSet, slot);
    QString first;
    for (const QString& item : frameSet::items(frameSet)) {
        FUZZ_CHECK(!item.isEmpty() && !item.contains(QLatin1Char('/')));
        if (first.isNull() && frameSet::slotOfItem(item) == slot)
            first = item;
    }
    // found exactly when the slot's first item has its four fields
    FUZZ_CHECK(found.has_value() == (!first.isNull() && first.count(QLatin1Char(':')) >= 3));
    if (found) {
        FUZZ_CHECK(found->slot == slot);
        FUZZ_CHECK(isRatio(found->main) && isRatio(found->left) && isRatio(found->right));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // mostly the few slots a hand-edited frame set is likely to hold, sometimes any number
    const int slot = input.ConsumeBool() ? input.ConsumeIntegralInRange(-1, 3) : input.ConsumeIntegral<int>();
    FrameSetItem item;
    item.slot = slot;
    item.main = frameSet::ratio(anyFloat(input), anyFloat(input), anyFloat(input));
    item.left = frameSet::ratio(anyFloat(input), anyFloat(input), anyFloat(input));
    item.right = frameSet::ratio(anyFloat(input), anyFloat(input), anyFloat(input));
    FUZZ_CHECK(isRatio(item.main) && isRatio(item.left) && isRatio(item.right));
    const QString text = QString::fromStdString(input.ConsumeRemainingBytesAsString());

    checkFind(text, slot);
    FUZZ_CHECK(frameSet::slotOfItem(frameSet::formatItem(item)) == slot);

    const QString saved = frameSet::saveSlot(text, item);
    checkFind(saved, slot);
    FUZZ_CHECK(slotCount(saved, slot) == 1);
    FUZZ_CHECK(frameSet::items(saved).last() == frameSet::formatItem(item));
    FUZZ_CHECK(itemsOfOtherSlots(saved, slot) == itemsOfOtherSlots(text, slot));
    const std::optional<FrameSetItem> back = frameSet::findSlot(saved, slot);
    FUZZ_CHECK(back.has_value());
    // written with two decimals
    FUZZ_CHECK(std::fabs(back->main - item.main) <= 0.00501f);
    FUZZ_CHECK(std::fabs(back->left - item.left) <= 0.00501f);
    FUZZ_CHECK(std::fabs(back->right - item.right) <= 0.00501f);
    FUZZ_CHECK(frameSet::saveSlot(saved, item) == saved);

    const QString removed = frameSet::removeSlot(text, slot);
    checkFind(removed, slot);
    FUZZ_CHECK(slotCount(removed, slot) == 0);
    FUZZ_CHECK(!frameSet::findSlot(removed, slot));
    FUZZ_CHECK(frameSet::items(removed) == itemsOfOtherSlots(text, slot));
    FUZZ_CHECK(frameSet::removeSlot(saved, slot) == removed);
    FUZZ_CHECK(frameSet::removeSlot(removed, slot) == removed);
    // with nothing else in the set, removing the saved item leaves no text at all
    if (itemsOfOtherSlots(text, slot).isEmpty())
        FUZZ_CHECK(removed.isEmpty());
    return 0;
}
