#pragma once

namespace tetrapan {

class PlaylistOutlineView;
class SettingsDomain;

// What the playlist tree remembers across runs: which folders were open (in the library, on each folder)
// and which row was selected (in the settings).
class PlaylistTreeLastState {
public:
    PlaylistTreeLastState(PlaylistOutlineView& view, SettingsDomain& settings)
        : view_(view), settings_(settings)
    {
    }

    void store();
    void restore();

private:
    PlaylistOutlineView& view_;
    SettingsDomain& settings_;
};

} // namespace tetrapan
