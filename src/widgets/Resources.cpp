#include "widgets/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function and must be used outside any namespace.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tetrapan {

void initResources()
{
    static const bool registered = (registerCompiledResources(), true);
    Q_UNUSED(registered);
}

} // namespace tetrapan
