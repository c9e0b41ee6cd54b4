#pragma once

#include "platform/StoreError.h"

#include <QString>
#include <QStringList>

namespace tetrapan {

// A modal question to the user: an icon by image name, a message, an optional informative text and the
// buttons in order (the first is the default); details, when given, are shown on request (which file, why).
struct AlertRequest {
    QString iconName;
    QString messageText;
    QString informativeText;
    QStringList buttons;
    QString detailedText;
    // A choice under the text that the user ticks or not (a check box), when given: it starts as `chosen`
    // says and holds the user's answer afterwards.
    QString choiceText;
    bool* chosen = nullptr;
};

struct OpenPanelRequest {
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool treatsPackagesAsDirectories = false;
    bool resolvesAliases = true;
    QString directory;
    // Offered as one "Movies" filter beside "All files"; none: every file is shown.
    QStringList mimeTypes;
};

struct SavePanelRequest {
    QString title;
    QString directory;
    QString fileName;
    // The kind of file saved, as "Library files (*.xml)", and the extension a name typed without one gets.
    QString nameFilter = QStringLiteral("Library files (*.xml)");
    QString defaultSuffix = QStringLiteral("xml");
};

// Everything that waits for the user's answer goes through here, so tests can answer in the user's place.
class DialogPresenter {
public:
    static constexpr int FirstButton = 1000;

    virtual ~DialogPresenter() = default;
    // Returns FirstButton for the first button, FirstButton + 1 for the second, and so on.
    virtual int runAlert(const AlertRequest& request) = 0;
    // The chosen paths in the panel's order; empty when cancelled.
    virtual QStringList runOpenPanel(const OpenPanelRequest& request) = 0;
    // The chosen path, the user having agreed to replace a file already there; empty when cancelled.
    virtual QString runSavePanel(const SavePanelRequest& request) = 0;
    // Shows a library error; true when the presentation resolved it (it never does here).
    virtual bool presentError(const StoreError& error) = 0;
};

} // namespace tetrapan
