#include "shell/exportFromLibrary.h"

#include "export/VideoExport.h"
#include "layout/ViewMain.h"
#include "library/FilelistArrayController.h"
#include "library/FrameSet.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/RecordingSource.h"
#include "library/playlistTitles.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "platform/ObjectContext.h"
#include "platform/RectText.h"
#include "platform/SettingsDomain.h"
#include "platform/fileNames.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"
#include "recording/RecordingLister.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tetrapan::exportFromLibrary {

namespace {

constexpr int PaneCount = 4;

// The two subviews' frames a split view was left with; none unless both are there whole.
std::optional<std::pair<QRectF, QRectF>> storedFrames(const SettingsDomain& settings, const char* key)
{
    const QVariantList frames = settings.objectForKey(QLatin1String(key)).toList();
    if (frames.size() != 2)
        return std::nullopt;
    int firstNumbers = 0, secondNumbers = 0;
    const QRectF first = rectText::rectFromString(frames[0].toString(), &firstNumbers);
    const QRectF second = rectText::rectFromString(frames[1].toString(), &secondNumbers);
    if (firstNumbers < 4 || secondNumbers < 4)
        return std::nullopt;
    return std::pair(first, second);
}

// Lists the panes' recordings, as the panes do when they open them, and places them on the wall clock as
// the panes do. The files a listing leaves out are noted, as the panes' alert names them.
void placeRecordings(ExportJob& job, QStringList* notes)
{
    QVector<qint64> starts;
    for (size_t i = 0; i < job.panes.size(); ++i) {
        ExportPane& pane = job.panes[i];
        if (const std::optional<Recording> source = RecordingSource::fromLocator(pane.filePath)) {
            pane.recording = RecordingLister::list(*source, QTimeZone::systemTimeZone());
            if (!pane.recording.isEmpty())
                starts.append(pane.recording.startMs());
            if (!pane.recording.skipped.isEmpty())
                *notes << QStringLiteral("Pane %1's recording leaves out %2.")
                              .arg(i + 1)
                              .arg(pane.recording.skipped.join(QStringLiteral("; ")));
        }
    }
    for (ExportPane& pane : job.panes) {
        if (!pane.recording.isEmpty())
            pane.offsetMs += PaneOffsets::wallClockOffsetMs(pane.recording.startMs(), starts);
    }
}

} // namespace

ObjectId playlistOf(ObjectContext& library, const SettingsDomain& settings, const QString& title,
                    Refusal* refusal)
{
    PlaylistTreeController tree(library);
    refusal->status = Refusal::NotFound;
    if (!title.isEmpty())
        return playlistTitles::find(tree, title, &refusal->reason);
    // the rows as the tree shows them at start: the folders left open are opened again
    const int chosenRow =
        userDefaultsExtension::defaultIntValue(settings, PlaylistOutlineView::LastSelectedIndexKey);
    int row = 0;
    ObjectId chosen = NoObject;
    std::function<void(ObjectId)> walk = [&](ObjectId parent) {
        for (ObjectId node : tree.childObjects(parent)) {
            if (chosen != NoObject)
                return;
            if (row++ == chosenRow)
                chosen = node;
            else if (library.value(node, LibrarySchema::IsFolder).toBool() &&
                     library.value(node, LibrarySchema::IsExpand).toBool())
                walk(node);
        }
    };
    if (chosenRow >= 0)
        walk(NoObject);
    if (chosen == NoObject || library.value(chosen, LibrarySchema::IsFolder).toBool()) {
        refusal->reason = QStringLiteral("Tetrapan shows no playlist at start; name one with --playlist.");
        return NoObject;
    }
    return chosen;
}

std::array<QRect, 4> panePlaces(const SettingsDomain& settings, const QString& frameSet, QSize output)
{
    const float thickness = ViewMain::DividerThickness;
    QSizeF area(output);
    FrameSetItem shares{frameSet::SystemSlot, 0.5f, 0.5f, 0.5f};
    const auto columns = storedFrames(settings, ViewMain::RectSplitViewMain);
    const auto left = storedFrames(settings, ViewMain::RectSplitViewLeft);
    const auto right = storedFrames(settings, ViewMain::RectSplitViewRight);
    const QSizeF stored =
        columns ? QSizeF(columns->second.x() + columns->second.width(), columns->first.height()) : QSizeF();
    if (left && right && stored.width() > thickness && stored.height() > thickness) {
        area = stored;
        const auto share = [thickness](double first, double whole) {
            return frameSet::ratio(float(first), float(whole), thickness);
        };
        shares.main = share(columns->first.width(), area.width());
        shares.left = share(left->first.height(), left->second.y() + left->second.height());
        shares.right = share(right->first.height(), right->second.y() + right->second.height());
    }
    if (userDefaultsExtension::defaultBoolValue(settings, QLatin1String(MovController::OptLoadFrameSet))) {
        if (const std::optional<FrameSetItem> item = frameSet::findSlot(frameSet, frameSet::SystemSlot))
            shares = *item;
    }
    if (area.isEmpty())
        return {};
    // as a split view lays out its two subviews: the first takes its share of what the divider leaves
    const double w = area.width(), h = area.height();
    const double x = std::round((w - thickness) * shares.main);
    const double y1 = std::round((h - thickness) * shares.left);
    const double y3 = std::round((h - thickness) * shares.right);
    const auto rect = [](double x0, double y0, double x1, double y1) {
        return x1 > x0 && y1 > y0 ? QRect(QPoint(int(x0), int(y0)), QPoint(int(x1) - 1, int(y1) - 1))
                                  : QRect();
    };
    const std::array<QRect, 4> onScreen{rect(0, 0, x, y1), rect(0, y1 + thickness, x, h),
                                        rect(x + thickness, 0, w, y3),
                                        rect(x + thickness, y3 + thickness, w, h)};
    return scaledPlaces(onScreen, QRect(QPoint(), area.toSize()), output);
}

std::optional<ExportJob> jobFor(ObjectContext& library, const SettingsDomain& settings, ObjectId playlist,
                                const commandLine::ExportRequest& request, Refusal* refusal,
                                QStringList* notes)
{
    const QString title = library.value(playlist, LibrarySchema::Title).toString();
    FilelistArrayController entries(library);
    entries.setFilterPredicate(
        Predicate::equals(LibrarySchema::UniqueId, library.value(playlist, LibrarySchema::UniqueId)));
    ExportJob job;
    job.size = request.choices.size;
    const std::array<QRect, 4> places =
        panePlaces(settings, library.value(playlist, LibrarySchema::FrameSet).toString(), job.size);
    job.leader = -1;
    for (int n = 1; n <= PaneCount; ++n) {
        const QList<ObjectId>& arranged = entries.arrangedObjects();
        // the first entry of each pane, as the panes load a playlist
        const auto entry = std::find_if(arranged.cbegin(), arranged.cend(), [&](ObjectId id) {
            return library.value(id, LibrarySchema::ViewNo).toInt() == n;
        });
        if (entry == arranged.cend() || places[size_t(n - 1)].isEmpty())
            continue;
        const QString path = library.value(*entry, LibrarySchema::FilePath).toString();
        if (!fileNames::exists(path)) {
            *notes << QStringLiteral("Pane %1's movie %2 is missing; the pane stays empty.")
                          .arg(n)
                          .arg(fileNames::shown(path));
            continue;
        }
        ExportPane& pane = job.panes[size_t(n - 1)];
        const PaneOffsets::Placement placement = PaneOffsets::placementOf(library, *entry);
        pane.filePath = RecordingSource::ofEntry(library, *entry);
        pane.offsetMs = placement.offsetMs;
        pane.rate = placement.rate;
        pane.place = places[size_t(n - 1)];
        if (job.leader < 0)
            job.leader = n - 1;
    }
    refusal->status = Refusal::NotFound;
    if (job.leader < 0) {
        refusal->reason = QStringLiteral("The playlist \"%1\" has no movie to export.").arg(title);
        return std::nullopt;
    }
    const ExportChoices& choices = request.choices;
    if (choices.sound == ExportSound::OnePane && job.panes[size_t(choices.soundPane)].filePath.isEmpty()) {
        refusal->reason = QStringLiteral("Pane %1 of \"%2\" has no movie to take the sound from.")
                              .arg(choices.soundPane + 1)
                              .arg(title);
        return std::nullopt;
    }
    placeRecordings(job, notes);
    choices.applyTo(job);
    // the time line shows the leader's time; the job wants the common time line's
    if (request.rangeMs) {
        const ExportPane& leader = job.panes[size_t(job.leader)];
        const auto common = [&leader](qint64 ms) {
            return std::llround((ms - leader.offsetMs) / leader.rate);
        };
        job.startMs = common(request.rangeMs->first);
        job.endMs = common(request.rangeMs->second);
    }
    job.outputPath = request.outputPath;
    return job;
}

} // namespace tetrapan::exportFromLibrary
