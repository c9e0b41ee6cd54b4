#include "engine/EngineVersion.h"

#include <mpv/client.h>

namespace tetrapan::engineVersion {

QString libraryText()
{
    // the library loaded at run time, which may be newer than the headers the program was built with
    const unsigned long version = mpv_client_api_version();
    return QStringLiteral("libmpv client API %1.%2").arg(version >> 16).arg(version & 0xffff);
}

} // namespace tetrapan::engineVersion
