#pragma once

#include <QString>

namespace tetrapan::engineVersion {

// The movie engine's library as the program runs with it, for the About box: "libmpv client API 2.1".
QString libraryText();

} // namespace tetrapan::engineVersion
