#pragma once

#include "platform/ObjectModel.h"

#include <QList>
#include <QStringList>
#include <QString>

namespace tetrapan {

class ObjectContext;
class SettingsDomain;

// The rules every writer of the library keeps: identifiers and their counters, a new node's first values,
// where a new node goes, and what goes with a deleted node.
namespace LibraryRules {

// The settings counter of an entity ("optUniqueNoForPlist", "optUniqueNoForFlist"); "" for another name.
QString counterKey(const QString& entityName);
// The attribute that carries an entity's identifier ("uniqueId", "itemId"); "" for another name.
QString identifierKey(const QString& entityName);

// The largest value of the attribute over all records of the entity, each read as an integer by its leading
// number; 0 when there are none. Compared as numbers, so a nine-digit identifier outranks every eight-digit
// one.
int maxIntValue(const ObjectContext& context, const QString& entityName, const QString& key);

// The number for the next identifier of the entity: one more than the largest stored identifier or than
// its counter, when the counter is set (1 or more) and larger; past the largest int, the lowest unused number.
int nextIdentifierNumber(const ObjectContext& context, const SettingsDomain& settings,
                         const QString& entityName);
// Mends, once the library is read, what would let identifiers collide: a playlist or folder without an
// identifier, or sharing one with an earlier node, gets a new one (its linked file entries follow it), and
// each counter is raised to the largest identifier in use. One sentence per node mended, for the user.
QStringList repairIdentifiers(ObjectContext& context, SettingsDomain& settings);
// Writes the counter through; called once the new record has been filled.
void storeIdentifierNumber(SettingsDomain& settings, const QString& entityName, int number);

// A new playlist ("New Playlist") or folder ("New Folder") with a new identifier, index 0 and no frame set,
// not yet placed (top level). The counter moves on.
ObjectId createNode(ObjectContext& context, SettingsDomain& settings, bool isFolder);

// Where a node added next to the given node goes: into it when it is a folder, beside it when its parent is
// a folder, otherwise to the top level (NoObject).
ObjectId parentForNewNode(const ObjectContext& context, ObjectId reference);
// The nodes whose parent is the given folder; the top-level nodes for NoObject. Unordered.
QList<ObjectId> childNodes(const ObjectContext& context, ObjectId parent);
// One more than the largest index among the level's other nodes, counted from 0 (an empty level gives 1).
int nextChildIndex(const ObjectContext& context, ObjectId parent, ObjectId except = NoObject);
// Puts the node under the parent (NoObject: top level) at the end of that level.
void placeNode(ObjectContext& context, ObjectId node, ObjectId parent);

// Whether any node of the tree is a playlist (not a folder).
bool holdsPlaylist(const ObjectContext& context);
// The title itself when no other node on the parent's level (NoObject: top level) has it, otherwise the
// first free "title 2", "title 3", ...; the node named is not counted.
QString uniqueTitle(const ObjectContext& context, ObjectId parent, const QString& title, ObjectId node);

// Deletes every file entry of the playlist with this identifier; nothing for "".
void removeEntriesOfPlaylist(ObjectContext& context, const QString& uniqueId);
// Deletes the node, everything below it depth first, and the file entries of every playlist among them.
void removeNodeTree(ObjectContext& context, ObjectId node);

} // namespace LibraryRules
} // namespace tetrapan
