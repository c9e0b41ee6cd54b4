#pragma once

#include "export/ExportJob.h"
#include "platform/ObjectModel.h"
#include "shell/commandLine.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tetrapan {

class ObjectContext;
class SettingsDomain;

// An export made from the library and the settings alone, as File > Export Video… makes it from the window
// once the playlist is loaded: the playlist's entries, the panes' places between the dividers the window
// would show, the leader (the first pane with a movie) and the choices of the command line.
namespace exportFromLibrary {

// Why no export is made, and the exit status that tells it.
struct Refusal {
    static constexpr int NotFound = 2; // no such playlist, or nothing in it to export
    int status = 1;
    QString reason;
};

// The playlist the request names (--playlist), else the one the program shows at start (the row chosen at
// the last quit, with the folders opened as they were left). NoObject with the refusal when there is none.
ObjectId playlistOf(ObjectContext& library, const SettingsDomain& settings, const QString& title,
                    Refusal* refusal);

// Panes 1 (top left), 2 (bottom left), 3 (top right) and 4 (bottom right) in an output of `output` pixels,
// as the main window places them: by the playlist's frame set when frame sets load with a playlist, else by
// the dividers as the window was left, else evenly; the dividers between them are scaled with the panes.
std::array<QRect, 4> panePlaces(const SettingsDomain& settings, const QString& frameSet, QSize output);

// The export of the playlist. A pane whose file is missing stays empty, as the window leaves it (`notes`
// says so); none without a movie to export, with the refusal.
std::optional<ExportJob> jobFor(ObjectContext& library, const SettingsDomain& settings, ObjectId playlist,
                                const commandLine::ExportRequest& request, Refusal* refusal,
                                QStringList* notes);

} // namespace exportFromLibrary
} // namespace tetrapan
