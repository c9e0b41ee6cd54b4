#include "playlist/TextColorTransformer.h"

#include "library/FileExistenceCache.h"
#include "library/FilelistArrayController.h"
#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"

#include <QColor>

namespace tetrapan {

TextColorTransformer::TextColorTransformer(const ObjectContext& context, FileExistenceCache& existence)
    : context_(&context), existence_(&existence)
{
}

QVariant TextColorTransformer::transformedValue(ObjectId entry) const
{
    if (entry == NoObject || !context_->contains(entry))
        return {};
    const QString path = context_->value(entry, LibrarySchema::FilePath).toString();
    if (existence_->isPresent(path))
        return {};
    return QColor(Qt::gray);
}

void TextColorTransformer::registerWith(FilelistArrayController& filelist) const
{
    filelist.setForegroundProvider(
        [transformer = *this](ObjectId entry) { return transformer.transformedValue(entry); });
    QObject::connect(existence_, &FileExistenceCache::presenceChanged, &filelist,
                     &FilelistArrayController::refreshForeground);
}

} // namespace tetrapan
