#include "platform/RectText.h"

#include <QByteArray>

#include <array>
#include <charconv>
#include <cmath>

namespace tetrapan::rectText {

namespace {

QString shortestNumber(double value)
{
    // "-0" would read back the same but looks like damage to a person reading the file
    if (value == 0.0 || !std::isfinite(value))
        value = 0.0;
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where a number begins at p: a digit, or a sign or point followed by one ("-3", "+.5", ".5").
bool startsNumber(const char* p, const char* end)
{
    if (isDigit(*p))
        return true;
    const char* q = p;
    if (*q == '-' || *q == '+')
        ++q;
    if (q < end && *q == '.')
        ++q;
    return q != p && q < end && isDigit(*q);
}

} // namespace

QString stringFromRect(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(shortestNumber(rect.x()), shortestNumber(rect.y()), shortestNumber(rect.width()),
             shortestNumber(rect.height()));
}

QRectF rectFromString(const QString& text, int* numbersFound)
{
    const QByteArray bytes = text.toLatin1();
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    std::array<double, 4> numbers{};
    int found = 0;
    int usable = 0;
    while (p < end && found < 4) {
        if (!startsNumber(p, end)) {
            ++p;
            continue;
        }
        // from_chars takes a minus sign but no plus sign
        const char* begin = *p == '+' ? p + 1 : p;
        double value = 0.0;
        const auto result = std::from_chars(begin, end, value);
        if (result.ptr == begin) {
            ++p;
            continue;
        }
        // a number too large for a double keeps its place but reads as 0 and does not count as found:
        // it is no coordinate of any screen
        if (result.ec == std::errc() && std::isfinite(value)) {
            numbers[found] = value;
            ++usable;
        }
        ++found;
        p = result.ptr;
    }
    if (numbersFound)
        *numbersFound = usable;
    return QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
}

} // namespace tetrapan::rectText
