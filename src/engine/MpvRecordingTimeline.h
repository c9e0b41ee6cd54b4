#pragma once

#include "library/Recording.h"

#include <QString>
#include <QVector>

namespace tetrapan {

// What one file of a recording holds, as far as joining it to its neighbours goes: its header's tracks, and
// whether the file can still be read.
struct MpvPieceFacts {
    RecordingTracks tracks;
    bool readable = false;
    // a header is read as known only with a picture track
    bool hasPicture() const { return tracks.known; }
};

// A recording as one timeline for mpv (its "edl://" form): two streams, one of pictures and one of sound,
// each made of the files in turn with generated black pictures or silence wherever a file has none of its
// own (a gap, a file without a sound track). A stream whose source runs dry in the middle of the timeline
// makes mpv skip ahead to where it has data again, so every stretch must have both.
class MpvRecordingTimeline {
public:
    // What the listing read of the piece's header and whether the file is still there; the header is read
    // here for a piece the listing did not read, which blocks on the disk, so off the GUI thread.
    static MpvPieceFacts factsOf(const RecordingPiece& piece);
    // The timeline for the recording's pieces, facts[i] being those of pieces[i]; empty when no piece can
    // be read. Its stretches are RecordingStretches::of, as the video export's: gaps shorter than
    // MergedGapMs play on the previous file, since a generated frame there would be a black flash at a
    // boundary that is no gap but the clocks' rounding.
    static QString timeline(const Recording& recording, const QVector<MpvPieceFacts>& facts);
    // Whether the timeline has a sound stream of its own, the last sound track mpv lists: where some file
    // has sound and some stretch has none (a gap, a file without). Otherwise the files' sound plays as is,
    // and each file is opened once, not twice.
    static bool hasSoundStream(const Recording& recording, const QVector<MpvPieceFacts>& facts);
    // The number mpv gives that sound stream's track (after the sound tracks of the timeline's first
    // stretch, whose tracks the first stream takes: its segment says so, where mpv would take those of the
    // file with the most); 0 when there is none.
    static int soundStreamTrack(const Recording& recording, const QVector<MpvPieceFacts>& facts);
};

} // namespace tetrapan
