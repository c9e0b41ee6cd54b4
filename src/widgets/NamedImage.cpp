#include "widgets/NamedImage.h"

#include <QFile>

namespace tetrapan {

QString namedImagePath(const QString& name)
{
    if (name.isEmpty())
        return {};
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    return QFile::exists(path) ? path : QString();
}

QIcon namedImage(const QString& name)
{
    const QString path = namedImagePath(name);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

} // namespace tetrapan
