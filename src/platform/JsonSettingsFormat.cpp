#include "platform/JsonSettingsFormat.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace tetrapan::jsonSettingsFormat {

// QSettings treats "/" in a key as a group separator only when the program asks with one; the map it
// hands over and back is exactly the flat JSON object, so keys of other programs stay as they are.
bool parse(const QByteArray& bytes, QSettings::SettingsMap& map, QString* reason)
{
    if (bytes.trimmed().isEmpty())
        return true;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        if (reason) {
            *reason = error.error != QJsonParseError::NoError
                          ? QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset)
                          : QStringLiteral("the file does not hold a JSON object");
        }
        return false;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), it.value().toVariant());
    return true;
}

QByteArray serialize(const QSettings::SettingsMap& map)
{
    return QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Indented);
}

bool read(QIODevice& device, QSettings::SettingsMap& map)
{
    return parse(device.readAll(), map);
}

bool write(QIODevice& device, const QSettings::SettingsMap& map)
{
    const QByteArray bytes = serialize(map);
    return device.write(bytes) == bytes.size();
}

} // namespace tetrapan::jsonSettingsFormat
