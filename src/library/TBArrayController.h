#pragma once

#include "platform/ObjectModel.h"
#include "platform/Predicate.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace tetrapan {

class DialogPresenter;
class FilelistArrayController;
class Movie;
struct Recording;
class ObjectContext;
class PlaylistTreeController;
class SettingsDomain;

// The one way the rest of the program queries and changes the library outside the tree's own editing:
// the shown and selected records of the file list and the playlist tree by entity name ("filelist",
// "playlist"; any other name names no list), fetches, the file list's filter, file entries made from a
// movie placed in a pane, explicit links between entries and playlists, stepping the file-list selection,
// and the two tests behind the frame-set commands.
class TBArrayController : public QObject {
    Q_OBJECT
public:
    TBArrayController(ObjectContext& context, SettingsDomain& settings, DialogPresenter& dialogs,
                      QObject* parent = nullptr);
    ~TBArrayController() override;

    // outlets
    FilelistArrayController* filelistArrayController = nullptr;
    PlaylistTreeController* playlistTreeController = nullptr;

    void awakeFromNib();

    // Lists and selection
    QList<ObjectId> getArrangedObjects(const QString& entityName) const;
    QList<ObjectId> getSelectedObjects(const QString& entityName) const;
    ObjectId getSelectedObject(const QString& entityName) const;
    void setRearrangeObjects(const QString& entityName);
    ObjectContext* getManagedObjectContext(const QString& entityName) const;
    // The attribute of the first selected entry; "" with no entry selected.
    QVariant getColumnFromFilelist(const QString& key) const;
    QVariantList getColumnArrayFromFilelist(const QString& key) const;

    // Fetches; an empty predicate matches every record.
    QList<ObjectId> getAllObjects(const QString& entityName) const;
    QList<ObjectId> getObjectsWithPred(const QString& entityName, const Predicate& pred) const;
    int getMaxIntValueFromColumn(const QString& entityName, const QString& column) const;

    // Filtering; an empty predicate stands for none.
    void setFilelistFilterPredicate(const Predicate& pred, const QString& searchType);
    void setMatchPredicate(const Predicate& pred, const QString& searchType);
    Predicate getMatchPredicate(const QString& searchType) const;

    // File entries. movie may be null. filePath may name a recording (RecordingSource).
    void createFilelist(int viewNo, const Movie* movie, const QString& filePath, const QString& uniqueId);
    // The pane's entry of a recording keeps where it starts and ends and its number of files, for the table.
    void noteRecording(int viewNo, const QString& uniqueId, const Recording& recording);
    void insertFilelist(int viewNo, const Movie* movie, const QString& filePath, const QString& uniqueId);
    void updateFilelist(const QList<ObjectId>& entries, const Movie* movie, const QString& filePath);
    void removeFilelist(int viewNo, const QString& uniqueId);
    void removeFilelistWithPlaylist(const QString& uniqueId);

    // Links between entries and playlists, always on both sides.
    void addRelationToPlaylist(ObjectId playlist, const QList<ObjectId>& entries);
    void removeRelationFromPlaylist(ObjectId playlist, const QList<ObjectId>& entries);
    // sender: a QAction whose data(), or any object whose "representedObject" property, is a playlist's
    // ObjectId.
    void addRelationToSelectedPlaylist(const QObject* sender);

    // direction non-zero: towards the previous entry; 0: towards the next.
    bool canMoveIndexFilelist(int direction) const;
    bool moveIndexFilelist(int direction);
    bool canLoadFrameSet() const;
    bool canEditFrameSet() const;
    // A playlist, not a folder, is selected: files can be placed in it.
    bool isPlaylistSelected() const;

private:
    struct EntryValues {
        QString filePath;
        QString title;
        int playTime = 0;
        qint64 fileSize = 0;
        QVariant fileDate;
        QString camera;
        QString recordingFiles;
    };

    EntryValues deriveEntryValues(const Movie* movie, const QString& filePath) const;
    ObjectId selectedPlaylist() const;

    ObjectContext& context_;
    SettingsDomain& settings_;
    DialogPresenter& dialogs_;
    Predicate predPlaylist_;
};

} // namespace tetrapan
