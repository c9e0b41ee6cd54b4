#pragma once

#include <memory>

namespace tetrapan {

class DialogPresenter;
class MainWindow;
class ObjectContext;
class Scheduler;
class SettingsDomain;
class Tetrapan_AppDelegate;

// What the objects of the application get from outside: the settings, the clock, the user's answers.
struct NibServices {
    SettingsDomain& settings;
    Scheduler& scheduler;
    DialogPresenter& dialogs;
};

// The composition root: builds every object of the application once, connects their outlets and then
// wakes them, in this order:
//   1. instantiate: application delegate, main window
//   2. connect outlets and menu commands
//   3. awakeFromNib: application delegate, main window
// The settings defaults must already be registered (Tetrapan_AppDelegate::setupDefaults) before the nib
// is loaded, because waking objects read settings.
class MainNib {
public:
    explicit MainNib(const NibServices& services);
    ~MainNib();
    MainNib(const MainNib&) = delete;
    MainNib& operator=(const MainNib&) = delete;

    Tetrapan_AppDelegate& appDelegate() { return *appDelegate_; }
    MainWindow& mainWindow() { return *mainWindow_; }

    void showWindows();

private:
    void connectOutlets();
    void connectUndoActions(ObjectContext* context);
    void awakeFromNib();

    NibServices services_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<Tetrapan_AppDelegate> appDelegate_;
};

} // namespace tetrapan
