#pragma once

#include "platform/AtomicFileWriter.h"
#include "platform/LatestWrite.h"

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
// goes. The file is written on a thread of the domain's own, so no setter waits on the disk (a slider
// dragged over a slow or network home writes at every step). The file is replaced whole through
// AtomicFileWriter, so it is either the old one or the new one, and a write that fails says so
// (writeFailed) instead of leaving a cut-off file.
class SettingsDomain : public QObject {
    Q_OBJECT
public:
    // filePath is the JSON file; it need not exist. A file that cannot be used (not a JSON object, not a
    // regular file, unreadable) is renamed to "<file>.damaged-<yyyyMMdd-HHmmss>" and the domain starts empty.
    // calls: the system calls the file is written through.
    explicit SettingsDomain(const QString& filePath, QObject* parent = nullptr,
                            const FileWriteCalls& calls = FileWriteCalls::system());
    // Writes what is not written yet, and waits for it.
    ~SettingsDomain() override;

    // How long a write waits for another program's write to the same file ("<file>.lock") before it writes
    // anyway.
    static constexpr int LockWaitMs = 2000;

    // Where the settings live for this user: $XDG_CONFIG_HOME/Tetrapan/Tetrapan.json.
    static QString standardFilePath();
    // Copies the user's settings as they are to `copy`, for a program that reads them and must change nothing
    // of the user's (a damaged file is put aside on reading). True with nothing to copy; false, with why,
    // for a file that cannot be read (a FIFO, which would hang an open, included) or a copy not written.
    static bool copyStandardFile(const QString& copy, QString* why);

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
    // Has the values not written yet written on the domain's thread. Only one write runs at a time: values
    // set meanwhile follow it, the last of them only, in one write.
    void synchronize();
    // Writes the values not written yet now, after a write under way; false when the file could not be
    // written (they stay to be written).
    bool flush();

Q_SIGNALS:
    void valueChanged(const QString& key);
    // A write failed after the last one succeeded (once per run of failures): the file and why.
    void writeFailed(const QString& filePath, const QString& reason);

private:
    struct Written {
        bool ok = false;
        QString reason;
    };
    // Keys set (a valid value) or removed (an invalid one).
    using Changes = QMap<QString, QVariant>;
    // Writes the file as it is on disk now with the changes made to it, so that another program on the same
    // file (another Tetrapan with a library of its own) keeps what it set meanwhile; all the values, where
    // the file is missing or cannot be read.
    static Written write(const QString& filePath, const QMap<QString, QVariant>& all, const Changes& changes,
                         const FileWriteCalls& calls);
    void load();
    void changed(const QString& key);
    void takeWritten(const Written& written, const Changes& changes);
    // What a write put on disk is no longer to be written, unless set again since.
    void forgetWritten(const Changes& changes);
    void tellFailure(const QString& reason);

    QString filePath_;
    QString damagedNote_;
    QMap<QString, QVariant> stored_;
    QVariantMap registered_;
    QHash<QString, Range> ranges_;
    bool dirty_ = false;
    // What was set or removed and is not on disk yet: every write carries all of it, so a write that
    // replaces one still waiting, or one that failed, loses nothing
    Changes unwritten_;
    bool failing_ = false;
    bool leftInPlace_ = false; // damaged and could not be set aside
    bool syncQueued_ = false;
    FileWriteCalls calls_;
    LatestWrite writes_;
};

} // namespace tetrapan
