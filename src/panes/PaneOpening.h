#pragma once

#include "engine/MovieEngine.h"
#include "library/Recording.h"
#include "platform/Scheduler.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QWidget;

namespace tetrapan {

class RecordingScan;

// A pane's open under way. The engine opens the file off the GUI thread; meanwhile the pane keeps what it
// showed and, once the open takes longer than a local file's few milliseconds, says over its picture which
// file it is opening, with a button that cancels it. One open at a time: a new one cancels the one before.
// A recording (RecordingSource) is listed first, off the GUI thread, then opened; one with no movie to play
// is refused naming its folder, and the files it left out come back as the answer's error beside its movie.
class PaneOpening final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds NoticeDelay{300};
    // result: the engine's answer, a refusal's error saying why in the user's words (MovieFileProblem);
    // cancelled: the open was cancelled or replaced, and result holds nothing.
    using Done = std::function<void(MovieOpenResult result, bool cancelled)>;

    // area: the widget the notice is laid over, in its middle.
    PaneOpening(QWidget& area, MovieEngine& engine, Scheduler& scheduler);
    // An open still under way is dropped without a word.
    ~PaneOpening() override;

    // done may hear the answer before this returns. path: a movie file's, or a recording's locator.
    void open(const QString& path, Done done);
    // The recording the last open listed, when it was one.
    const Recording& recording() const { return recording_; }
    void cancel();
    bool isOpening() const { return opening_; }
    QString path() const { return opening_ ? path_ : QString(); }
    // The notice and its button, for tests.
    QWidget* notice() const { return notice_; }
    QPushButton* cancelButton() const { return cancelButton_; }

Q_SIGNALS:
    // The folder of the recording last opened went away while its movie played: path is what was opened.
    void recordingFolderRemoved(const QString& path, const QString& folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish(MovieOpenResult result, bool cancelled);
    // Finishes the open refused, saying why in the user's words, worked out off this thread: it looks at the
    // file, which may hang as the open did. said: what the engine or the listing said.
    void refuse(std::function<QString()> said);
    // Lists the recording's files off this thread, then opens them.
    void list(const Recording& source);
    void openListed(const Recording& recording, quint64 ticket);
    void watchFolder();
    void showNotice();
    void placeNotice();

    QWidget& area_;
    MovieEngine& engine_;
    Scheduler& scheduler_;
    QWidget* notice_;
    QLabel* text_;
    QPushButton* cancelButton_;
    bool opening_ = false;
    QString path_;
    Done done_;
    std::unique_ptr<RecordingScan> scan_;
    std::unique_ptr<QFileSystemWatcher> folderWatch_;
    Recording recording_;
    quint64 engineOpening_ = 0;
    // Tells an answer to the open under way from one to an open since dropped.
    quint64 ticket_ = 0;
    Scheduler::TaskId noticeTask_ = Scheduler::NoTask;
};

} // namespace tetrapan
