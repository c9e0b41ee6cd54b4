#include "palette/ViewPrefs.h"

#include "palette/AuxiliaryWindow.h"
#include "platform/SettingsDomain.h"
#include "widgets/userDefaultsViewState.h"

namespace tetrapan {

ViewPrefs::ViewPrefs(SettingsDomain& settings, QObject* parent) : QObject(parent), settings_(settings) {}

ViewPrefs::~ViewPrefs() = default;

void ViewPrefs::awakeFromNib()
{
    if (awake_)
        return;
    awake_ = true;
    userDefaultsExtension::setWindowPosition(settings_, prefsWindow, QLatin1String(RectWindowPrefs));
    userDefaultsExtension::setWindowPosition(settings_, helpWindow, QLatin1String(RectWindowHelp));
    for (AuxiliaryWindow* window : {prefsWindow, helpWindow}) {
        if (window)
            connect(window, &AuxiliaryWindow::windowWillClose, this,
                    [this, window] { windowWillClose(window); });
    }
}

void ViewPrefs::openPrefsWindow(QObject*)
{
    openWindow(prefsWindow, RectWindowPrefs);
}

void ViewPrefs::openHelpWindow(QObject*)
{
    openWindow(helpWindow, RectWindowHelp);
}

void ViewPrefs::openWindow(AuxiliaryWindow* window, const char* key)
{
    if (!window)
        return;
    // the first time ever the window opens over the main window, not wherever the window manager likes
    // (a window that was ever open has stored its place when it closed)
    if (!window->isVisible() && mainWindow && !settings_.hasStoredValue(QLatin1String(key)))
        window->centreOver(*mainWindow);
    window->orderFront(true);
}

const char* ViewPrefs::rectKeyOf(const QWidget* window) const
{
    if (!window)
        return nullptr;
    if (window == prefsWindow)
        return RectWindowPrefs;
    if (window == helpWindow)
        return RectWindowHelp;
    return nullptr;
}

void ViewPrefs::windowWillClose(QWidget* window)
{
    if (const char* key = rectKeyOf(window))
        userDefaultsExtension::saveWindowRect(settings_, window, QLatin1String(key));
}

void ViewPrefs::applicationWillTerminate()
{
    for (AuxiliaryWindow* window : {prefsWindow, helpWindow}) {
        if (window && window->isVisible())
            windowWillClose(window);
    }
}

} // namespace tetrapan
