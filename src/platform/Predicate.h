#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace tetrapan {

// Attribute-equals-value terms joined by AND. Prints in the familiar text form: uniqueId == "00000001".
// An empty predicate matches every record.
class Predicate {
public:
    struct Term {
        QString key;
        QVariant value;
    };

    Predicate() = default;
    static Predicate equals(const QString& key, const QVariant& value);
    Predicate andEquals(const QString& key, const QVariant& value) const;

    bool isEmpty() const { return terms_.isEmpty(); }
    const QList<Term>& terms() const { return terms_; }
    QString format() const;

    // Whether a stored value satisfies a term: strings compare as text, numbers and flags by value.
    static bool valueMatches(const QVariant& stored, const QVariant& wanted);

    friend bool operator==(const Predicate& a, const Predicate& b);

private:
    QList<Term> terms_;
};

} // namespace tetrapan
