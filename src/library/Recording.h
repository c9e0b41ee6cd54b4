#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace tetrapan {

// What a file's header tells of its tracks, as far as joining it to its neighbours goes: read when the file
// is listed, so that opening a recording of thousands of files need not read every header a second time.
struct RecordingTracks {
    bool known = false; // read from the header; otherwise the engine reads it
    bool hasSound = false;
    int soundTracks = 0;
    int width = 0;
    int height = 0;
    QString frameRate; // frames per second as a fraction ("25", "30000/1001"); empty when not known
    int sampleRate = 0;
    int channels = 0;
};

// One file of a recording, placed on the wall clock (milliseconds since the epoch, UTC).
struct RecordingPiece {
    QString path;
    qint64 startMs = 0;  // where the file's first frame stands on the wall clock
    qint64 lengthMs = 0; // how much of the file plays: its length, less what a later file overlaps
    RecordingTracks tracks;
    bool gone = false; // found unreadable (gone since it was listed) as it was opened: its stretch is a gap
};

// A span of the wall clock, [fromMs, toMs).
struct WallSpan {
    qint64 fromMs = 0;
    qint64 toMs = 0;

    bool operator==(const WallSpan&) const = default;
};

// A movie made of many files: a camera's folder of minute-long files (or a chosen list of them) played as one
// movie. Its time 0 stands at startMs() on the wall clock; stretches no file covers are gaps, shown black.
struct Recording {
    QString folder;          // the folder it was listed from; empty for a chosen list of files
    QStringList chosenFiles; // the chosen files; empty for a folder
    QString camera;          // the camera's name within a camera folder; empty otherwise
    QVector<RecordingPiece> pieces; // by start; no two overlap
    QStringList skipped;     // files left out, each as "name: why"
    QStringList overlaps;    // files another one cut short, each as "name: why"
    qint64 bytes = 0;        // the sizes of the pieces' files added up

    bool isEmpty() const { return pieces.isEmpty(); }
    qint64 startMs() const { return pieces.isEmpty() ? 0 : pieces.first().startMs; }
    qint64 endMs() const { return pieces.isEmpty() ? 0 : pieces.last().startMs + pieces.last().lengthMs; }
    qint64 lengthMs() const { return endMs() - startMs(); }
    // The stretches between startMs() and endMs() that no piece covers, or only a piece that is gone.
    QVector<WallSpan> gaps() const
    {
        QVector<WallSpan> found;
        const auto add = [&found](qint64 from, qint64 to) {
            if (to <= from)
                return;
            if (!found.isEmpty() && found.last().toMs >= from)
                found.last().toMs = std::max(found.last().toMs, to);
            else
                found.append({from, to});
        };
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                add(pieces[i - 1].startMs + pieces[i - 1].lengthMs, pieces[i].startMs);
            if (pieces[i].gone)
                add(pieces[i].startMs, pieces[i].startMs + pieces[i].lengthMs);
        }
        return found;
    }
};

} // namespace tetrapan

Q_DECLARE_METATYPE(tetrapan::Recording)
