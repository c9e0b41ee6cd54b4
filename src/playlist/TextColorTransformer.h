#pragma once

#include "platform/ObjectModel.h"

#include <QString>
#include <QVariant>

namespace tetrapan {

class FilelistArrayController;
class ObjectContext;

// Turns a file entry into the colour its row is written in: grey when the entry's movie file is missing,
// nothing (the table's own colour) otherwise. Only this direction exists. The file list answers it as its
// rows' foreground.
class TextColorTransformer {
public:
    // The name the transformer is known by wherever a view's text colour is bound to it.
    static inline const QString Name = QStringLiteral("TextColorTransformer");

    explicit TextColorTransformer(const ObjectContext& context);

    static bool allowsReverseTransformation() { return false; }
    // A QColor, or an invalid value for no entry or an entry whose file is there.
    QVariant transformedValue(ObjectId entry) const;

    // The file list's rows take their text colour from this transformer; it must outlive the file list's
    // use of it, so the file list gets a copy.
    void registerWith(FilelistArrayController& filelist) const;

private:
    const ObjectContext* context_;
};

} // namespace tetrapan
