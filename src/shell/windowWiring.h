#pragma once

#include <functional>

class QObject;

namespace tetrapan {

class MainNib;
class Scheduler;
class SettingsDomain;

// The outlets between each window, its controller and the pane coordinator, and the signals by which the
// coordinator has a window follow it. Each is one step of connecting the nib's outlets (MainNib), which
// calls them in its documented order; the objects are all built by then, and none is awake yet.
namespace windowWiring {

// The playlist window, its tree, its file table with the table's header menu, and the window's controller.
void connectPlaylistWindow(MainNib& nib, Scheduler& scheduler);
// The main window's split views, its frame-set menu, and the View menu's commands on the layout.
void connectMainWindowLayout(MainNib& nib, SettingsDomain& settings);
// The control palette's controller, the coordinator's requests it follows and the palette's buttons.
void connectControlWindow(MainNib& nib, SettingsDomain& settings);
// The preferences and help windows, and the lists' font size the preferences set.
void connectPrefs(MainNib& nib, SettingsDomain& settings);
// Calls changed, in receiver's context, whenever the rows of the playlist tree change: a folder opened or
// closed, rows inserted, removed or moved, or all of them reset.
void connectTreeRowChanges(MainNib& nib, QObject* receiver, const std::function<void()>& changed);

} // namespace windowWiring
} // namespace tetrapan
