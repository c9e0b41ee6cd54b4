#pragma once

#include "platform/Scheduler.h"

#include <QFrame>

#include <chrono>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tetrapan {

// A bar over the top of the panes while they are aligned: what is being done, how far it got and a Cancel
// button; afterwards what came of it, until closed or for a while. The panes go on playing under it.
class AlignNotice final : public QFrame {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds ShowDuration{12000};

    AlignNotice(Scheduler& scheduler, QWidget* parent);
    ~AlignNotice() override;

    void showStarted(const QString& what);
    // share 0 to 1
    void showProgress(double share);
    void showFinished(const QString& report);

    QString text() const;
    QPushButton* button() const { return button_; }
    QProgressBar* progressBar() const { return progress_; }

Q_SIGNALS:
    void cancelRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int Inset = 12;

    void place();

    Scheduler& scheduler_;
    QLabel* label_;
    QProgressBar* progress_;
    QPushButton* button_;
    bool running_ = false;
    Scheduler::TaskId hideTask_ = Scheduler::NoTask;
};

} // namespace tetrapan
