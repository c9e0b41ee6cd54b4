#include "shell/AboutTetrapan.h"

#include "engine/EngineVersion.h"
#include "library/dialogExtension.h"

#include <QtGlobal>

namespace tetrapan::aboutTetrapan {

QString title()
{
    return QStringLiteral("Tetrapan %1").arg(QStringLiteral(TETRAPAN_VERSION));
}

QString details()
{
    return QStringList{
        QStringLiteral("Up to four movies side by side."),
        QStringLiteral("Qt %1, %2").arg(QString::fromLatin1(qVersion()), engineVersion::libraryText()),
        QStringLiteral("Licence: %1").arg(QStringLiteral(TETRAPAN_LICENSE)),
        QStringLiteral(TETRAPAN_HOMEPAGE),
    }
        .join(QLatin1Char('\n'));
}

void show(DialogPresenter& dialogs)
{
    dialogExtension::displayMessageWithIcon(dialogs, QStringLiteral("tetrapan"), title(), details(),
                                            QStringLiteral("OK"));
}

} // namespace tetrapan::aboutTetrapan
