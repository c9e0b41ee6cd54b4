#include "platform/userDefaultsExtension.h"

#include "platform/SettingsDomain.h"

#include <QDir>
#include <QStandardPaths>

#include <charconv>
#include <cmath>
#include <limits>

namespace tetrapan::userDefaultsExtension {

namespace {

// Skips leading blanks and returns the longest prefix that std::from_chars reads as a number.
template <typename T>
std::optional<T> leadingNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    T value{};
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range)
        return bytes.startsWith('-') ? std::numeric_limits<T>::lowest() : std::numeric_limits<T>::max();
    if (result.ec != std::errc() || result.ptr == begin)
        return std::nullopt;
    return value;
}

bool isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A value with no meaning of the asked kind, or a number outside the setting's range (or the kind's), falls
// back to the registered default, then to the fallback: a skip of 1e308 seconds is no skip a user meant.
template <typename T, typename Meaning>
T typedValue(const SettingsDomain& domain, const QString& key, Meaning meaning, T fallback)
{
    const auto range = domain.registeredRange(key);
    const auto inRange = [&](double number) {
        return (!range || (number >= range->lowest && number <= range->highest)) &&
               number >= static_cast<double>(std::numeric_limits<T>::lowest()) &&
               number <= static_cast<double>(std::numeric_limits<T>::max());
    };
    if (const auto value = meaning(domain.objectForKey(key)); value && inRange(static_cast<double>(*value)))
        return static_cast<T>(*value);
    if (const auto registered = meaning(domain.registeredDefault(key)))
        return static_cast<T>(*registered);
    return fallback;
}

} // namespace

std::optional<qint64> integerMeaning(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float) {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return static_cast<qint64>(std::clamp(d, -9.2e18, 9.2e18));
    }
    if (isNumber(value))
        return value.toLongLong();
    if (value.metaType().id() == QMetaType::QString)
        return leadingNumber<qint64>(value.toString());
    return std::nullopt;
}

std::optional<double> floatMeaning(const QVariant& value)
{
    std::optional<double> number;
    if (isNumber(value))
        number = value.toDouble();
    else if (value.metaType().id() == QMetaType::QString)
        number = leadingNumber<double>(value.toString());
    // "inf" and "nan" read as numbers, but as no amount of anything
    if (number && !std::isfinite(*number))
        return std::nullopt;
    return number;
}

std::optional<bool> boolMeaning(const QVariant& value)
{
    if (isNumber(value))
        return value.toDouble() != 0.0;
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    QString text = value.toString().trimmed();
    if (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    while (text.startsWith(QLatin1Char('0')) && text.size() > 1)
        text.remove(0, 1);
    if (text.isEmpty())
        return std::nullopt;
    const QChar first = text.front();
    if (first == QLatin1Char('Y') || first == QLatin1Char('y') || first == QLatin1Char('T') ||
        first == QLatin1Char('t') || (first >= QLatin1Char('1') && first <= QLatin1Char('9')))
        return true;
    return false;
}

bool defaultKeyValue(const SettingsDomain& domain, const QString& key)
{
    return domain.objectForKey(key).isValid();
}

void setDefaultStringValue(SettingsDomain& domain, const QVariant& value, const QString& key)
{
    domain.setObject(value, key);
    domain.synchronize();
}

QVariant defaultStringValue(const SettingsDomain& domain, const QString& key)
{
    const QVariant value = domain.objectForKey(key);
    return value.isValid() ? value : QVariant(QString());
}

void setDefaultIntValue(SettingsDomain& domain, int value, const QString& key)
{
    domain.setObject(value, key);
    domain.synchronize();
}

int defaultIntValue(const SettingsDomain& domain, const QString& key)
{
    return typedValue<int>(domain, key, integerMeaning, 0);
}

void setDefaultBoolValue(SettingsDomain& domain, bool value, const QString& key)
{
    domain.setObject(value, key);
    domain.synchronize();
}

bool defaultBoolValue(const SettingsDomain& domain, const QString& key)
{
    return typedValue<bool>(domain, key, boolMeaning, false);
}

void setDefaultFloatValue(SettingsDomain& domain, float value, const QString& key)
{
    // Stored through its shortest decimal form so 0.1f is written as 0.1, not 0.10000000149011612.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    double widened = value;
    std::from_chars(buffer, result.ptr, widened);
    domain.setObject(widened, key);
    domain.synchronize();
}

float defaultFloatValue(const SettingsDomain& domain, const QString& key)
{
    return typedValue<float>(domain, key, floatMeaning, 0.0f);
}

QString getAppSupportFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("Mirolen"));
}

} // namespace tetrapan::userDefaultsExtension
