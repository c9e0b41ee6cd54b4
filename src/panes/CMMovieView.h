#pragma once

#include <QMenu>
#include <QStringList>

namespace tetrapan {

class PaneAligner;
class PaneCompare;
class PaneNudge;
class QTMovieSubView;

// A pane's context menu. It is built from menu definition lines ("title,action,tag,key") and rebuilt
// before every opening, so each item's enabled state and check mark show the pane as it is then. An item
// whose action the rules drop is disabled. Every chosen command goes on to the pane. Without a pane every
// item shows, greyed: the commands' names are read from such a menu.
class CMMovieView final : public QMenu {
    Q_OBJECT
public:
    explicit CMMovieView(QWidget* parent = nullptr);
    ~CMMovieView() override;

    // Outlet: the pane this menu acts on.
    void setQtView(QTMovieSubView* pane) { qtView_ = pane; }
    QTMovieSubView* qtView() const { return qtView_; }
    // Outlet: what "Align This Pane by Sound" asks; without it the item stays disabled.
    void setPaneAligner(PaneAligner* aligner) { paneAligner_ = aligner; }
    // Outlet: what nudges the pane's offset; none, no nudges.
    void setPaneNudge(PaneNudge* nudge) { paneNudge_ = nudge; }
    // Outlet: what shows this pane and another in one; none, no comparing.
    void setPaneCompare(PaneCompare* compare) { paneCompare_ = compare; }

    // Rebuilds before each opening and makes the empty copy submenu.
    void awakeFromNib();

    void menuNeedsUpdate();
    void setMenuItem();
    void setCopyMenu();
    static QStringList createMenuArray();
    static QStringList createCopyMenuArray();

    QMenu* menuCopy() const { return menuCopy_; }

    // Item actions; the chosen item is the sender.
    void changeMoviePlay(QAction* sender);
    void syncMovieTime(QAction* sender);
    void changeMovieFrame(QAction* sender);
    void changeMovieController(QAction* sender);
    void changeMovieAspect(QAction* sender);
    void changeMovieMuted(QAction* sender);
    void nullAction(QAction* sender);
    void copyMovieView(QAction* sender);
    void removeMovieView(QAction* sender);
    void openMovieFile(QAction* sender);

    // Offsets against the leading pane.
    void changeMovieOffset(QAction* sender);
    void clearMovieOffset(QAction* sender);
    void alignMovieBySound(QAction* sender);
    // The item's data is the PaneNudge::Step.
    void nudgeMovieOffset(QAction* sender);
    // Opens the pane's offset and rate, window modal.
    void editMovieOffset(QAction* sender);
    // This pane's place shows it and the pane the item's data names, compared.
    void compareMovieView(QAction* sender);

private:
    using Action = void (CMMovieView::*)(QAction*);
    // The action a definition line names; null for an empty or unknown name.
    static Action actionNamed(const QString& name);
    // A new item of the menu, enabled and connected when it has an action.
    QAction* makeItem(QMenu* menu, const QString& title, Action action);
    void addGreyedItems();

    QTMovieSubView* qtView_ = nullptr;
    PaneAligner* paneAligner_ = nullptr;
    PaneNudge* paneNudge_ = nullptr;
    PaneCompare* paneCompare_ = nullptr;
    QMenu* menuCopy_ = nullptr;
    bool awake_ = false;
};

} // namespace tetrapan
