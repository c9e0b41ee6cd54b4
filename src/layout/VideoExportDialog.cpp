#include "layout/VideoExportDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>

namespace tetrapan {

namespace {

// ExportSound::OnePane with the pane's index, or the other two kinds
constexpr int NoSound = -2;
constexpr int MixedSound = -1;

} // namespace

VideoExportDialog::VideoExportDialog(QSize panesShown, const std::array<bool, 4>& withMovie, QWidget* parent)
    : QDialog(parent), size_(new QComboBox(this)), rate_(new QComboBox(this)), format_(new QComboBox(this)),
      quality_(new QSlider(Qt::Horizontal, this)), sound_(new QComboBox(this)), labels_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Export Video"));
    size_->addItem(
        QStringLiteral("As in the window (%1 × %2)").arg(panesShown.width()).arg(panesShown.height()),
        QSize());
    for (const QSize& size : {QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160)})
        size_->addItem(QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()), size);
    size_->setCurrentIndex(size_->findData(ExportChoices::DefaultSize));
    rate_->addItem(QStringLiteral("The leading movie's"), 0.0);
    for (double rate : {23.976, 24.0, 25.0, 29.97, 30.0, 50.0, 60.0})
        rate_->addItem(QStringLiteral("%1 frames a second").arg(rate), rate);
    format_->addItem(QStringLiteral("MP4 (H.264, AAC)"), int(ExportFormat::Mp4));
    format_->addItem(QStringLiteral("WebM (VP9, Opus)"), int(ExportFormat::WebM));
    format_->addItem(QStringLiteral("Matroska (H.264, AAC)"), int(ExportFormat::Matroska));
    quality_->setRange(0, 100);
    quality_->setValue(ExportChoices().quality);
    quality_->setAccessibleName(QStringLiteral("Quality"));
    sound_->addItem(QStringLiteral("The panes heard, mixed"), MixedSound);
    for (int i = 0; i < 4; ++i) {
        if (withMovie[size_t(i)])
            sound_->addItem(QStringLiteral("Pane %1's").arg(i + 1), i);
    }
    sound_->addItem(QStringLiteral("None"), NoSound);
    labels_->addItem(QStringLiteral("None"), int(ExportLabels::None));
    labels_->addItem(QStringLiteral("Each pane's file name and time"), int(ExportLabels::NameAndTime));
    labels_->addItem(QStringLiteral("The time of day each pane was filmed"), int(ExportLabels::WallClock));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export…"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Size:"), size_);
    form->addRow(QStringLiteral("Frame rate:"), rate_);
    form->addRow(QStringLiteral("Format:"), format_);
    form->addRow(QStringLiteral("Quality:"), quality_);
    form->addRow(QStringLiteral("Sound:"), sound_);
    form->addRow(QStringLiteral("Labels:"), labels_);
    form->addRow(buttons);
}

ExportChoices VideoExportDialog::choices() const
{
    ExportChoices chosen;
    chosen.size = size_->currentData().toSize();
    chosen.framesPerSecond = rate_->currentData().toDouble();
    chosen.format = ExportFormat(format_->currentData().toInt());
    chosen.quality = quality_->value();
    const int sound = sound_->currentData().toInt();
    chosen.sound = sound == NoSound      ? ExportSound::None
                   : sound == MixedSound ? ExportSound::HeardPanes
                                         : ExportSound::OnePane;
    chosen.soundPane = std::max(sound, 0);
    chosen.labels = ExportLabels(labels_->currentData().toInt());
    return chosen;
}

} // namespace tetrapan
