#pragma once

#include <QLabel>
#include <QStringList>

class QDropEvent;

namespace tetrapan {

// While the library holds no playlist, the main window shows over its black panes how to begin. Clicks go
// through to the panes and dividers beneath; files dropped anywhere on the panes meanwhile, up to four, are
// opened as File > Open Movies opens them (a pane's own drop wants a playlist to place its file in).
class EmptyLibraryHint final : public QLabel {
    Q_OBJECT
public:
    static constexpr const char* Text = "Drop up to four movies here, or choose File > Open Movies (Ctrl+O).";

    // In the middle of the parent, whatever its size.
    explicit EmptyLibraryHint(QWidget* parent);
    // Drops on this widget come here while the hint shows; to be called after the widget's own input is set
    // up, so the hint hears them first.
    void takeDropsOn(QWidget* widget);

Q_SIGNALS:
    void filesDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int Inset = 20;
    static constexpr int Padding = 24;

    void place();
    bool takeDrop(QDropEvent* event, bool drop);
};

} // namespace tetrapan
