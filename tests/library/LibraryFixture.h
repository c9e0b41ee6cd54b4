#pragma once

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace tetrapan::test {

// An empty library and empty settings of its own, for one test function.
struct LibraryFixture {
    QTemporaryDir dir;
    StoreCoordinator coordinator{LibrarySchema::model()};
    ObjectContext context{coordinator};
    SettingsDomain settings{QDir(dir.path()).filePath(QStringLiteral("settings.json"))};

    ObjectId node(const QString& uniqueId, bool folder = false, ObjectId parent = NoObject, int index = 0,
                  const QString& title = {})
    {
        const ObjectId id = context.insertNewObject(LibrarySchema::Playlist);
        context.setValue(id, QStringLiteral("uniqueId"), uniqueId);
        context.setValue(id, QStringLiteral("isFolder"), folder);
        context.setValue(id, QStringLiteral("index"), index);
        context.setValue(id, QStringLiteral("title"), title.isEmpty() ? uniqueId : title);
        if (parent != NoObject)
            context.setRelatedObject(id, QStringLiteral("parent"), parent);
        return id;
    }

    ObjectId entry(const QString& uniqueId, int viewNo, const QString& filePath = {})
    {
        const ObjectId id = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(id, QStringLiteral("uniqueId"), uniqueId);
        context.setValue(id, QStringLiteral("viewNo"), viewNo);
        if (!filePath.isEmpty())
            context.setValue(id, QStringLiteral("filePath"), filePath);
        return id;
    }

    // Several attributes as one text, "a|b|c"; "-" for no value at all (an empty text stays empty).
    QString values(ObjectId id, const QString& keys) const
    {
        QStringList out;
        for (const QString& key : keys.split(QLatin1Char(' ')))
            out << (context.value(id, key).isValid() ? context.value(id, key).toString()
                                                     : QStringLiteral("-"));
        return out.join(QLatin1Char('|'));
    }
};

} // namespace tetrapan::test
