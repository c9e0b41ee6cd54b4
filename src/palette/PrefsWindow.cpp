#include "palette/PrefsWindow.h"

#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "widgets/ListFontSize.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {

const QString OptPlayVolume = QLatin1String(QTMovieSubView::OptPlayVolume);
const QString OptSkipTime = QLatin1String(QTMovieSubView::OptSkipTime);
const QString OptLoadFrameSet = QLatin1String(MovController::OptLoadFrameSet);
const QString OptFontSizeList = QLatin1String(listFontSize::OptFontSizeList);

constexpr int VolumeSteps = 100;
constexpr int VolumeSliderWidth = 260;

int volumePercent(float volume)
{
    return static_cast<int>(std::lround(std::clamp(static_cast<double>(volume), 0.0, 1.0) * VolumeSteps));
}

} // namespace

PrefsWindow::PrefsWindow(QWidget* mainWindow, SettingsDomain& settings)
    : AuxiliaryWindow(mainWindow, Qt::Dialog), settings_(settings),
      volumeSlider_(new QSlider(Qt::Horizontal)), volumeText_(new QLabel), volumeHint_(new QLabel),
      skipTimeBox_(new QDoubleSpinBox),
      loadFrameSetBox_(new QCheckBox(QStringLiteral("Restore a playlist's frame set when it is loaded"))),
      fontSizeBox_(new QSpinBox), pages_(new QTabWidget)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("prefsWindow"));
    closeOnEscape();

    volumeSlider_->setRange(0, VolumeSteps);
    volumeSlider_->setPageStep(10);
    volumeSlider_->setMinimumWidth(VolumeSliderWidth);
    volumeSlider_->setAccessibleName(QStringLiteral("Volume"));
    volumeSlider_->setToolTip(QStringLiteral("The volume of every movie"));
    QFont large = volumeText_->font();
    large.setBold(true);
    volumeText_->setFont(large);
    volumeText_->setMinimumWidth(volumeText_->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    volumeHint_->setText(QStringLiteral("At 0 % every movie plays silently. Raise the volume to hear them."));
    volumeHint_->setWordWrap(true);
    // the window keeps its size when the hint goes
    QSizePolicy hintPolicy = volumeHint_->sizePolicy();
    hintPolicy.setRetainSizeWhenHidden(true);
    volumeHint_->setSizePolicy(hintPolicy);

    skipTimeBox_->setRange(MinimumSkipTime, MaximumSkipTime);
    skipTimeBox_->setDecimals(1);
    skipTimeBox_->setSingleStep(1.0);
    skipTimeBox_->setSuffix(QStringLiteral(" seconds"));
    skipTimeBox_->setAccessibleName(QStringLiteral("Skip step"));
    skipTimeBox_->setToolTip(
        QStringLiteral("How far the skip buttons and the Left and Right keys move the movies"));

    loadFrameSetBox_->setToolTip(
        QStringLiteral("When a playlist with a saved frame set is chosen, its divider positions come back"));

    fontSizeBox_->setRange(listFontSize::Minimum, listFontSize::Maximum);
    fontSizeBox_->setSuffix(QStringLiteral(" pt"));
    fontSizeBox_->setAccessibleName(QStringLiteral("List text size"));
    fontSizeBox_->setToolTip(QStringLiteral("The text size of the playlists and of the file list"));

    auto* sound = new QGroupBox(QStringLiteral("Sound"));
    auto* volumeRow = new QHBoxLayout;
    volumeRow->addWidget(volumeSlider_, 1);
    volumeRow->addWidget(volumeText_);
    auto* soundLayout = new QVBoxLayout(sound);
    auto* volumeLabel = new QLabel(QStringLiteral("&Volume of the movies:"));
    volumeLabel->setBuddy(volumeSlider_);
    soundLayout->addWidget(volumeLabel);
    soundLayout->addLayout(volumeRow);
    soundLayout->addWidget(volumeHint_);

    auto* playback = new QGroupBox(QStringLiteral("Playback"));
    auto* playbackLayout = new QFormLayout(playback);
    playbackLayout->addRow(QStringLiteral("&Skip step:"), skipTimeBox_);
    playbackLayout->addRow(loadFrameSetBox_);

    auto* lists = new QGroupBox(QStringLiteral("Playlist window"));
    auto* listsLayout = new QFormLayout(lists);
    listsLayout->addRow(QStringLiteral("&Text size of the lists:"), fontSizeBox_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto* general = new QWidget;
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(sound);
    generalLayout->addWidget(playback);
    generalLayout->addWidget(lists);
    generalLayout->addStretch();
    pages_->addTab(general, QStringLiteral("&General"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
    // the window has the size its controls give it, also before it is first shown, when its place is
    // restored
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();

    for (const QString& key : {OptPlayVolume, OptSkipTime, OptLoadFrameSet, OptFontSizeList})
        observeValueForKeyPath(key);
    connect(&settings_, &SettingsDomain::valueChanged, this, &PrefsWindow::observeValueForKeyPath);

    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int percent) {
        userDefaultsExtension::setDefaultFloatValue(settings_, static_cast<float>(percent) / VolumeSteps,
                                                    OptPlayVolume);
    });
    connect(skipTimeBox_, &QDoubleSpinBox::valueChanged, this, [this](double seconds) {
        userDefaultsExtension::setDefaultFloatValue(settings_, static_cast<float>(seconds), OptSkipTime);
    });
    connect(loadFrameSetBox_, &QCheckBox::toggled, this, [this](bool load) {
        userDefaultsExtension::setDefaultBoolValue(settings_, load, OptLoadFrameSet);
    });
    connect(fontSizeBox_, &QSpinBox::valueChanged, this, [this](int points) {
        userDefaultsExtension::setDefaultIntValue(settings_, points, OptFontSizeList);
    });
}

PrefsWindow::~PrefsWindow() = default;

void PrefsWindow::addPage(QWidget* page, const QString& title)
{
    pages_->addTab(page, title);
    adjustSize();
}

void PrefsWindow::observeValueForKeyPath(const QString& key)
{
    // showing a setting is not editing it: nothing is written back
    if (key == OptPlayVolume) {
        showVolume();
    } else if (key == OptSkipTime) {
        // the value being typed, shown again, would be written over under the cursor ("2" made "2.0" before
        // the ".5" comes)
        const double stored = userDefaultsExtension::defaultFloatValue(settings_, key);
        if (std::abs(skipTimeBox_->value() - stored) < 0.05)
            return;
        const QSignalBlocker quiet(skipTimeBox_);
        skipTimeBox_->setValue(stored);
    } else if (key == OptLoadFrameSet) {
        const QSignalBlocker quiet(loadFrameSetBox_);
        loadFrameSetBox_->setChecked(userDefaultsExtension::defaultBoolValue(settings_, key));
    } else if (key == OptFontSizeList) {
        const QSignalBlocker quiet(fontSizeBox_);
        fontSizeBox_->setValue(userDefaultsExtension::defaultIntValue(settings_, key));
    }
}

void PrefsWindow::showVolume()
{
    const int percent = volumePercent(userDefaultsExtension::defaultFloatValue(settings_, OptPlayVolume));
    {
        const QSignalBlocker quiet(volumeSlider_);
        volumeSlider_->setValue(percent);
    }
    volumeText_->setText(QStringLiteral("%1 %").arg(percent));
    volumeSlider_->setAccessibleDescription(QStringLiteral("%1 percent").arg(percent));
    volumeHint_->setVisible(percent == 0);
}

} // namespace tetrapan
