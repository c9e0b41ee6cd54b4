#include "layout/VideoExporter.h"

#include "engine/MovieView.h"
#include "export/ExportTask.h"
#include "export/VideoExport.h"
#include "layout/ExportProgressBar.h"
#include "library/Movie.h"
#include "library/dialogExtension.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/QTMovieSubView.h"
#include "platform/DialogPresenter.h"
#include "platform/fileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStandardPaths>

#include <cmath>

namespace tetrapan {

namespace {

// H.264 and VP9 keep colour at half the resolution, so both sides must be even
QSize evenSize(QSize size)
{
    return QSize(size.width() & ~1, size.height() & ~1);
}

} // namespace

VideoExporter::VideoExporter(MovController& panes, PaneTimeline& timeline, DialogPresenter& dialogs,
                             Scheduler& scheduler, QWidget* panesArea, QWidget* barParent, QObject* parent)
    : QObject(parent), panes_(panes), timeline_(timeline), dialogs_(dialogs), scheduler_(scheduler),
      panesArea_(panesArea), bar_(new ExportProgressBar(barParent)), task_(new ExportTask(this))
{
    connect(bar_, &ExportProgressBar::cancelRequested, this, &VideoExporter::cancel);
    connect(task_, &ExportTask::progressed, bar_, &ExportProgressBar::showProgress);
    connect(task_, &ExportTask::finished, this, &VideoExporter::finish);
}

VideoExporter::~VideoExporter()
{
    scheduler_.cancel(hideTask_);
}

QSize VideoExporter::panesSize() const
{
    return evenSize(panesArea_->size());
}

bool VideoExporter::isExporting() const
{
    return task_->isRunning();
}

const ExportJob& VideoExporter::exportJob() const
{
    return task_->job();
}

VideoExporter::WindowReading VideoExporter::readWindow() const
{
    WindowReading seen;
    ExportJob& job = seen.job;
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        const QTMovieSubView* pane = panes_.qtView(viewNo);
        // a pane squeezed out of sight (another zoomed to the window) is no part of the picture, nor of the
        // sound
        if (!pane || !pane->movie() || pane->filePath().isEmpty() || !pane->isVisible() || !pane->isDisplay())
            continue;
        ExportPane& exported = job.panes[size_t(viewNo - 1)];
        exported.filePath = pane->filePath();
        // a recording is exported as the pane placed it: its listing, and its place on the wall clock
        if (const Recording* recording = pane->movie()->recording())
            exported.recording = *recording;
        const PaneOffsets::Placement placement = panes_.offsets().placement(viewNo);
        exported.offsetMs = placement.offsetMs;
        exported.rate = placement.rate;
        exported.heard = !pane->isMuted();
        // the picture's part of the pane, as on the screen: a shown controller bar is not the movie's
        const auto* view = pane->movieView();
        seen.onScreen[size_t(viewNo - 1)] = QRect(view->mapTo(panesArea_, QPoint(0, 0)), view->size());
        exported.keepAspect = view->preservesAspectRatio();
        exported.zoomFactor = view->zoom().factor;
        exported.zoomCentre = view->zoom().centre;
    }
    seen.area = panesArea_->rect();
    job.size = panesSize();
    job.leader = std::max(timeline_.leaderViewNo() - 1, 0);
    // the loop's points are the leader's times; the job wants the common time line's
    if (timeline_.loopA() && timeline_.loopB()) {
        const PaneOffsets& offsets = panes_.offsets();
        job.startMs = std::llround(offsets.commonSecondsOf(job.leader + 1, *timeline_.loopA()) * 1000);
        job.endMs = std::llround(offsets.commonSecondsOf(job.leader + 1, *timeline_.loopB()) * 1000);
    }
    return seen;
}

ExportJob VideoExporter::jobFrom(const WindowReading& seen, const ExportChoices& choices,
                                 const QString& outputPath)
{
    ExportJob job = seen.job;
    if (!choices.size.isEmpty())
        job.size = choices.size;
    const std::array<QRect, 4> places = scaledPlaces(seen.onScreen, seen.area, job.size);
    for (size_t i = 0; i < places.size(); ++i)
        job.panes[i].place = places[i];
    choices.applyTo(job);
    job.outputPath = outputPath;
    return job;
}

ExportJob VideoExporter::jobFor(const ExportChoices& choices, const QString& outputPath) const
{
    return jobFrom(readWindow(), choices, outputPath);
}

void VideoExporter::exportVideo()
{
    // one dialog at a time: a command given again meanwhile (by name, from a script) finds it open
    if (choosing_)
        return;
    if (isExporting()) {
        dialogExtension::displayMessage(dialogs_, dialogExtension::ExportIsRunning);
        return;
    }
    // The window as the command found it: while the dialog and the file panel are open, a timer's frame
    // play or the media controls may zoom a pane or choose another playlist.
    const WindowReading seen = readWindow();
    std::array<bool, 4> withMovie{};
    for (size_t i = 0; i < withMovie.size(); ++i)
        withMovie[i] = !seen.job.panes[i].filePath.isEmpty();
    if (std::none_of(withMovie.begin(), withMovie.end(), [](bool has) { return has; })) {
        dialogExtension::displayMessage(dialogs_, dialogExtension::NothingToExport);
        return;
    }
    const QScopedValueRollback choosing(choosing_, true);
    VideoExportDialog dialog(seen.job.size, withMovie, panesArea_->window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ExportChoices choices = dialog.choices();
    const QString title = panes_.shownTitle().isEmpty() ? QStringLiteral("Tetrapan") : panes_.shownTitle();
    SavePanelRequest request;
    request.title = QStringLiteral("Export Video");
    request.directory = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString extension = exportExtension(choices.format);
    // a title is no file name: "Heats 1/2" would name a folder that is not there
    request.fileName = fileNames::fromTitle(title, QStringLiteral("Tetrapan")) + QLatin1Char('.') + extension;
    const QString kind = choices.format == ExportFormat::WebM       ? QStringLiteral("WebM")
                         : choices.format == ExportFormat::Matroska ? QStringLiteral("Matroska")
                                                                    : QStringLiteral("MP4");
    request.nameFilter = QStringLiteral("%1 videos (*.%2)").arg(kind, extension);
    request.defaultSuffix = extension;
    const QString path = dialogs_.runSavePanel(request);
    if (!path.isEmpty() && !start(jobFrom(seen, choices, path)))
        dialogExtension::displayMessage(dialogs_, dialogExtension::ExportIsRunning);
}

bool VideoExporter::start(const ExportJob& job)
{
    if (isExporting())
        return false;
    scheduler_.cancel(hideTask_);
    bar_->showStarted(QFileInfo(job.outputPath).fileName());
    task_->start(job);
    return true;
}

void VideoExporter::cancel()
{
    task_->cancel();
}

void VideoExporter::finish(const ExportResult& result)
{
    const QString name = QFileInfo(task_->job().outputPath).fileName();
    bar_->showEnded(result.ok ? QStringLiteral("Exported %1").arg(name)
                    : result.cancelled
                        ? QStringLiteral("Export of %1 cancelled; nothing was written").arg(name)
                        : QStringLiteral("Could not export %1").arg(name));
    hideTask_ = scheduler_.scheduleAfter(EndShownFor, [this] {
        hideTask_ = Scheduler::NoTask;
        bar_->hide();
    });
    emit exportFinished(result);
    if (result.ok && !result.warning.isEmpty())
        dialogExtension::displayMessage(dialogs_, dialogExtension::ExportedWithBlackFiles, result.warning);
    if (!result.ok && !result.cancelled) {
        const dialogExtension::AlertText& alert = dialogExtension::CanNotExportVideo;
        dialogExtension::displayMessage(dialogs_, alert.style, alert.message, alert.info.arg(result.message),
                                        alert.btnList);
    }
}

} // namespace tetrapan
