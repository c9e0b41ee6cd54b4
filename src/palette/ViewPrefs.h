#pragma once

#include <QObject>

class QWidget;

namespace tetrapan {

class AuxiliaryWindow;
class SettingsDomain;

// The controller of the preferences and help windows: it opens each on request and keeps each one's place
// across runs (its size stays its own). Neither opens at start.
class ViewPrefs : public QObject {
    Q_OBJECT
public:
    static constexpr const char* RectWindowPrefs = "rectWindowPrefs";
    static constexpr const char* RectWindowHelp = "rectWindowHelp";

    explicit ViewPrefs(SettingsDomain& settings, QObject* parent = nullptr);
    ~ViewPrefs() override;

    // outlets
    AuxiliaryWindow* prefsWindow = nullptr;
    AuxiliaryWindow* helpWindow = nullptr;
    // the window the other two open over the first time ever
    QWidget* mainWindow = nullptr;

    // Puts each window where it was last and starts following their closing.
    void awakeFromNib();

    // An open window only comes to the front.
    void openPrefsWindow(QObject* sender = nullptr);
    void openHelpWindow(QObject* sender = nullptr);
    // Stores the frame of the window that is closing, if it is one of the two.
    void windowWillClose(QWidget* window);
    // Quitting does not close windows: an open window's place is stored now.
    void applicationWillTerminate();

private:
    void openWindow(AuxiliaryWindow* window, const char* key);
    const char* rectKeyOf(const QWidget* window) const;

    SettingsDomain& settings_;
    bool awake_ = false;
};

} // namespace tetrapan
