#pragma once

#include "platform/ObjectModel.h"

#include <QString>

namespace tetrapan {

// The two record kinds of the library and the names their attributes travel under.
namespace LibrarySchema {

inline const QString Playlist = QStringLiteral("playlist");
inline const QString Filelist = QStringLiteral("filelist");

ObjectModel model();

} // namespace LibrarySchema
} // namespace tetrapan
