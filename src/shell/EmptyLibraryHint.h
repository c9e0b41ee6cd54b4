#pragma once

#include <QLabel>
#include <QStringList>

namespace tetrapan {

// While the library holds no playlist, the main window shows over its black panes how to begin. The hint
// covers the panes and takes the files dropped on it, up to four, as File > Open Movies would.
class EmptyLibraryHint final : public QLabel {
    Q_OBJECT
public:
    static constexpr const char* Text = "Drop up to four movies here, or choose File > Open Movies (Ctrl+O).";

    // Covers the parent whole, whatever its size.
    explicit EmptyLibraryHint(QWidget* parent);

Q_SIGNALS:
    void filesDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace tetrapan
