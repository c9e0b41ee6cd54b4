#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace tetrapan {

// The settings file's own format: one JSON object, a key per setting. The settings domain reads the file
// with parse, which also says whether a file is usable at all, and writes it with serialize; read and write
// are the same over a device.
namespace jsonSettingsFormat {

// Blank text is an empty map. False, with the reason when asked, when the text is not one JSON object.
bool parse(const QByteArray& bytes, QSettings::SettingsMap& map, QString* reason = nullptr);
QByteArray serialize(const QSettings::SettingsMap& map);

bool read(QIODevice& device, QSettings::SettingsMap& map);
bool write(QIODevice& device, const QSettings::SettingsMap& map);

} // namespace jsonSettingsFormat
} // namespace tetrapan
