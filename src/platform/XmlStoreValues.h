#pragma once

#include "platform/ObjectModel.h"

#include <QStringView>
#include <QVariant>

#include <optional>

namespace tetrapan::xmlStoreValues {

// Up to `most` decimal digits and nothing else, as the writer writes numbers, read without QLocale's general
// parser, which cost a tenth of reading a large library; anything else is for that parser to judge.
std::optional<quint64> plainDigits(QStringView text, qsizetype most);

// The value of an attribute of `type` written as `text`, or nothing when it is not one.
// `mayHoldHalfPairs`: whether the parser's text can hold half a surrogate pair; text decoded from UTF-8 never
// does, as invalid bytes decode to U+FFFD.
std::optional<QVariant> parseValue(QStringView text, AttributeType type, bool mayHoldHalfPairs);

} // namespace tetrapan::xmlStoreValues
