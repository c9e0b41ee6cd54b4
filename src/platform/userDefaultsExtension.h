#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace tetrapan {

class SettingsDomain;

// Typed access to the settings domain. Setters write through to disk before they return; getters never
// write. A missing key (no stored value and no registered default) reads as "", 0, false or 0.0.
namespace userDefaultsExtension {

bool defaultKeyValue(const SettingsDomain& domain, const QString& key);

void setDefaultStringValue(SettingsDomain& domain, const QVariant& value, const QString& key);
// The stored object unchanged; "" when the key is missing.
QVariant defaultStringValue(const SettingsDomain& domain, const QString& key);

void setDefaultIntValue(SettingsDomain& domain, int value, const QString& key);
int defaultIntValue(const SettingsDomain& domain, const QString& key);

void setDefaultBoolValue(SettingsDomain& domain, bool value, const QString& key);
bool defaultBoolValue(const SettingsDomain& domain, const QString& key);

void setDefaultFloatValue(SettingsDomain& domain, float value, const QString& key);
float defaultFloatValue(const SettingsDomain& domain, const QString& key);

// The user's data folder joined with "Mirolen"; nothing is created.
QString getAppSupportFolder();

// How a stored value of any kind reads as a number or a flag: numbers as they are, a string by its leading
// number (" 12abc" is 12) or, for flags, its first letter (Y/y/T/t or a non-zero digit is true).
// std::nullopt when the value has no such meaning (a list, a dictionary, a string without a number).
std::optional<qint64> integerMeaning(const QVariant& value);
std::optional<double> floatMeaning(const QVariant& value);
std::optional<bool> boolMeaning(const QVariant& value);

} // namespace userDefaultsExtension
} // namespace tetrapan
