#pragma once

#include <QFrame>

class QAbstractButton;
class QLabel;
class QProgressBar;

namespace tetrapan {

struct ExportProgress;

// A small bar over the bottom of the panes while a video is exported: how far it is, the time left and
// Cancel; then, for a moment, how it ended. It lies outside what a snapshot takes.
class ExportProgressBar final : public QFrame {
    Q_OBJECT
public:
    explicit ExportProgressBar(QWidget* parent);

    void showStarted(const QString& fileName);
    void showProgress(const ExportProgress& progress);
    // Shows the words alone, without the bar and Cancel.
    void showEnded(const QString& text);

    QString text() const;
    int percent() const;
    QAbstractButton* cancelButton() const { return cancel_; }

signals:
    void cancelRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int Inset = 12;
    static constexpr int Width = 460;
    void place();

    QLabel* label_;
    QProgressBar* bar_;
    QAbstractButton* cancel_;
    QString fileName_;
};

} // namespace tetrapan
