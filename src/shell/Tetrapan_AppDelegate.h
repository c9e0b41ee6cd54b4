#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/Scheduler.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

class QUndoStack;
class QWidget;

namespace tetrapan {

class DialogPresenter;
class LastStateKeeper;
class ObjectContext;
class SettingsDomain;
class StoreCoordinator;
struct StoreError;

// The application's delegate: registers the default settings, owns the library store (opened on first
// use), saves it on command, after a short pause in editing, and when the program quits.
class Tetrapan_AppDelegate : public QObject {
    Q_OBJECT
public:
    enum TerminateReply { TerminateCancel = 0, TerminateNow = 1 };

    static constexpr std::chrono::milliseconds AutosaveDelay{2000};

    Tetrapan_AppDelegate(SettingsDomain& settings, Scheduler& scheduler, DialogPresenter& dialogs,
                         QObject* parent = nullptr);
    ~Tetrapan_AppDelegate() override;

    // Class set-up: the defaults every unset key reads as. Runs before anything reads a setting.
    static QVariantMap registeredDefaults();
    static void setupDefaults(SettingsDomain& settings);

    // outlets
    QWidget* window = nullptr;
    LastStateKeeper* olvPlaylist = nullptr;
    LastStateKeeper* panePositions = nullptr;
    // Whether a video is being exported; quitting stops it, so the user is asked first.
    std::function<bool()> isExporting;
    // Stops the export, once the user chose to quit.
    std::function<void()> stopExporting;

    // Tells the user about a settings file found damaged at start.
    void awakeFromNib();

    // $XDG_DATA_HOME/Tetrapan; computed on every call, creates nothing.
    static QString applicationSupportFolder();
    static QString libraryFilePath();

    const ObjectModel& managedObjectModel();
    StoreCoordinator* persistentStoreCoordinator();
    // Starts reading the library file in the background, so that the first use of the context finds it read
    // (or nearly); creates nothing on disk.
    void prefetchLibrary();
    ObjectContext* managedObjectContext();
    // Whether the library was ever opened; quitting must not open it.
    bool hasOpenedLibrary() const { return managedObjectContext_ != nullptr; }

    QUndoStack* windowWillReturnUndoManager(QWidget* window);

    // Asked before each save of the library: empty while this program still holds the library's lock, else
    // why not; the save is then refused with that reason.
    void setLibraryLockCheck(std::function<QString()> whyNotOurs)
    {
        libraryLockCheck_ = std::move(whyNotOurs);
    }

    void saveAction();
    int applicationShouldTerminate();
    // A quit request from any path (menu, window close, logout, a signal, the media controls): runs the quit
    // decision and, when it allows, ends the event loop. Returns whether the program is quitting. A request
    // made while a decision is under way is dropped: the user is already being asked.
    bool terminate();
    bool isTerminating() const { return terminating_; }
    // The library could not be read and the user chose to quit rather than start a new one: the program
    // ends before its windows show, and nothing is saved.
    bool quitsAtStart() const { return quitsAtStart_; }

Q_SIGNALS:
    // The library was opened (first use of the context); its undo stack now exists.
    void libraryOpened(tetrapan::ObjectContext* context);
    // The quit decision allowed quitting and the event loop is about to end: windows store their state.
    void applicationWillTerminate();

private:
    void answerUnreadableLibrary(const StoreError& error);
    static QString readablePartText(const RecordMap& records);
    void repairIdentifiers(ObjectContext& context);
    void tellSettingsNotSaved(const QString& filePath, const QString& reason);
    int quitUnsaved(const ObjectContext& context, const StoreError& saveError);
    void scheduleAutosave();
    void autosave();
    void autosaveFailed(const StoreError& error);

    SettingsDomain& settings_;
    Scheduler& scheduler_;
    DialogPresenter& dialogs_;
    std::unique_ptr<ObjectModel> managedObjectModel_;
    std::unique_ptr<StoreCoordinator> persistentStoreCoordinator_;
    std::unique_ptr<StoreCoordinator> prefetchingCoordinator_; // until the library's first use
    std::unique_ptr<ObjectContext> managedObjectContext_;
    std::function<QString()> libraryLockCheck_;
    Scheduler::TaskId autosaveTask_ = Scheduler::NoTask;
    bool autosaveErrorShown_ = false;
    bool terminating_ = false;
    bool deciding_ = false; // a quit decision is under way
    bool quitsAtStart_ = false;
};

} // namespace tetrapan
