#pragma once

#include "platform/ObjectModel.h"

#include <QString>
#include <QVariant>

namespace tetrapan {

class FileExistenceCache;
class FilelistArrayController;
class ObjectContext;

// Turns a file entry into the colour its row is written in: grey when the entry's movie file is missing,
// nothing (the table's own colour) otherwise. Only this direction exists. The file list answers it as its
// rows' foreground. Whether a file is missing comes from the existence cache, so no repaint waits on the
// file system: a file not yet looked at shows as there until the answer comes.
class TextColorTransformer {
public:
    // The name the transformer is known by wherever a view's text colour is bound to it.
    static inline const QString Name = QStringLiteral("TextColorTransformer");

    TextColorTransformer(const ObjectContext& context, FileExistenceCache& existence);

    static bool allowsReverseTransformation() { return false; }
    // A QColor, or an invalid value for no entry or an entry whose file is there.
    QVariant transformedValue(ObjectId entry) const;

    // The file list's rows take their text colour from this transformer, and are painted again when an
    // answer changes it. The file list gets a copy; the cache must outlive the file list's use of it.
    void registerWith(FilelistArrayController& filelist) const;

private:
    const ObjectContext* context_;
    FileExistenceCache* existence_;
};

} // namespace tetrapan
