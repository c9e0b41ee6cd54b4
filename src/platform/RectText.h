#pragma once

#include <QRectF>
#include <QString>

namespace tetrapan {

// The text form windows and split views are stored in: "{{x, y}, {width, height}}", each number written in
// its shortest decimal form ("{{120, 35.5}, {800, 600}}"). Stored settings from earlier runs hold this
// form, so it never changes.
namespace rectText {

QString stringFromRect(const QRectF& rect);

// Reads the first four numbers found anywhere in the text as x, y, width and height; a missing number
// reads as 0, so a text without numbers gives the zero rectangle. numbersFound, when given, receives how
// many of the four were there and usable (a number too large for a double keeps its place but reads as
// 0), which tells a complete rectangle from a damaged one.
QRectF rectFromString(const QString& text, int* numbersFound = nullptr);

} // namespace rectText
} // namespace tetrapan
