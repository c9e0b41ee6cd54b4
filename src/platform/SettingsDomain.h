#pragma once

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>
#include <utility>

namespace tetrapan {

// The user's settings: a JSON file (one object, a key per setting) with a registration layer of defaults in
// memory underneath. Every write announces itself through valueChanged, whoever the writer is, and reaches
// the file at the next synchronize(), at the latest on the next turn of the event loop or when the domain
// goes. The file is replaced whole through AtomicFileWriter, so it is either the old one or the new one, and
// a write that fails says so (writeFailed) instead of leaving a cut-off file.
class SettingsDomain : public QObject {
    Q_OBJECT
public:
    // filePath is the JSON file; it need not exist. A file that cannot be used (not a JSON object, not a
    // regular file, unreadable) is renamed to "<file>.damaged-<yyyyMMdd-HHmmss>" and the domain starts empty.
    explicit SettingsDomain(const QString& filePath, QObject* parent = nullptr);
    // Writes what is not written yet.
    ~SettingsDomain() override;

    // Where the settings live for this user: $XDG_CONFIG_HOME/Tetrapan/Tetrapan.json.
    static QString standardFilePath();

    QString filePath() const { return filePath_; }
    // Non-empty when the file was found damaged at start: what was wrong and where it was kept.
    QString damagedFileNote() const { return damagedNote_; }
    // The same, once: afterwards empty, so the user is told only once per damage.
    QString takeDamagedFileNote() { return std::exchange(damagedNote_, {}); }

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
    // Writes pending values to disk; false when the file could not be written (they stay pending).
    bool synchronize();

Q_SIGNALS:
    void valueChanged(const QString& key);
    // A write failed after the last one succeeded (once per run of failures): the file and why.
    void writeFailed(const QString& filePath, const QString& reason);

private:
    void load();
    void changed(const QString& key);

    QString filePath_;
    QString damagedNote_;
    QMap<QString, QVariant> stored_;
    QVariantMap registered_;
    QHash<QString, Range> ranges_;
    bool dirty_ = false;
    bool failing_ = false;
    bool leftInPlace_ = false; // damaged and could not be set aside
    bool syncQueued_ = false;
};

} // namespace tetrapan
