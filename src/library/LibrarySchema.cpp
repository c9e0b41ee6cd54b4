#include "library/LibrarySchema.h"

namespace tetrapan::LibrarySchema {

ObjectModel model()
{
    using T = AttributeType;
    EntityDescription playlist{
        Playlist,
        {{UniqueId, T::String},
         {Title, T::String},
         {Index, T::Integer32},
         {IsFolder, T::Boolean},
         {IsExpand, T::Boolean},
         {FrameSet, T::String}},
        {{Parent, Playlist, false, Children},
         {Children, Playlist, true, Parent},
         {RltFilelist, Filelist, true, RltPlaylist}},
    };
    // fileSize is 64-bit so a movie of 2 GB or more keeps its real size
    EntityDescription filelist{
        Filelist,
        {{ItemId, T::String},
         {UniqueId, T::String},
         {ViewNo, T::Integer32},
         {FilePath, T::String},
         {Title, T::String},
         {PlayTime, T::Integer32},
         {FileSize, T::Integer64},
         {FileDate, T::Date},
         // added later: a library written before has none, and a damaged value costs only the offset
         {Offset, T::Integer64, true},
         // where the entry's pane stood when its playlist was left, in milliseconds; added later too
         {Position, T::Integer64, true},
         // how fast the entry's movie runs against the common time line; added later: absent is 1, and a
         // damaged value costs only the rate
         {Rate, T::PositiveReal, true},
         // a recording's; added later, absent for a movie file
         {Camera, T::String, true},
         {RecordingFiles, T::String, true},
         {RecordingStart, T::Date, true},
         {RecordingEnd, T::Date, true},
         {FileCount, T::Integer32, true}},
        {{RltPlaylist, Playlist, true, RltFilelist}},
    };
    // a playlist's entries are found by its identifier
    return ObjectModel({playlist, filelist}, UniqueId);
}

} // namespace tetrapan::LibrarySchema
