#pragma once

class QWidget;

namespace tetrapan {

// The text size of the playlist window's lists (the playlist tree and the file list), the setting
// optFontSizeList in points.
namespace listFontSize {

constexpr const char* OptFontSizeList = "optFontSizeList";
constexpr int Minimum = 6;
constexpr int Maximum = 48;
// The size a user who never chose one has; the file table's first widths are for it.
constexpr int Registered = 12;

// Every list inside the window shows its rows in this size (kept within Minimum and Maximum), and a
// table's rows grow to hold it; its shown columns widen or narrow in proportion.
void apply(QWidget* window, int points);

} // namespace listFontSize
} // namespace tetrapan
