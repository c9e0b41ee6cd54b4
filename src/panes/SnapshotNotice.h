#pragma once

#include "platform/Scheduler.h"

#include <QFrame>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

class QAbstractButton;
class QLabel;

namespace tetrapan {

class FileViewer;

// A small bar over the bottom of the panes. After File > Save Snapshot: where the pictures went, with a
// button that shows them in the file manager, or why none was taken. After files opened from outside changed
// the chosen playlist: which panes of which playlist, with a button that takes that opening back. It goes by
// itself after a few seconds and lies outside what a snapshot takes.
class SnapshotNotice final : public QFrame {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds ShowDuration{6000};
    // Long enough to read what changed and decide.
    static constexpr std::chrono::milliseconds ChangeShowDuration{10000};

    // At the bottom of the parent, whatever its size.
    SnapshotNotice(Scheduler& scheduler, FileViewer& fileViewer, QWidget* parent);
    ~SnapshotNotice() override;

    // The files written, the window's picture first; nothing shows for none.
    void showSaved(const QStringList& paths);
    void showNotTaken(const QString& why);
    // What an opening changed, with Undo; undo is called at most once, on the user's click.
    void showChanged(const QString& text, std::function<void()> undo);
    // The change shown can no longer be undone alone: the notice goes.
    void withdrawChange();

    QString text() const;
    // Show Folder, or Undo.
    QAbstractButton* showFolderButton() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int Inset = 12;

    void showMessage(const QString& text, const QString& buttonText, std::function<void()> action,
                     std::chrono::milliseconds duration = ShowDuration);
    void place();

    Scheduler& scheduler_;
    FileViewer& fileViewer_;
    QLabel* label_;
    QAbstractButton* showFolder_;
    std::function<void()> action_;
    bool showsChange_ = false;
    Scheduler::TaskId hideTask_ = Scheduler::NoTask;
};

} // namespace tetrapan
