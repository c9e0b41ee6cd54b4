#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tetrapan {

// One saved arrangement of the main window's dividers: the left column's share of the width, pane 1's
// share of the left column and pane 3's share of the right column, each from 0 (first pane collapsed) to
// 1 (second pane collapsed).
struct FrameSetItem {
    int slot = 0;
    float main = 0.0f;
    float left = 0.0f;
    float right = 0.0f;
};

// A playlist's frame set: items "slot:main:left:right" ("%d:%.2f:%.2f:%.2f") joined by "/", at most one
// per slot; "" holds none. The program itself uses slot 0 only; items of other slots are kept untouched.
namespace frameSet {

inline constexpr int SystemSlot = 0;

QString formatItem(const FrameSetItem& item);
// The frame set's items in order; "" has none, and empty items between separators are dropped.
QStringList items(const QString& frameSet);
// The leading integer of the item's first field, 0 if there is none.
int slotOfItem(const QString& item);
// The first item of the slot. Nothing when there is none, or when that item lacks one of its four fields.
// Ratios read as their leading decimal number, are 0 when they have none and are held to 0..1, so a
// hand-edited item cannot push a divider out of its split view.
std::optional<FrameSetItem> findSlot(const QString& frameSet, int slot);
// The frame set with the item's slot replaced: every item of that slot removed, the item appended.
QString saveSlot(const QString& frameSet, const FrameSetItem& item);
// The frame set without the slot's items; removing the only item leaves "".
QString removeSlot(const QString& frameSet, int slot);
// The first subview's share of a split view: first / (whole - thickness), in single precision, held to
// 0..1; an even share when the split view has no room at all.
float ratio(float first, float whole, float thickness);

} // namespace frameSet
} // namespace tetrapan
