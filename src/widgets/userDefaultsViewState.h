#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QSplitter;
class QHeaderView;
class QTableView;
class QWidget;

namespace tetrapan {

class SettingsDomain;

// Window frames, split-view subview frames and table columns kept in the settings domain, in the stored
// forms other tools read: a window as one rectangle text (rectText), a split view as a list of rectangle
// texts (one per subview, in the subview's own splitter coordinates), a table as a list of
// {"identifier", "width"} dictionaries in the table's left-to-right order, its hidden columns after them.
// Every save writes through.
namespace userDefaultsExtension {

// A window's frame is its geometry (the client area in screen coordinates, origin top left), which a
// window takes back exactly. A stored rectangle that is damaged (fewer than four numbers) or empty is not
// applied; one that lies off every screen (a monitor unplugged since) is moved onto the nearest one.
void setWindowRect(SettingsDomain& domain, QWidget* window, const QString& key);
// Only the stored origin; the window keeps its size.
void setWindowPosition(SettingsDomain& domain, QWidget* window, const QString& key);
void saveWindowRect(SettingsDomain& domain, QWidget* window, const QString& key);
// A frame the window will have again, where its present geometry is not the one to keep (full screen). Where
// the window system keeps windows' places from the program (Wayland), the stored place stays as it was.
void saveWindowRect(SettingsDomain& domain, const QRect& frame, const QString& key);

// Each stored entry i sets the extent of the splitter's widget i along the splitter's orientation; the
// splitter lays them out with those sizes. Extra entries or extra widgets are left alone.
void setSplitViewRect(SettingsDomain& domain, QSplitter* splitView, const QString& key);
void saveSplitViewRect(SettingsDomain& domain, QSplitter* splitView, const QString& key);

// A column's identifier is what the table's model answers as horizontal header data for
// FilelistArrayController::AttributeKeyRole. Hidden columns are not in the table: they are stored after
// the shown ones as {"identifier", "hidden": true}, which only says the table had them, and are not moved; a
// stored position counts the shown columns only.
void setTableColumnState(SettingsDomain& domain, QTableView* table, const QString& key);
void saveTableColumnState(SettingsDomain& domain, QTableView* table, const QString& key);
// The shown columns' logical sections, left to right.
QList<int> shownSections(const QHeaderView* header);

// Where a window with the wanted frame may go on screens with these available areas: the frame itself
// when a part of it a user can take hold of lies on one of them; otherwise moved (and shrunk if it must)
// into the nearest area. Nothing for an empty frame.
std::optional<QRect> reachableWindowRect(const QRect& wanted, const QList<QRect>& screenAreas);

} // namespace userDefaultsExtension
} // namespace tetrapan
