#pragma once

#include "palette/AuxiliaryWindow.h"
#include "palette/ShortcutList.h"

class QTextBrowser;

namespace tetrapan {

// The help window: what each window is for, what the mouse does, and every key of the program. The keys
// are read from the windows' own commands whenever the window opens, so the table cannot fall behind them.
class HelpWindow : public AuxiliaryWindow {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* mainWindow);
    ~HelpWindow() override;

    ShortcutList& shortcutList() { return shortcutList_; }
    QTextBrowser* browser() const { return browser_; }
    // The help as it reads now: the written text with the table of keys in its place.
    QString helpText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString text_;
    ShortcutList shortcutList_;
    QTextBrowser* browser_;
};

} // namespace tetrapan
