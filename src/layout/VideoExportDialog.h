#pragma once

#include "export/ExportJob.h"

#include <QDialog>

#include <array>

class QComboBox;
class QSlider;

namespace tetrapan {

// What the user chooses for an export; the rest (the movies, their places, offsets and range) comes from
// what the window shows.
struct ExportChoices {
    QSize size;                 // empty: the panes' size in the window
    double framesPerSecond = 0; // 0: the leader's
    ExportFormat format = ExportFormat::Mp4;
    int quality = 70;
    ExportSound sound = ExportSound::HeardPanes;
    int soundPane = 0;
    ExportLabels labels = ExportLabels::None;
};

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
