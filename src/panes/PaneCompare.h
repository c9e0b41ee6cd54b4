#pragma once

#include "engine/CompareSettings.h"
#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>

#include <chrono>

class QAction;
class QLabel;
class QActionGroup;
class QMenu;
class QWidget;

namespace tetrapan {

class MovController;
class MovieView;
class SettingsDomain;

// Two panes compared in one: the place of pane A shows A and B combined (a wipe, a blend, a difference or
// the two in turn), pane B's place keeps showing B. The mode, its panes, the kind and its settings are kept
// in the settings and come back at the next start; a playlist change keeps the mode while both panes hold
// movies and leaves it otherwise. The combining itself is the movie views' (MovieView::compareWith).
class PaneCompare : public QObject {
    Q_OBJECT
public:
    static constexpr const char* CompareStateKey = "compareState";
    // One key press or wheel notch changes the blend's opacity by this much.
    static constexpr double OpacityStep = 0.1;

    // The note naming the kind shows this long after a change, then leaves the picture alone.
    static constexpr std::chrono::milliseconds NoteShownFor{3000};

    PaneCompare(MovController& panes, SettingsDomain& settings, Scheduler& scheduler,
                QObject* parent = nullptr);
    ~PaneCompare() override;

    // View > Compare Panes… and View > Compare's items; their window keys act in window.
    void addMenuItems(QMenu& view, QWidget& window);

    bool isComparing() const { return comparing_; }
    int paneA() const { return a_; }
    int paneB() const { return b_; }
    CompareSettings settings() const { return mode_; }

    // Pane a's place shows a and b combined; false when either holds no movie or they are one pane.
    bool canCompare(int a, int b) const;
    bool compare(int a, int b);
    void leave();
    void setKind(CompareKind kind);
    void setWipeAt(double share);
    void switchWipeDirection();
    void changeOpacity(double by);
    // 1×, 4×, 16× and round again.
    void nextFactor();
    // Shows the other one of the two, in the flip.
    void flip();

    QAction* comparePanesAction() const { return comparePanes_; }
    // What pane A's place says of itself for a moment after a change: the kind, the other pane, and B's size
    // scaled to A's.
    QString note() const;
    QAction* kindAction(CompareKind kind) const;

Q_SIGNALS:
    void comparingChanged(bool comparing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MovieView* viewOf(int viewNo) const;
    bool holdsMovie(int viewNo) const;
    // To the views, the menu's marks and the settings.
    void apply();
    // To the views and the menu's marks.
    void show();
    void store();
    void restore();
    void playlistChanged();
    void chooseAndCompare();
    void watchPaneA(bool watch);
    void showNote();

    MovController& panes_;
    SettingsDomain& settings_;
    Scheduler& scheduler_;
    Scheduler::TaskId hideNote_ = Scheduler::NoTask;
    bool comparing_ = false;
    // Stored as comparing: compared again once the panes hold their movies.
    bool resume_ = false;
    int a_ = 1;
    int b_ = 2;
    CompareSettings mode_;
    bool wiping_ = false;
    // A wheel's turn not yet worth a hundredth of opacity, in eighths of a degree.
    static constexpr int NotchAngle = 120;
    int wheelAngle_ = 0;
    QWidget* watched_ = nullptr;
    QWidget* window_ = nullptr;
    // Over pane A while comparing; goes with the pane it is on.
    QPointer<QLabel> note_;
    QAction* comparePanes_ = nullptr;
    QActionGroup* kinds_ = nullptr;
    QList<QAction*> modeActions_;
    QAction* escape_ = nullptr;
};

} // namespace tetrapan
