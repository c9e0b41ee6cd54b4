#pragma once

namespace tetrapan {

class DialogPresenter;
class MainNib;
class MainWindow;
class ObjectContext;
class SettingsDomain;

// The main window's menu commands that act on the whole application rather than on one window: files,
// playback of all panes, snapshots, the playlists, saving, quitting, undo and the sync lock. Each is one
// step of loading the nib (MainNib), which calls them in its documented order.
namespace menuCommands {

// File > Open Movies (from the folder of the last ones), Open Movie Into a pane, New Playlist and New Folder,
// Save Snapshot; the playback menu; the previous and next playlist.
void connectFileAndPlaybackMenus(MainNib& nib, DialogPresenter& dialogs, SettingsDomain& settings);
// Save, Quit, the main window's close box, Undo and Redo: the application delegate's commands.
void connectApplicationCommands(MainNib& nib);
// Undo and Redo are enabled, and name the change, as the library's undo stack allows; from the library's
// opening on.
void connectUndoActions(MainWindow& window, ObjectContext* context);
// The desktop's media controls compare what they show whenever the panes, the playlists or the volume may
// have changed.
void connectMediaControls(MainNib& nib, SettingsDomain& settings);
// View > Sync Lock and the palette's lock button write the setting; the lock follows the setting.
void connectSyncLock(MainNib& nib, SettingsDomain& settings);
// View > Show Seek Bar writes the setting; the seek bar under the panes follows it (in full screen while the
// pointer moves). Playback > Loop A–B sets and clears the loop, also from the palette.
void connectTimeline(MainNib& nib, SettingsDomain& settings);
// Playback > Slower, Faster and Normal Speed (also from the palette), the speed shown in the tool bar and the
// palette's title; View > Reset Zoom, and Zoom Panes Together, which writes the setting and follows it.
void connectSpeedAndZoom(MainNib& nib, SettingsDomain& settings);
// The nudges of the chosen pane: in the Playback menu after the speeds, their keys answering in every window;
// the seek bar's lanes show the new offset at once.
void connectNudge(MainNib& nib);

} // namespace menuCommands
} // namespace tetrapan
