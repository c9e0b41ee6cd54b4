#include "playlist/TextColorTransformer.h"

#include "library/FilelistArrayController.h"
#include "library/LibrarySchema.h"
#include "library/fileAttributeExtension.h"
#include "platform/ObjectContext.h"

#include <QColor>

namespace tetrapan {

TextColorTransformer::TextColorTransformer(const ObjectContext& context) : context_(&context) {}

QVariant TextColorTransformer::transformedValue(ObjectId entry) const
{
    if (entry == NoObject || !context_->contains(entry))
        return {};
    const QString path = context_->value(entry, LibrarySchema::FilePath).toString();
    if (fileAttributeExtension::checkFileExists(path) > 0)
        return {};
    return QColor(Qt::gray);
}

void TextColorTransformer::registerWith(FilelistArrayController& filelist) const
{
    filelist.setForegroundProvider(
        [transformer = *this](ObjectId entry) { return transformer.transformedValue(entry); });
}

} // namespace tetrapan
