#pragma once

#include <QString>

namespace tetrapan::GapClip {

// What a recording shows where no file recorded: black pictures in the files' own size and rate, and
// silence in their sound's rate, as short files the timeline repeats over the gap. A file, unlike a source
// the engine makes up as it plays, can be sought: a seek back into a gap already played through lands in
// it, and one into the middle of an hour's gap need not make every picture before it.
//
// Each is made once, the first time a gap of its kind is opened, and kept in `folder` for the next;
// meanwhile a file half made has a name of its own, so two made at once leave one whole file.

// How much of a gap one file covers; the file is a second longer, so the last frame is never missing.
constexpr qint64 LengthMs = 10000;

// $XDG_CACHE_HOME/Tetrapan/gaps.
QString standardFolder();

// The file's path, or "" with why in `error` when it cannot be made (a size the encoder refuses, a folder
// that cannot be written).
QString pictures(const QString& folder, int width, int height, const QString& frameRate, QString* error);
QString silence(const QString& folder, int sampleRate, int channels, QString* error);

} // namespace tetrapan::GapClip
