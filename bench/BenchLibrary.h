#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"

#include <QString>

#include <functional>

// Large libraries written straight into records, so a benchmark measures reading, writing or starting
// with them, not building them.
namespace tetrapan::bench {

struct LibraryShape {
    int folders = 100;
    int playlistsPerFolder = 100;
    // Entries go to the playlists in order, four to a playlist (one per pane), until there are this many.
    int entries = 40000;
    // Every other folder (the first, the third, ...) was open when the library was last saved.
    // The movie file of pane viewNo of the playlist numbered playlist (from 0) in folder folder.
    std::function<QString(int folder, int playlist, int viewNo)> filePath;
};

RecordMap buildLibrary(const ObjectModel& model, const LibraryShape& shape);
QString eightDigits(int n);

} // namespace tetrapan::bench
