#pragma once

#include <QString>

namespace tetrapan {

// The desktop's file manager, asked to show a file selected in its folder. Tests put a recorder in its
// place so nothing opens on the desktop.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    virtual void selectFile(const QString& path) = 0;
};

} // namespace tetrapan
