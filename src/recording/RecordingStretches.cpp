#include "recording/RecordingStretches.h"

namespace tetrapan::RecordingStretches {

QVector<RecordingStretch> of(const Recording& recording, const QVector<bool>& readable)
{
    QVector<RecordingStretch> found;
    qint64 at = recording.startMs();
    for (int i = 0; i < recording.pieces.size(); ++i) {
        const RecordingPiece& piece = recording.pieces[i];
        const qint64 gap = piece.startMs - at;
        if (gap >= MergedGapMs || found.isEmpty())
            found.append({-1, 0, gap});
        else
            found.last().lengthMs += gap;
        found.append({readable.value(i) ? i : -1, 0, piece.lengthMs});
        at = piece.startMs + piece.lengthMs;
    }
    found.removeIf([](const RecordingStretch& stretch) { return stretch.lengthMs <= 0; });
    qint64 from = 0;
    for (RecordingStretch& stretch : found) {
        stretch.fromMs = from;
        from += stretch.lengthMs;
    }
    return found;
}

} // namespace tetrapan::RecordingStretches
