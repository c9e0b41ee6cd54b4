// The rectangle text of stored window and divider frames, "{{x, y}, {w, h}}". Any text reads without
// harm; what it reads as is written in the stored form and reads back as exactly the same numbers, and
// any four doubles survive being written and read.
#include "FuzzCheck.h"

#include "platform/RectText.h"

#include <cmath>
#include <cstring>

using namespace tetrapan;

namespace {

bool sameNumber(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

// The numbers a rectangle keeps through its text: finite ones exactly, -0 and what is not finite as 0.
double stored(double value)
{
    return std::isfinite(value) && value != 0.0 ? value : 0.0;
}

void checkRoundTrip(const QRectF& rect)
{
    const QString text = rectText::stringFromRect(rect);
    int found = -1;
    const QRectF back = rectText::rectFromString(text, &found);
    FUZZ_CHECK(found == 4);
    FUZZ_CHECK(sameNumber(back.x(), stored(rect.x())));
    FUZZ_CHECK(sameNumber(back.y(), stored(rect.y())));
    FUZZ_CHECK(sameNumber(back.width(), stored(rect.width())));
    FUZZ_CHECK(sameNumber(back.height(), stored(rect.height())));
    FUZZ_CHECK(rectText::stringFromRect(back) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // the input as stored text
    int found = -1;
    const QRectF read = rectText::rectFromString(fuzz::text(data, size), &found);
    FUZZ_CHECK(found >= 0 && found <= 4);
    for (double v : {read.x(), read.y(), read.width(), read.height()})
        FUZZ_CHECK(std::isfinite(v));
    checkRoundTrip(read);

    // the input as four numbers, NaN, infinities and subnormals included
    if (size >= 4 * sizeof(double)) {
        double numbers[4];
        std::memcpy(numbers, data, sizeof numbers);
        checkRoundTrip(QRectF(numbers[0], numbers[1], numbers[2], numbers[3]));
    }
    return 0;
}
