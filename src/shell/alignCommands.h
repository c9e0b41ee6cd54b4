#pragma once

namespace tetrapan {

class MainNib;

// Playback > Align Panes by Sound, by Flash and by Sound at Two Points, the same in the palette's Align
// button, and each pane's Align This Pane by Sound: what they ask of the pane aligner, when they can be
// chosen (two panes or more with movies, no alignment under way), and the notice over the panes that shows
// its progress, its Cancel and its report.
namespace alignCommands {

void connect(MainNib& nib);

} // namespace alignCommands
} // namespace tetrapan
