#include "platform/SettingsDomain.h"

#include "platform/JsonSettingsFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tetrapan {

namespace {

QSettings::Format jsonFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat("json", jsonSettingsFormat::read, jsonSettingsFormat::write);
    return format;
}

// A file that exists but does not hold a JSON object is set aside, never overwritten.
QString setAsideIfDamaged(const QString& filePath)
{
    QFile file(filePath);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();
    QSettings::SettingsMap map;
    QString reason;
    if (jsonSettingsFormat::parse(bytes, map, &reason))
        return {};
    const QString damaged = filePath + QStringLiteral(".damaged");
    QFile::remove(damaged);
    if (!QFile::rename(filePath, damaged)) {
        return QStringLiteral("The settings file %1 is damaged (%2) and could not be set aside.")
            .arg(filePath, reason);
    }
    return QStringLiteral("The settings file %1 was damaged (%2); it was kept as %3 and defaults are used.")
        .arg(filePath, reason, damaged);
}

} // namespace

SettingsDomain::SettingsDomain(const QString& filePath, QObject* parent) : QObject(parent), filePath_(filePath)
{
    damagedNote_ = setAsideIfDamaged(filePath_);
    if (!damagedNote_.isEmpty())
        qWarning("%s", qPrintable(damagedNote_));
    settings_ = std::make_unique<QSettings>(filePath_, jsonFormat());
    settings_->setFallbacksEnabled(false);
}

SettingsDomain::~SettingsDomain() = default;

QString SettingsDomain::standardFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Tetrapan/Tetrapan.json"));
}

void SettingsDomain::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        registered_.insert(it.key(), it.value());
}

QVariant SettingsDomain::objectForKey(const QString& key) const
{
    const QVariant stored = settings_->value(key);
    if (stored.isValid())
        return stored;
    return registered_.value(key);
}

bool SettingsDomain::hasStoredValue(const QString& key) const
{
    return settings_->contains(key);
}

void SettingsDomain::setObject(const QVariant& value, const QString& key)
{
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    settings_->setValue(key, value);
    Q_EMIT valueChanged(key);
}

void SettingsDomain::removeObject(const QString& key)
{
    if (!settings_->contains(key))
        return;
    settings_->remove(key);
    Q_EMIT valueChanged(key);
}

bool SettingsDomain::synchronize()
{
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace tetrapan
