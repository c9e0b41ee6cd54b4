#pragma once

#include "export/ExportJob.h"

#include <QDialog>

#include <array>

class QComboBox;
class QSlider;

namespace tetrapan {

// File > Export Video…'s options.
class VideoExportDialog final : public QDialog {
    Q_OBJECT
public:
    // `panesShown` is the panes' size in the window; `withMovie` says which panes have one.
    VideoExportDialog(QSize panesShown, const std::array<bool, 4>& withMovie, QWidget* parent);

    ExportChoices choices() const;

private:
    QComboBox* size_;
    QComboBox* rate_;
    QComboBox* format_;
    QSlider* quality_;
    QComboBox* sound_;
    QComboBox* labels_;
};

} // namespace tetrapan
