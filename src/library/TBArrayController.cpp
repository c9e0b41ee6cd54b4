#include "library/TBArrayController.h"

#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/PlaylistTreeController.h"
#include "library/Recording.h"
#include "library/RecordingSource.h"
#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "platform/ObjectContext.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>

#include <limits>

namespace tetrapan {

namespace {

using namespace LibrarySchema;

const QString SearchTypePlaylist = QStringLiteral("playlist");

// Whole seconds truncated toward zero. A duration without a time unit, or one that never ends, has no
// length to store.
int playTimeOf(const Movie* movie)
{
    if (!movie)
        return 0;
    const MovieTime duration = movie->duration();
    if (duration.scale <= 0 || (duration.flags & MovieTime::Indefinite))
        return 0;
    const qint64 seconds = duration.value / duration.scale;
    return static_cast<int>(
        std::clamp<qint64>(seconds, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

TBArrayController::TBArrayController(ObjectContext& context, SettingsDomain& settings,
                                     DialogPresenter& dialogs, QObject* parent)
    : QObject(parent), context_(context), settings_(settings), dialogs_(dialogs)
{
}

TBArrayController::~TBArrayController() = default;

void TBArrayController::awakeFromNib()
{
    setMatchPredicate({}, SearchTypePlaylist);
}

QList<ObjectId> TBArrayController::getArrangedObjects(const QString& entityName) const
{
    if (entityName == LibrarySchema::Filelist && filelistArrayController)
        return filelistArrayController->arrangedObjects();
    if (entityName == LibrarySchema::Playlist && playlistTreeController)
        return playlistTreeController->arrangedObjects();
    return {};
}

QList<ObjectId> TBArrayController::getSelectedObjects(const QString& entityName) const
{
    if (entityName == LibrarySchema::Filelist && filelistArrayController)
        return filelistArrayController->selectedObjects();
    if (entityName == LibrarySchema::Playlist && playlistTreeController)
        return playlistTreeController->selectedObjects();
    return {};
}

ObjectId TBArrayController::getSelectedObject(const QString& entityName) const
{
    const QList<ObjectId> selected = getSelectedObjects(entityName);
    return selected.isEmpty() ? NoObject : selected.front();
}

void TBArrayController::setRearrangeObjects(const QString& entityName)
{
    if (entityName == LibrarySchema::Filelist && filelistArrayController)
        filelistArrayController->rearrangeObjects();
    else if (entityName == LibrarySchema::Playlist && playlistTreeController)
        playlistTreeController->rearrangeObjects();
}

ObjectContext* TBArrayController::getManagedObjectContext(const QString& entityName) const
{
    if (entityName == LibrarySchema::Filelist && filelistArrayController)
        return &filelistArrayController->managedObjectContext();
    if (entityName == LibrarySchema::Playlist && playlistTreeController)
        return &playlistTreeController->managedObjectContext();
    return nullptr;
}

QVariant TBArrayController::getColumnFromFilelist(const QString& key) const
{
    const ObjectId first = getSelectedObject(LibrarySchema::Filelist);
    if (first == NoObject)
        return QStringLiteral("");
    return context_.value(first, key);
}

QVariantList TBArrayController::getColumnArrayFromFilelist(const QString& key) const
{
    QVariantList values;
    for (ObjectId id : getSelectedObjects(LibrarySchema::Filelist))
        values.append(context_.value(id, key));
    return values;
}

QList<ObjectId> TBArrayController::getAllObjects(const QString& entityName) const
{
    return context_.fetch(entityName);
}

QList<ObjectId> TBArrayController::getObjectsWithPred(const QString& entityName, const Predicate& pred) const
{
    return context_.fetch(entityName, pred);
}

int TBArrayController::getMaxIntValueFromColumn(const QString& entityName, const QString& column) const
{
    return LibraryRules::maxIntValue(context_, entityName, column);
}

void TBArrayController::setFilelistFilterPredicate(const Predicate& pred, const QString& searchType)
{
    if (!filelistArrayController)
        return;
    filelistArrayController->setFilterPredicate(pred);
    if (!searchType.isEmpty())
        setMatchPredicate(pred, searchType);
    if (filelistArrayController->selectionIndexes().isEmpty())
        filelistArrayController->setSelectionIndex(0);
}

void TBArrayController::setMatchPredicate(const Predicate& pred, const QString& searchType)
{
    if (searchType == SearchTypePlaylist)
        predPlaylist_ = pred;
}

Predicate TBArrayController::getMatchPredicate(const QString& searchType) const
{
    return searchType == SearchTypePlaylist ? predPlaylist_ : Predicate();
}

// A path that resolves to nothing (the file is gone, or a link is broken) is kept as given, so the entry
// still says which file it stood for and shows as missing.
TBArrayController::EntryValues TBArrayController::deriveEntryValues(const Movie* movie,
                                                                    const QString& filePath) const
{
    EntryValues values;
    const RecordingSource::EntryFields fields = RecordingSource::entryFields(filePath);
    values.camera = fields.camera;
    values.recordingFiles = fields.recordingFiles;
    const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(fields.filePath);
    values.filePath = resolved.isNull() ? fields.filePath : resolved;
    values.title = fileAttributeExtension::displayNameAtPath(values.filePath);
    // A folder is a recording: its size comes from its listing, off the GUI thread (noteRecording), as adding
    // up ten thousand files' sizes here would hold the window up.
    const QFileInfo file(values.filePath);
    const QVariantMap attributes = file.isDir()
                                       ? QVariantMap{{fileAttributeExtension::FileExist, true},
                                                     {fileAttributeExtension::FileDate, file.lastModified()}}
                                       : fileAttributeExtension::getFileAttribute(values.filePath);
    if (attributes.value(fileAttributeExtension::FileExist).toBool()) {
        values.fileSize = attributes.value(fileAttributeExtension::FileSize).toLongLong();
        values.fileDate = attributes.value(fileAttributeExtension::FileDate);
    }
    values.playTime = playTimeOf(movie);
    if (movie) {
        const QString name = movie->displayName();
        if (!name.isEmpty())
            values.title = name;
    }
    if (!values.camera.isEmpty())
        values.title = QStringLiteral("%1 (%2)").arg(
            values.camera, fileAttributeExtension::displayNameAtPath(values.filePath));
    return values;
}

void TBArrayController::createFilelist(int viewNo, const Movie* movie, const QString& filePath,
                                       const QString& uniqueId)
{
    if (viewNo <= 0 || uniqueId.isEmpty()) {
        dialogExtension::displayMessage(dialogs_, dialogExtension::CanNotCreateItem);
        return;
    }
    const QList<ObjectId> existing = context_.fetch(
        LibrarySchema::Filelist, Predicate::equals(UniqueId, uniqueId).andEquals(ViewNo, viewNo));
    if (existing.isEmpty())
        insertFilelist(viewNo, movie, filePath, uniqueId);
    else
        updateFilelist(existing, movie, filePath);
    setRearrangeObjects(LibrarySchema::Filelist);
}

void TBArrayController::insertFilelist(int viewNo, const Movie* movie, const QString& filePath,
                                       const QString& uniqueId)
{
    const EntryValues values = deriveEntryValues(movie, filePath);
    const int number = LibraryRules::nextIdentifierNumber(context_, settings_, LibrarySchema::Filelist);
    const ObjectId entry = context_.insertNewObject(LibrarySchema::Filelist);
    context_.setValue(entry, QStringLiteral("itemId"), fileAttributeExtension::convertToZeroFormat(number));
    context_.setValue(entry, ViewNo, viewNo);
    context_.setValue(entry, QStringLiteral("filePath"), values.filePath);
    context_.setValue(entry, QStringLiteral("title"), values.title);
    context_.setValue(entry, QStringLiteral("playTime"), values.playTime);
    context_.setValue(entry, QStringLiteral("fileSize"), values.fileSize);
    context_.setValue(entry, UniqueId, uniqueId);
    context_.setValue(entry, QStringLiteral("fileDate"), values.fileDate);
    if (!values.camera.isEmpty())
        context_.setValue(entry, LibrarySchema::Camera, values.camera);
    if (!values.recordingFiles.isEmpty())
        context_.setValue(entry, LibrarySchema::RecordingFiles, values.recordingFiles);
    LibraryRules::storeIdentifierNumber(settings_, LibrarySchema::Filelist, number);
}

void TBArrayController::updateFilelist(const QList<ObjectId>& entries, const Movie* movie,
                                       const QString& filePath)
{
    const EntryValues values = deriveEntryValues(movie, filePath);
    for (ObjectId entry : entries) {
        // an offset, a rate and where it was left belong to the file they were set on; another file starts
        // without, and so does another camera of the same folder
        if (context_.value(entry, QStringLiteral("filePath")).toString() != values.filePath ||
            context_.value(entry, LibrarySchema::Camera).toString() != values.camera ||
            context_.value(entry, LibrarySchema::RecordingFiles).toString() != values.recordingFiles) {
            context_.setValue(entry, LibrarySchema::Offset, QVariant());
            context_.setValue(entry, LibrarySchema::Rate, QVariant());
            context_.setValue(entry, LibrarySchema::Position, QVariant());
        }
        context_.setValue(entry, QStringLiteral("title"), values.title);
        context_.setValue(entry, QStringLiteral("filePath"), values.filePath);
        context_.setValue(entry, QStringLiteral("fileSize"), values.fileSize);
        context_.setValue(entry, QStringLiteral("playTime"), values.playTime);
        context_.setValue(entry, QStringLiteral("fileDate"), values.fileDate);
        // a movie file keeps none of a recording's fields
        const auto orAbsent = [](const QString& text) {
            return text.isEmpty() ? QVariant() : QVariant(text);
        };
        context_.setValue(entry, LibrarySchema::Camera, orAbsent(values.camera));
        context_.setValue(entry, LibrarySchema::RecordingFiles, orAbsent(values.recordingFiles));
        if (values.camera.isEmpty() && values.recordingFiles.isEmpty() &&
            !QFileInfo(values.filePath).isDir()) {
            context_.setValue(entry, LibrarySchema::RecordingStart, QVariant());
            context_.setValue(entry, LibrarySchema::RecordingEnd, QVariant());
            context_.setValue(entry, LibrarySchema::FileCount, QVariant());
        }
    }
}

void TBArrayController::noteRecording(int viewNo, const QString& uniqueId, const Recording& recording)
{
    for (ObjectId entry : context_.fetch(LibrarySchema::Filelist,
                                         Predicate::equals(UniqueId, uniqueId).andEquals(ViewNo, viewNo))) {
        context_.setValue(entry, LibrarySchema::RecordingStart,
                          QDateTime::fromMSecsSinceEpoch(recording.startMs(), Qt::UTC));
        context_.setValue(entry, LibrarySchema::RecordingEnd,
                          QDateTime::fromMSecsSinceEpoch(recording.endMs(), Qt::UTC));
        context_.setValue(entry, LibrarySchema::FileCount, int(recording.pieces.size()));
        context_.setValue(entry, LibrarySchema::FileSize, recording.bytes);
    }
}

void TBArrayController::removeFilelist(int viewNo, const QString& uniqueId)
{
    if (viewNo < 1 || uniqueId.isEmpty())
        return;
    for (ObjectId entry : context_.fetch(LibrarySchema::Filelist,
                                         Predicate::equals(UniqueId, uniqueId).andEquals(ViewNo, viewNo)))
        context_.deleteObject(entry);
    setRearrangeObjects(LibrarySchema::Filelist);
}

void TBArrayController::removeFilelistWithPlaylist(const QString& uniqueId)
{
    LibraryRules::removeEntriesOfPlaylist(context_, uniqueId);
}

void TBArrayController::addRelationToPlaylist(ObjectId playlist, const QList<ObjectId>& entries)
{
    if (context_.entityName(playlist) != LibrarySchema::Playlist)
        return;
    for (ObjectId entry : entries) {
        if (context_.entityName(entry) != LibrarySchema::Filelist)
            continue;
        if (!context_.relatedObjects(entry, RltPlaylist).contains(playlist))
            context_.addRelatedObject(entry, RltPlaylist, playlist);
        if (!context_.relatedObjects(playlist, RltFilelist).contains(entry))
            context_.addRelatedObject(playlist, RltFilelist, entry);
    }
}

void TBArrayController::removeRelationFromPlaylist(ObjectId playlist, const QList<ObjectId>& entries)
{
    if (context_.entityName(playlist) != LibrarySchema::Playlist)
        return;
    for (ObjectId entry : entries) {
        if (context_.entityName(entry) != LibrarySchema::Filelist)
            continue;
        if (context_.relatedObjects(entry, RltPlaylist).contains(playlist))
            context_.removeRelatedObject(entry, RltPlaylist, playlist);
        if (context_.relatedObjects(playlist, RltFilelist).contains(entry))
            context_.removeRelatedObject(playlist, RltFilelist, entry);
    }
}

void TBArrayController::addRelationToSelectedPlaylist(const QObject* sender)
{
    if (!sender)
        return;
    const auto* action = qobject_cast<const QAction*>(sender);
    const QVariant represented = action ? action->data() : sender->property("representedObject");
    const ObjectId target = represented.value<ObjectId>();
    const QList<ObjectId> selected = getSelectedObjects(LibrarySchema::Filelist);
    if (target != NoObject && !selected.isEmpty())
        addRelationToPlaylist(target, selected);
}

bool TBArrayController::canMoveIndexFilelist(int direction) const
{
    if (!filelistArrayController)
        return false;
    return direction != 0 ? filelistArrayController->canSelectPrevious()
                          : filelistArrayController->canSelectNext();
}

bool TBArrayController::moveIndexFilelist(int direction)
{
    if (!canMoveIndexFilelist(direction))
        return false;
    if (direction != 0)
        filelistArrayController->selectPrevious();
    else
        filelistArrayController->selectNext();
    return true;
}

ObjectId TBArrayController::selectedPlaylist() const
{
    return getSelectedObject(LibrarySchema::Playlist);
}

bool TBArrayController::canLoadFrameSet() const
{
    const ObjectId node = selectedPlaylist();
    return node != NoObject && !context_.value(node, QStringLiteral("isFolder")).toBool() &&
           !context_.value(node, QStringLiteral("frameSet")).toString().isEmpty();
}

bool TBArrayController::canEditFrameSet() const
{
    return isPlaylistSelected();
}

bool TBArrayController::isPlaylistSelected() const
{
    const ObjectId node = selectedPlaylist();
    return node != NoObject && !context_.value(node, QStringLiteral("isFolder")).toBool();
}

} // namespace tetrapan
