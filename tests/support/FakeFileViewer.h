#pragma once

#include "platform/FileViewer.h"

#include <QStringList>

namespace tetrapan::test {

// Notes the files it was asked to show instead of opening a file manager.
class FakeFileViewer final : public FileViewer {
public:
    void selectFile(const QString& path) override { shownFiles.append(path); }

    QStringList shownFiles;
};

} // namespace tetrapan::test
