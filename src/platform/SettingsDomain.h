#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class QSettings;

namespace tetrapan {

// The user's settings: a JSON file (one object, a key per setting) with a registration layer of defaults in
// memory underneath. Every write reaches the file before it returns and announces itself through
// valueChanged, whoever the writer is.
class SettingsDomain : public QObject {
    Q_OBJECT
public:
    // filePath is the JSON file; it need not exist. A file that is not a JSON object is renamed to
    // "<file>.damaged" and the domain starts empty.
    explicit SettingsDomain(const QString& filePath, QObject* parent = nullptr);
    ~SettingsDomain() override;

    // Where the settings live for this user: $XDG_CONFIG_HOME/Tetrapan/Tetrapan.json.
    static QString standardFilePath();

    QString filePath() const { return filePath_; }
    // Non-empty when the file was found damaged at start and set aside.
    QString damagedFileNote() const { return damagedNote_; }

    void registerDefaults(const QVariantMap& defaults);
    QVariant registeredDefault(const QString& key) const { return registered_.value(key); }
    // The numbers a setting may sensibly hold; a stored number outside them reads as the default.
    struct Range {
        double lowest;
        double highest;
    };
    void registerRange(const QString& key, Range range) { ranges_.insert(key, range); }
    std::optional<Range> registeredRange(const QString& key) const
    {
        const auto it = ranges_.constFind(key);
        return it == ranges_.cend() ? std::nullopt : std::optional<Range>(*it);
    }

    // The stored value, else the registered default, else an invalid QVariant.
    QVariant objectForKey(const QString& key) const;
    bool hasStoredValue(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void removeObject(const QString& key);
    // Writes pending values to disk; false when the file could not be written.
    bool synchronize();

Q_SIGNALS:
    void valueChanged(const QString& key);

private:
    QString filePath_;
    QString damagedNote_;
    std::unique_ptr<QSettings> settings_;
    QVariantMap registered_;
    QHash<QString, Range> ranges_;
};

} // namespace tetrapan
