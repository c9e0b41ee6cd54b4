#include "library/LibrarySchema.h"

namespace tetrapan::LibrarySchema {

ObjectModel model()
{
    using T = AttributeType;
    EntityDescription playlist{
        Playlist,
        {{QStringLiteral("uniqueId"), T::String},
         {QStringLiteral("title"), T::String},
         {QStringLiteral("index"), T::Integer32},
         {QStringLiteral("isFolder"), T::Boolean},
         {QStringLiteral("isExpand"), T::Boolean},
         {QStringLiteral("frameSet"), T::String}},
        {{QStringLiteral("parent"), Playlist, false, QStringLiteral("children")},
         {QStringLiteral("children"), Playlist, true, QStringLiteral("parent")},
         {QStringLiteral("rlt_filelist"), Filelist, true, QStringLiteral("rlt_playlist")}},
    };
    // fileSize is 64-bit so a movie of 2 GB or more keeps its real size
    EntityDescription filelist{
        Filelist,
        {{QStringLiteral("itemId"), T::String},
         {QStringLiteral("uniqueId"), T::String},
         {QStringLiteral("viewNo"), T::Integer32},
         {QStringLiteral("filePath"), T::String},
         {QStringLiteral("title"), T::String},
         {QStringLiteral("playTime"), T::Integer32},
         {QStringLiteral("fileSize"), T::Integer64},
         {QStringLiteral("fileDate"), T::Date}},
        {{QStringLiteral("rlt_playlist"), Playlist, true, QStringLiteral("rlt_filelist")}},
    };
    return ObjectModel({playlist, filelist});
}

} // namespace tetrapan::LibrarySchema
