#pragma once

#include "platform/Scheduler.h"

#include <QFrame>
#include <QString>
#include <QStringList>

#include <chrono>

class QAbstractButton;
class QLabel;

namespace tetrapan {

class FileViewer;

// A small bar over the bottom of the panes after File > Save Snapshot: where the pictures went, with a
// button that shows them in the file manager, or why none was taken. It goes by itself after a few seconds
// and lies outside what a snapshot takes.
class SnapshotNotice final : public QFrame {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds ShowDuration{6000};

    // At the bottom of the parent, whatever its size.
    SnapshotNotice(Scheduler& scheduler, FileViewer& fileViewer, QWidget* parent);
    ~SnapshotNotice() override;

    // The files written, the window's picture first; nothing shows for none.
    void showSaved(const QStringList& paths);
    void showNotTaken(const QString& why);

    QString text() const;
    QAbstractButton* showFolderButton() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int Inset = 12;

    void showMessage(const QString& text, const QString& fileToShow);
    void place();

    Scheduler& scheduler_;
    FileViewer& fileViewer_;
    QLabel* label_;
    QAbstractButton* showFolder_;
    QString fileToShow_;
    Scheduler::TaskId hideTask_ = Scheduler::NoTask;
};

} // namespace tetrapan
