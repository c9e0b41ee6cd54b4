#include "shell/Tetrapan_AppDelegate.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "palette/PrefsWindow.h"
#include "panes/PlaybackSpeed.h"
#include "platform/DialogPresenter.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"
#include "shell/CommandKeys.h"
#include "widgets/LastStateKeeper.h"
#include "widgets/ListFontSize.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <limits>

namespace tetrapan {

Tetrapan_AppDelegate::Tetrapan_AppDelegate(SettingsDomain& settings, Scheduler& scheduler,
                                           DialogPresenter& dialogs, QObject* parent)
    : QObject(parent), settings_(settings), scheduler_(scheduler), dialogs_(dialogs)
{
    // queued: a setter that fails is often called from inside a window's event handling, not a place for an
    // alert's event loop
    connect(&settings_, &SettingsDomain::writeFailed, this, &Tetrapan_AppDelegate::tellSettingsNotSaved,
            Qt::QueuedConnection);
}

void Tetrapan_AppDelegate::awakeFromNib()
{
    const QString note = settings_.takeDamagedFileNote();
    if (note.isEmpty() || quitsAtStart_)
        return;
    AlertRequest alert;
    alert.messageText = QStringLiteral("The settings could not be read.");
    alert.informativeText = note;
    alert.buttons = {QStringLiteral("OK")};
    dialogs_.runAlert(alert);
}

// Told once until a write succeeds again (the domain signals only then), as for the library.
void Tetrapan_AppDelegate::tellSettingsNotSaved(const QString& filePath, const QString& reason)
{
    if (terminating_)
        return;
    AlertRequest alert;
    alert.messageText = QStringLiteral("The settings could not be saved.");
    alert.informativeText =
        QStringLiteral(
            "%1: %2\n\nWindow places and options changed from now on are kept while Tetrapan runs, "
            "and saved as soon as the file can be written.")
            .arg(filePath, reason);
    alert.buttons = {QStringLiteral("OK")};
    dialogs_.runAlert(alert);
}

Tetrapan_AppDelegate::~Tetrapan_AppDelegate()
{
    scheduler_.cancel(autosaveTask_);
    managedObjectContext_.reset();
    prefetchingCoordinator_.reset();
    persistentStoreCoordinator_.reset();
    managedObjectModel_.reset();
}

QVariantMap Tetrapan_AppDelegate::registeredDefaults()
{
    return {
        {QStringLiteral("optSkipTime"), 10.0},
        {QStringLiteral("optFontSizeList"), listFontSize::Registered},
        {QStringLiteral("optLoadFrameSet"), true},
        {QStringLiteral("optIsPlaylist"), true},
        {QStringLiteral("optIsController"), true},
        {QStringLiteral("optPlayVolume"), 0.0},
        {QStringLiteral("optDividerEnable"), true},
        {QStringLiteral("optSyncLock"), false},
        {QStringLiteral("optPlaySpeed"), 1.0},
        {QStringLiteral("optZoomTogether"), true},
        // only the keys the user chose instead of the menus' own
        {QLatin1String(CommandKeys::OptKeys), QVariantMap()},
    };
}

void Tetrapan_AppDelegate::setupDefaults(SettingsDomain& settings)
{
    settings.registerDefaults(registeredDefaults());
    constexpr double LargestInt = std::numeric_limits<int>::max();
    settings.registerRange(QStringLiteral("optSkipTime"), {PrefsWindow::MinimumSkipTime, PrefsWindow::MaximumSkipTime});
    settings.registerRange(QStringLiteral("optPlayVolume"), {0.0, 1.0});
    settings.registerRange(QStringLiteral("optPlaySpeed"), {PlaybackSpeed::Steps.front(), PlaybackSpeed::Steps.back()});
    for (const QString& entity : {LibrarySchema::Playlist, LibrarySchema::Filelist})
        settings.registerRange(LibraryRules::counterKey(entity), {0.0, LargestInt});
}

QString Tetrapan_AppDelegate::applicationSupportFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("Tetrapan"));
}

QString Tetrapan_AppDelegate::libraryFilePath()
{
    return QDir(applicationSupportFolder()).filePath(QStringLiteral("Tetrapan.xml"));
}

const ObjectModel& Tetrapan_AppDelegate::managedObjectModel()
{
    if (!managedObjectModel_)
        managedObjectModel_ = std::make_unique<ObjectModel>(LibrarySchema::model());
    return *managedObjectModel_;
}

StoreCoordinator* Tetrapan_AppDelegate::persistentStoreCoordinator()
{
    if (persistentStoreCoordinator_)
        return persistentStoreCoordinator_.get();
    const QString folder = applicationSupportFolder();
    if (!QDir(folder).exists())
        QDir().mkpath(folder);
    // A save cut off (a crash, a power cut) leaves its new file behind, as large as the library. Only this
    // program writes them, and only one of it runs here.
    const QString unfinished = QFileInfo(libraryFilePath()).fileName() + QStringLiteral(".new-*");
    for (const QString& name : QDir(folder).entryList({unfinished}, QDir::Files | QDir::Hidden))
        QFile::remove(QDir(folder).filePath(name));
    persistentStoreCoordinator_ = prefetchingCoordinator_
                                      ? std::move(prefetchingCoordinator_)
                                      : std::make_unique<StoreCoordinator>(managedObjectModel());
    persistentStoreCoordinator_->setSaveGuard(
        [this] { return libraryLockCheck_ ? libraryLockCheck_() : QString(); });
    StoreError error;
    if (!persistentStoreCoordinator_->addXmlStore(libraryFilePath(), error))
        answerUnreadableLibrary(error);
    return persistentStoreCoordinator_.get();
}

// Going on with an empty library that can never be saved would cost the user everything made in this run;
// so the file that could not be read is either kept aside for a new library or left alone by quitting.
void Tetrapan_AppDelegate::answerUnreadableLibrary(const StoreError& error)
{
    AlertRequest alert;
    alert.messageText = QStringLiteral("The library could not be read.");
    alert.informativeText =
        error.text() +
        QStringLiteral("\n\nStart a New Library keeps this file beside the new one, unchanged, "
                       "as %1.damaged-<date>-<time>. Quit leaves it as it is.")
            .arg(QFileInfo(libraryFilePath()).fileName());
    alert.buttons = {QStringLiteral("Start a New Library"), QStringLiteral("Quit")};
    // a library cut off part way still holds whole playlists before the cut
    const RecordMap readable = persistentStoreCoordinator_->readablePartOf(libraryFilePath());
    bool takeReadable = !readable.isEmpty();
    if (takeReadable) {
        alert.choiceText = readablePartText(readable);
        alert.chosen = &takeReadable;
    }
    const int answer = dialogs_.runAlert(alert);
    if (answer != DialogPresenter::FirstButton) {
        quitsAtStart_ = true;
        return;
    }
    StoreError setAsideError;
    if (persistentStoreCoordinator_
            ->setAsideDamagedStore(libraryFilePath(), QDateTime::currentDateTime(), setAsideError)
            .isEmpty() ||
        !persistentStoreCoordinator_->hasStore() ||
        (takeReadable && !persistentStoreCoordinator_->startWith(readable, setAsideError))) {
        dialogs_.presentError(setAsideError);
        // told once here; every save of this run fails the same way
        autosaveErrorShown_ = true;
    }
}

QString Tetrapan_AppDelegate::readablePartText(const RecordMap& records)
{
    int playlists = 0;
    int folders = 0;
    int entries = 0;
    for (const Record& record : records) {
        if (record.entity->name == LibrarySchema::Filelist)
            ++entries;
        else if (record.attributes[record.entity->attributeIndex(LibrarySchema::IsFolder)].toBool())
            ++folders;
        else
            ++playlists;
    }
    const auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    return QStringLiteral("Take what was read whole before the damage into the new library: %1, %2 and %3")
        .arg(count(playlists, "playlist", "playlists"), count(folders, "folder", "folders"),
             count(entries, "movie entry", "movie entries"));
}

void Tetrapan_AppDelegate::prefetchLibrary()
{
    if (persistentStoreCoordinator_ || prefetchingCoordinator_)
        return;
    prefetchingCoordinator_ = std::make_unique<StoreCoordinator>(managedObjectModel());
    prefetchingCoordinator_->prefetchXmlStore(libraryFilePath());
}

ObjectContext* Tetrapan_AppDelegate::managedObjectContext()
{
    if (managedObjectContext_)
        return managedObjectContext_.get();
    StoreCoordinator* coordinator = persistentStoreCoordinator();
    if (!coordinator)
        return nullptr;
    managedObjectContext_ = std::make_unique<ObjectContext>(*coordinator);
    connect(managedObjectContext_.get(), &ObjectContext::changed, this,
            &Tetrapan_AppDelegate::scheduleAutosave);
    connect(managedObjectContext_.get(), &ObjectContext::saved, this,
            [this] { autosaveErrorShown_ = false; });
    connect(managedObjectContext_.get(), &ObjectContext::saveFailed, this,
            &Tetrapan_AppDelegate::autosaveFailed);
    repairIdentifiers(*managedObjectContext_);
    Q_EMIT libraryOpened(managedObjectContext_.get());
    return managedObjectContext_.get();
}

// A library whose identifiers could collide would have one playlist's movies written into another's; the
// repair is saved as any change is, but it is not the user's to undo.
void Tetrapan_AppDelegate::repairIdentifiers(ObjectContext& context)
{
    const QStringList repaired = LibraryRules::repairIdentifiers(context, settings_);
    context.processPendingChanges();
    context.undoManager()->clear();
    if (repaired.isEmpty())
        return;
    AlertRequest alert;
    alert.messageText = QStringLiteral("Some playlists of the library were given new identifiers.");
    alert.informativeText = repaired.join(QLatin1Char('\n'));
    alert.buttons = {QStringLiteral("OK")};
    dialogs_.runAlert(alert);
}

QUndoStack* Tetrapan_AppDelegate::windowWillReturnUndoManager(QWidget*)
{
    ObjectContext* context = managedObjectContext();
    return context ? context->undoManager() : nullptr;
}

void Tetrapan_AppDelegate::saveAction()
{
    ObjectContext* context = managedObjectContext();
    if (!context)
        return;
    StoreError error;
    if (!context->save(error))
        dialogs_.presentError(error);
}

int Tetrapan_AppDelegate::applicationShouldTerminate()
{
    if (quitsAtStart_)
        return TerminateNow;
    if (isExporting && isExporting()) {
        enum { KeepExporting = DialogPresenter::FirstButton };
        AlertRequest alert;
        alert.messageText = QStringLiteral("A video is being exported. Stop it and quit?");
        alert.informativeText = QStringLiteral("The video is not written if the export stops now.");
        alert.buttons = {QStringLiteral("Keep Exporting"), QStringLiteral("Stop and Quit")};
        // the export may have ended while the question was shown
        if (dialogs_.runAlert(alert) == KeepExporting)
            return TerminateCancel;
        // it ends now, its partial file removed while the rest of the quit goes on, not in the teardown's
        // short time, where a slow frame would leave the file behind
        if (stopExporting)
            stopExporting();
    }
    if (olvPlaylist)
        olvPlaylist->storeLastState();
    if (panePositions)
        panePositions->storeLastState();
    if (!managedObjectContext_)
        return TerminateNow;
    ObjectContext& context = *managedObjectContext_;
    if (!context.commitEditing())
        return TerminateCancel;
    // a save under way may have written all there is
    context.finishSaving();
    if (!context.hasChanges())
        return TerminateNow;
    StoreError error;
    // where the panes stood is worth a save, not a question
    if (context.save(error) || !context.hasUsersChanges())
        return TerminateNow;
    return quitUnsaved(context, error);
}

// Nothing is discarded without the user's word: the default answer writes the library to a place of their
// choosing, and a cancelled file panel, or a place that cannot be written either, leaves the program running.
// The reason is part of the question, so that one failed save asks the user once.
int Tetrapan_AppDelegate::quitUnsaved(const ObjectContext& context, const StoreError& saveError)
{
    enum { SaveElsewhere = DialogPresenter::FirstButton, QuitAnyway };
    AlertRequest alert;
    alert.messageText = QStringLiteral("Could not save changes while quitting. Quit anyway?");
    alert.informativeText = saveError.text();
    alert.buttons = {QStringLiteral("Save Elsewhere\u2026"), QStringLiteral("Quit anyway"),
                     QStringLiteral("Cancel")};
    const int answer = dialogs_.runAlert(alert);
    if (answer == QuitAnyway)
        return TerminateNow;
    if (answer != SaveElsewhere)
        return TerminateCancel;
    const QString path = dialogs_.runSavePanel(
        {QStringLiteral("Save Library As"), QDir::homePath(), QFileInfo(libraryFilePath()).fileName()});
    if (path.isEmpty())
        return TerminateCancel;
    StoreError error;
    if (persistentStoreCoordinator_->saveCopy(context.records(), path, error))
        return TerminateNow;
    dialogs_.presentError(error);
    return TerminateCancel;
}

bool Tetrapan_AppDelegate::terminate()
{
    if (terminating_)
        return true;
    // One quit at a time: a request that comes while the user is asked (a signal, the media controls' Quit,
    // answered in the alert's event loop) would start a second decision and stack a second alert.
    if (deciding_)
        return false;
    deciding_ = true;
    const int reply = applicationShouldTerminate();
    deciding_ = false;
    if (reply != TerminateNow)
        return false;
    terminating_ = true;
    scheduler_.cancel(autosaveTask_);
    Q_EMIT applicationWillTerminate();
    QCoreApplication::quit();
    return true;
}

// Changes reach the disk a moment after the user pauses, so a crash costs seconds of work; the file is
// still written whole each time, never in pieces, and on a thread of its own: a large library on a slow
// disk would otherwise hold the window, and the movies playing in it, for as long as the writing takes.
void Tetrapan_AppDelegate::scheduleAutosave()
{
    if (terminating_)
        return;
    scheduler_.cancel(autosaveTask_);
    autosaveTask_ = scheduler_.scheduleAfter(AutosaveDelay, [this] { autosave(); });
}

void Tetrapan_AppDelegate::autosave()
{
    autosaveTask_ = Scheduler::NoTask;
    ObjectContext* context = managedObjectContext_.get();
    // the program's own notes (where the panes stood) wait for the user's next change, or the quit
    if (!context || !context->hasUsersChanges())
        return;
    // an edit in progress is left alone; the next pause saves it
    context->saveInBackground();
}

// Told once, until a save succeeds again.
void Tetrapan_AppDelegate::autosaveFailed(const StoreError& error)
{
    qWarning("%s", qPrintable(error.text()));
    if (!autosaveErrorShown_) {
        autosaveErrorShown_ = true;
        dialogs_.presentError(error);
    }
}

} // namespace tetrapan
