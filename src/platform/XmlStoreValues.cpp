#include "platform/XmlStoreValues.h"

#include "platform/XmlStore.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace tetrapan::xmlStoreValues {

namespace {

// The form the writer uses, "yyyy-MM-ddTHH:mm:ss.zzzZ", read without QDateTime's general parser, which cost
// an eighth of reading a large library; anything else, or a date that does not exist, goes to that parser.
QDateTime writtenDate(QStringView text)
{
    static constexpr QStringView form = u"0000-00-00T00:00:00.000Z";
    if (text.size() != form.size())
        return {};
    const auto number = [text](int at, int width) {
        int value = 0;
        for (int i = at; i < at + width; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    for (qsizetype i = 0; i < form.size(); ++i) {
        if (form[i] != u'0' && text[i] != form[i])
            return {};
    }
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2), ms = number(20, 3);
    if (std::min({year, month, day, hour, minute, second, ms}) < 0)
        return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

// A signed number of at most `most` digits, so that it cannot overflow the type asked for.
std::optional<qint64> plainInteger(QStringView text, qsizetype most)
{
    const bool negative = text.startsWith(u'-');
    const auto digits = plainDigits(negative ? text.sliced(1) : text, most);
    if (!digits)
        return std::nullopt;
    return negative ? -qint64(*digits) : qint64(*digits);
}

} // namespace

std::optional<quint64> plainDigits(QStringView text, qsizetype most)
{
    if (text.isEmpty() || text.size() > most)
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : text) {
        const unsigned digit = unsigned(c.unicode()) - u'0';
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<QVariant> parseValue(QStringView text, AttributeType type, bool mayHoldHalfPairs)
{
    bool ok = false;
    switch (type) {
    case AttributeType::String:
        // A file in another encoding (UTF-7, say) can decode to half a surrogate pair, which no UTF-8 file
        // holds: kept, it would be saved as something else than was read.
        if (mayHoldHalfPairs && !text.isValidUtf16())
            return std::nullopt;
        return QVariant(text.toString());
    case AttributeType::Integer32: {
        if (const auto plain = plainInteger(text, 9))
            return QVariant(int(*plain));
        const int v = text.toInt(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case AttributeType::Integer64: {
        if (const auto plain = plainInteger(text, 18))
            return QVariant(*plain);
        const qint64 v = text.toLongLong(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case AttributeType::Boolean:
        if (text == QLatin1String("true"))
            return QVariant(true);
        if (text == QLatin1String("false"))
            return QVariant(false);
        return std::nullopt;
    case AttributeType::Date: {
        QDateTime d = writtenDate(text);
        if (!d.isValid())
            d = QDateTime::fromString(text.toString(), Qt::ISODateWithMs).toUTC();
        return XmlStore::canHoldDate(d) ? std::optional<QVariant>(d) : std::nullopt;
    }
    case AttributeType::PositiveReal: {
        const double v = text.toDouble(&ok);
        return ok && std::isfinite(v) && v > 0.0 ? std::optional<QVariant>(v) : std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace tetrapan::xmlStoreValues
