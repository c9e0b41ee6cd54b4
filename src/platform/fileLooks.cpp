#include "platform/fileLooks.h"

#include <QThreadPool>

namespace tetrapan::fileLooks {

QThreadPool& pool()
{
    // never destroyed: its destructor would wait for a look that hangs
    static QThreadPool* const threads = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(8);
        return made;
    }();
    return *threads;
}

} // namespace tetrapan::fileLooks
