#pragma once

#include <QMenu>
#include <QStringList>

namespace tetrapan {

class TBArrayController;
class ViewMain;

// The frame-set menu: Load, Save and Remove the selected playlist's frame set, and Reset to the even
// layout. It is rebuilt from its definition lines before every opening, so its items are enabled for the
// playlist selected at that moment: Save for a playlist, Load and Remove for a playlist with a frame set,
// Reset always.
class MenuFrameSet : public QMenu {
    Q_OBJECT
public:
    explicit MenuFrameSet(QWidget* parent = nullptr);
    ~MenuFrameSet() override;

    // outlets
    ViewMain* viewMain = nullptr;
    TBArrayController* tbArrayController = nullptr;

    void awakeFromNib();
    void menuNeedsUpdate();
    void setMenuItem();
    static QStringList createMenuArray();

    // Item actions. The frame-set commands act on slot 0 of the selected playlist.
    void loadFramePosition(QAction* sender);
    void saveFramePosition(QAction* sender);
    void removeFramePosition(QAction* sender);
    void resetFramePosition(QAction* sender);
    void nullAction(QAction* sender);

private:
    using Action = void (MenuFrameSet::*)(QAction*);
    static Action actionNamed(const QString& name);

    bool awake_ = false;
};

} // namespace tetrapan
