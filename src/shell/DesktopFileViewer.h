#pragma once

#include "platform/FileViewer.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QUrl;

namespace tetrapan {

class DialogPresenter;

// Asks the session's file manager over D-Bus (org.freedesktop.FileManager1.ShowItems) to show the file
// selected; when no file manager answers, the containing folder is opened instead, and when nothing opens
// that either, the user is told so and where the file is. The question is asked without waiting, so a file
// manager that is slow to start does not hold the program up.
class DesktopFileViewer final : public QObject, public FileViewer {
    Q_OBJECT
public:
    // Opens a folder with the desktop's own program for it; false when none could be started.
    using FolderOpener = std::function<bool(const QUrl& folder)>;

    // The session bus and the desktop's folder opener unless others are given.
    explicit DesktopFileViewer(DialogPresenter& dialogs, QObject* parent = nullptr);
    DesktopFileViewer(DialogPresenter& dialogs, const QDBusConnection& bus, FolderOpener openFolder,
                      QObject* parent = nullptr);
    ~DesktopFileViewer() override;

    void selectFile(const QString& path) override;

private:
    void openContainingFolder(const QString& path);

    DialogPresenter& dialogs_;
    QDBusConnection bus_;
    FolderOpener openFolder_;
};

} // namespace tetrapan
