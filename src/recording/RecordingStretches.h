#pragma once

#include "library/Recording.h"

#include <QVector>

namespace tetrapan {

// One stretch of a recording's time line: a file playing, or a gap.
struct RecordingStretch {
    int piece = -1;    // index into the recording's pieces; -1 for a gap or a file that cannot be read
    qint64 fromMs = 0; // from the recording's start
    qint64 lengthMs = 0;
};

// A recording's time line as it plays, the same wherever it is played or exported: its files in turn, each
// for its played length, with the stretches no file covers between them.
namespace RecordingStretches {

// Gaps shorter than this play on the previous file, whose last picture stays until the next file's first: a
// black picture there would flash at a boundary that is no gap but the clocks' rounding.
constexpr qint64 MergedGapMs = 500;

// readable[i] says whether pieces[i] can be read; one that cannot plays as a gap. No stretch is empty, and
// their lengths add up to the recording's.
QVector<RecordingStretch> of(const Recording& recording, const QVector<bool>& readable);

} // namespace RecordingStretches
} // namespace tetrapan
