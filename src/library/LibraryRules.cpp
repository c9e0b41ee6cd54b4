#include "library/LibraryRules.h"

#include "library/LibrarySchema.h"
#include "library/fileAttributeExtension.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QSet>

#include <algorithm>

#include <limits>

namespace tetrapan::LibraryRules {

namespace {

using namespace LibrarySchema;

} // namespace

QString counterKey(const QString& entityName)
{
    if (entityName == LibrarySchema::Playlist)
        return QStringLiteral("optUniqueNoForPlist");
    if (entityName == LibrarySchema::Filelist)
        return QStringLiteral("optUniqueNoForFlist");
    return {};
}

QString identifierKey(const QString& entityName)
{
    if (entityName == LibrarySchema::Playlist)
        return UniqueId;
    if (entityName == LibrarySchema::Filelist)
        return QStringLiteral("itemId");
    return {};
}

int maxIntValue(const ObjectContext& context, const QString& entityName, const QString& key)
{
    const QList<std::pair<ObjectId, QVariant>> records = context.fetchValues(entityName, key);
    if (records.isEmpty())
        return 0;
    qint64 largest = std::numeric_limits<qint64>::min();
    for (const auto& [id, value] : records)
        largest = std::max(largest, userDefaultsExtension::integerMeaning(value).value_or(0));
    return static_cast<int>(
        std::clamp<qint64>(largest, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

namespace {

// The lowest positive number no record of the entity holds as its identifier.
int lowestFreeNumber(const ObjectContext& context, const QString& entityName)
{
    QSet<qint64> taken;
    for (const auto& [id, value] : context.fetchValues(entityName, identifierKey(entityName))) {
        if (const auto number = userDefaultsExtension::integerMeaning(value))
            taken.insert(*number);
    }
    int number = 1;
    while (taken.contains(number))
        ++number;
    return number;
}

QString shortTitle(const QString& title)
{
    constexpr qsizetype Longest = 60;
    return title.size() <= Longest ? title : title.left(Longest) + QChar(0x2026);
}

} // namespace

int nextIdentifierNumber(const ObjectContext& context, const SettingsDomain& settings,
                         const QString& entityName)
{
    // The counter can lag behind the library (an older library brought back, a settings file lost), and a
    // number it gave again would make two records one; nor may it wrap round into negative numbers.
    const int counter = userDefaultsExtension::defaultIntValue(settings, counterKey(entityName));
    const int inUse = maxIntValue(context, entityName, identifierKey(entityName));
    const int largest = counter < 1 ? inUse : std::max(counter, inUse);
    if (largest < std::numeric_limits<int>::max())
        return largest + 1;
    return lowestFreeNumber(context, entityName);
}

QStringList repairIdentifiers(ObjectContext& context, SettingsDomain& settings)
{
    const QString& entity = LibrarySchema::Playlist;
    QStringList repaired;
    QSet<QString> seen;
    // in id order, so the node that had an identifier first keeps it
    for (const auto& [node, storedId] : context.fetchValues(entity, UniqueId)) {
        const QString uniqueId = storedId.toString();
        if (!uniqueId.isEmpty() && !seen.contains(uniqueId)) {
            seen.insert(uniqueId);
            continue;
        }
        const int number = nextIdentifierNumber(context, settings, entity);
        const QString fresh = fileAttributeExtension::convertToZeroFormat(number);
        context.setValue(node, UniqueId, fresh);
        for (ObjectId entry : context.relatedObjects(node, LibrarySchema::RltFilelist))
            context.setValue(entry, UniqueId, fresh);
        storeIdentifierNumber(settings, entity, number);
        seen.insert(fresh);
        const QString title = shortTitle(context.value(node, Title).toString());
        repaired.append(uniqueId.isEmpty()
                            ? QStringLiteral("\u201C%1\u201D had no identifier; it now has %2.").arg(title, fresh)
                            : QStringLiteral("\u201C%1\u201D shared the identifier %2 with another playlist; it now has %3.")
                                  .arg(title, uniqueId, fresh));
    }
    for (const QString& name : {LibrarySchema::Playlist, LibrarySchema::Filelist}) {
        const int inUse = maxIntValue(context, name, identifierKey(name));
        if (userDefaultsExtension::defaultIntValue(settings, counterKey(name)) < inUse)
            storeIdentifierNumber(settings, name, inUse);
    }
    return repaired;
}

void storeIdentifierNumber(SettingsDomain& settings, const QString& entityName, int number)
{
    userDefaultsExtension::setDefaultIntValue(settings, number, counterKey(entityName));
}

ObjectId createNode(ObjectContext& context, SettingsDomain& settings, bool isFolder)
{
    const QString& entity = LibrarySchema::Playlist;
    // the number is taken before the record exists, so the fallback scan does not see the new empty record
    const int number = nextIdentifierNumber(context, settings, entity);
    const ObjectId node = context.insertNewObject(entity);
    context.setValue(node, IsFolder, isFolder);
    context.setValue(node, QStringLiteral("isExpand"), false);
    context.setValue(node, QStringLiteral("title"),
                     isFolder ? QStringLiteral("New Folder") : QStringLiteral("New Playlist"));
    context.setValue(node, UniqueId, fileAttributeExtension::convertToZeroFormat(number));
    context.setValue(node, Index, 0);
    context.setValue(node, QStringLiteral("frameSet"), QString(QLatin1String("")));
    storeIdentifierNumber(settings, entity, number);
    return node;
}

bool holdsPlaylist(const ObjectContext& context)
{
    const QList<ObjectId> nodes = context.fetch(LibrarySchema::Playlist);
    return std::any_of(nodes.cbegin(), nodes.cend(),
                       [&](ObjectId node) { return !context.value(node, IsFolder).toBool(); });
}

QString uniqueTitle(const ObjectContext& context, ObjectId parent, const QString& title, ObjectId node)
{
    QSet<QString> taken;
    for (ObjectId sibling : childNodes(context, parent)) {
        if (sibling != node)
            taken.insert(context.value(sibling, Title).toString());
    }
    QString candidate = title;
    for (int number = 2; taken.contains(candidate); ++number)
        candidate = title + u' ' + QString::number(number); // a title may hold "%1" itself
    return candidate;
}

ObjectId parentForNewNode(const ObjectContext& context, ObjectId reference)
{
    if (reference == NoObject)
        return NoObject;
    if (context.value(reference, IsFolder).toBool())
        return reference;
    const ObjectId parent = context.relatedObject(reference, Parent);
    if (parent != NoObject && context.value(parent, IsFolder).toBool())
        return parent;
    return NoObject;
}

QList<ObjectId> childNodes(const ObjectContext& context, ObjectId parent)
{
    if (parent != NoObject)
        return context.relatedObjects(parent, QStringLiteral("children"));
    QList<ObjectId> top;
    for (ObjectId id : context.fetch(LibrarySchema::Playlist)) {
        if (context.relatedObject(id, Parent) == NoObject)
            top.append(id);
    }
    return top;
}

int nextChildIndex(const ObjectContext& context, ObjectId parent, ObjectId except)
{
    int largest = 0;
    for (ObjectId sibling : childNodes(context, parent)) {
        if (sibling != except)
            largest = std::max(largest, context.value(sibling, Index).toInt());
    }
    return largest + 1;
}

void placeNode(ObjectContext& context, ObjectId node, ObjectId parent)
{
    context.setRelatedObject(node, Parent, parent);
    context.setValue(node, Index, nextChildIndex(context, parent, node));
}

void removeEntriesOfPlaylist(ObjectContext& context, const QString& uniqueId)
{
    if (uniqueId.isEmpty())
        return;
    for (ObjectId entry : context.fetch(LibrarySchema::Filelist, Predicate::equals(UniqueId, uniqueId)))
        context.deleteObject(entry);
}

namespace {

// visited guards against a parent chain that loops back, which the store refuses to load but a careless
// writer could still make
void removeNodeTree(ObjectContext& context, ObjectId node, QSet<ObjectId>& visited)
{
    if (!context.contains(node) || visited.contains(node))
        return;
    visited.insert(node);
    for (ObjectId child : context.relatedObjects(node, QStringLiteral("children")))
        removeNodeTree(context, child, visited);
    // entries are found by the identifier, so they go while the node still has it
    removeEntriesOfPlaylist(context, context.value(node, UniqueId).toString());
    context.deleteObject(node);
}

} // namespace

void removeNodeTree(ObjectContext& context, ObjectId node)
{
    QSet<ObjectId> visited;
    removeNodeTree(context, node, visited);
}

} // namespace tetrapan::LibraryRules
