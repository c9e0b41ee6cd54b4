#pragma once

#include <QIcon>
#include <QString>

namespace tetrapan {

// Images are looked up by their design name ("icon_folder", "btn_ctrl_play") among the SVG resources.
// A name with no image gives a null icon.
QIcon namedImage(const QString& name);
QString namedImagePath(const QString& name);

} // namespace tetrapan
