// The settings file as the settings domain reads it. A file it accepts is one whose settings survive the
// next write: written and read again they are the same settings, and writing those gives the same text.
// Every stored value, whatever its kind, reads through the typed getters' meanings without harm.
#include "FuzzCheck.h"

#include "platform/JsonSettingsFormat.h"
#include "platform/RectText.h"
#include "platform/userDefaultsExtension.h"

#include <QBuffer>

using namespace tetrapan;

namespace {

void readEveryWay(const QVariant& value)
{
    userDefaultsExtension::integerMeaning(value);
    userDefaultsExtension::floatMeaning(value);
    userDefaultsExtension::boolMeaning(value);
    if (value.metaType().id() == QMetaType::QString)
        rectText::rectFromString(value.toString());
    if (value.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant& member : value.toList())
            readEveryWay(member);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QBuffer file;
    file.setData(fuzz::bytes(data, size));
    file.open(QIODevice::ReadOnly);
    QSettings::SettingsMap settings;
    const bool usable = jsonSettingsFormat::read(file, settings);
    // the domain sets aside exactly the files QSettings would refuse
    QSettings::SettingsMap again;
    QString reason;
    FUZZ_CHECK(jsonSettingsFormat::parse(fuzz::bytes(data, size), again, &reason) == usable);
    FUZZ_CHECK(usable == reason.isEmpty());
    if (!usable)
        return 0;
    FUZZ_CHECK(again == settings);

    for (const QVariant& value : std::as_const(settings))
        readEveryWay(value);

    QBuffer written;
    written.open(QIODevice::WriteOnly);
    FUZZ_CHECK(jsonSettingsFormat::write(written, settings));
    QSettings::SettingsMap reread;
    FUZZ_CHECK(jsonSettingsFormat::parse(written.data(), reread));
    FUZZ_CHECK(reread == settings);
    FUZZ_CHECK(jsonSettingsFormat::serialize(reread) == written.data());
    return 0;
}
