#pragma once

#include "platform/FileViewer.h"

#include <QObject>

namespace tetrapan {

// Asks the session's file manager over D-Bus (org.freedesktop.FileManager1.ShowItems) to show the file
// selected; when no file manager answers, the containing folder is opened instead. The question is asked
// without waiting, so a file manager that is slow to start does not hold the program up.
class DesktopFileViewer final : public QObject, public FileViewer {
    Q_OBJECT
public:
    explicit DesktopFileViewer(QObject* parent = nullptr);
    ~DesktopFileViewer() override;

    void selectFile(const QString& path) override;

    static void openContainingFolder(const QString& path);
};

} // namespace tetrapan
