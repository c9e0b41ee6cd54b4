#pragma once

#include "platform/ObjectModel.h"
#include "platform/Scheduler.h"

namespace tetrapan {

class DialogPresenter;
class PlaylistOutlineView;

// Adding a folder or playlist beside the selected row and removing the selected one once the user confirms,
// each as one undo step; the new node's title is then edited in place (or given, for files opened), and after
// a removal the row the tree settles on goes to the panes.
class PlaylistTreeEditing {
public:
    PlaylistTreeEditing(PlaylistOutlineView& view, Scheduler& scheduler, DialogPresenter& dialogs)
        : view_(view), scheduler_(scheduler), dialogs_(dialogs)
    {
    }
    ~PlaylistTreeEditing();
    PlaylistTreeEditing(const PlaylistTreeEditing&) = delete;
    PlaylistTreeEditing& operator=(const PlaylistTreeEditing&) = delete;

    ObjectId addNode(bool folder);
    // A playlist for files opened with no playlist chosen: inside the selected folder (or at the top level),
    // named after the given title, unique on its level, selected and handed to the panes; not edited.
    ObjectId addNamedPlaylist(const QString& title);
    void removeItem();

private:
    ObjectId addNode(bool folder, const QString& title);

    PlaylistOutlineView& view_;
    Scheduler& scheduler_;
    DialogPresenter& dialogs_;
    Scheduler::TaskId selectAfterRemoveTask_ = Scheduler::NoTask;
};

} // namespace tetrapan
