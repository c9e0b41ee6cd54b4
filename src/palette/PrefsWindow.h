#pragma once

#include "palette/AuxiliaryWindow.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace tetrapan {

class SettingsDomain;

// The preferences window. Its controls are bound to settings: an edit writes the setting through at once
// (the panes hear a new volume while the slider moves), and a setting changed by anyone else shows in its
// control. Volume comes first and large, because it starts at 0 % and movies stay silent until it is raised.
class PrefsWindow : public AuxiliaryWindow {
    Q_OBJECT
public:
    static constexpr double MinimumSkipTime = 0.1;
    static constexpr double MaximumSkipTime = 3600.0;

    PrefsWindow(QWidget* mainWindow, SettingsDomain& settings);
    ~PrefsWindow() override;

    QSlider* volumeSlider() const { return volumeSlider_; }
    QLabel* volumeHint() const { return volumeHint_; }
    QDoubleSpinBox* skipTimeBox() const { return skipTimeBox_; }
    QCheckBox* loadFrameSetBox() const { return loadFrameSetBox_; }
    QSpinBox* fontSizeBox() const { return fontSizeBox_; }
    // A page beside the general one (the commands' keys), owned by the window from now on.
    void addPage(QWidget* page, const QString& title);
    QTabWidget* pages() const { return pages_; }

private:
    void observeValueForKeyPath(const QString& key);
    void showVolume();

    SettingsDomain& settings_;
    QSlider* volumeSlider_;
    QLabel* volumeText_;
    QLabel* volumeHint_;
    QDoubleSpinBox* skipTimeBox_;
    QCheckBox* loadFrameSetBox_;
    QSpinBox* fontSizeBox_;
    QTabWidget* pages_;
};

} // namespace tetrapan
