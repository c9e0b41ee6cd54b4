#include "platform/Predicate.h"

#include <QDateTime>

namespace tetrapan {

Predicate Predicate::equals(const QString& key, const QVariant& value)
{
    return Predicate().andEquals(key, value);
}

Predicate Predicate::andEquals(const QString& key, const QVariant& value) const
{
    Predicate p = *this;
    p.terms_.append({key, value});
    return p;
}

QString Predicate::format() const
{
    QStringList parts;
    for (const Term& t : terms_) {
        QString value;
        if (!t.value.isValid())
            value = QStringLiteral("nil");
        else if (t.value.metaType().id() == QMetaType::QString)
            value = QLatin1Char('"') + t.value.toString() + QLatin1Char('"');
        else if (t.value.metaType().id() == QMetaType::Bool)
            value = t.value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        else
            value = t.value.toString();
        parts.append(t.key + QStringLiteral(" == ") + value);
    }
    return parts.join(QStringLiteral(" AND "));
}

bool Predicate::valueMatches(const QVariant& stored, const QVariant& wanted)
{
    if (!wanted.isValid())
        return !stored.isValid();
    if (!stored.isValid())
        return false;
    const int s = stored.metaType().id();
    const int w = wanted.metaType().id();
    if (s == QMetaType::QString || w == QMetaType::QString)
        return s == w && stored.toString() == wanted.toString();
    if (s == QMetaType::QDateTime || w == QMetaType::QDateTime)
        return s == w && stored.toDateTime() == wanted.toDateTime();
    return stored.toLongLong() == wanted.toLongLong();
}

bool operator==(const Predicate& a, const Predicate& b)
{
    if (a.terms_.size() != b.terms_.size())
        return false;
    for (qsizetype i = 0; i < a.terms_.size(); ++i) {
        if (a.terms_[i].key != b.terms_[i].key || a.terms_[i].value != b.terms_[i].value)
            return false;
    }
    return true;
}

} // namespace tetrapan
