#pragma once

#include "export/ExportJob.h"
#include "layout/VideoExportDialog.h"
#include "platform/Scheduler.h"

#include <QObject>

#include <chrono>

class QWidget;

#include <QRect>

#include <array>

namespace tetrapan {

class DialogPresenter;
class ExportProgressBar;
class ExportTask;
class MovController;
class PaneTimeline;

// File > Export Video…: turns what the window shows (the panes' movies, their places between the dividers,
// their offsets, the A–B loop) and the user's choices into an ExportJob, runs it in the background and shows
// its progress over the panes. The library and the panes are only read.
class VideoExporter final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds EndShownFor{6000};

    // `panesArea` is the widget the four panes share; the progress bar goes over `barParent`.
    VideoExporter(MovController& panes, PaneTimeline& timeline, DialogPresenter& dialogs,
                  Scheduler& scheduler, QWidget* panesArea, QWidget* barParent, QObject* parent = nullptr);
    ~VideoExporter() override;

    // The menu command: the options, then where to save, then the export.
    void exportVideo();
    // The export of what the window shows now, with these choices, into `outputPath`.
    ExportJob jobFor(const ExportChoices& choices, const QString& outputPath) const;
    // False, and nothing started, while another export runs.
    bool start(const ExportJob& job);
    void cancel();
    bool isExporting() const;
    // The export under way, as it was started.
    const ExportJob& exportJob() const;
    ExportProgressBar& progressBar() const { return *bar_; }

signals:
    void exportFinished(const tetrapan::ExportResult& result);

private:
    // What the window shows, for an export: the panes in sight and their places on the screen.
    struct WindowReading {
        ExportJob job;
        std::array<QRect, 4> onScreen;
        QRect area;
    };
    WindowReading readWindow() const;
    static ExportJob jobFrom(const WindowReading& seen, const ExportChoices& choices,
                             const QString& outputPath);
    void finish(const ExportResult& result);
    QSize panesSize() const;

    MovController& panes_;
    PaneTimeline& timeline_;
    DialogPresenter& dialogs_;
    Scheduler& scheduler_;
    QWidget* panesArea_;
    ExportProgressBar* bar_;
    ExportTask* task_;
    Scheduler::TaskId hideTask_ = Scheduler::NoTask;
    bool choosing_ = false; // the dialog or the file panel is open
};

} // namespace tetrapan
