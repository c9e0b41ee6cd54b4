#pragma once

#include <QMainWindow>

#include <functional>

class QSplitter;

namespace Ui {
class MainWindow;
}

namespace tetrapan {

// The window of the four panes: pane 1 top left, 2 bottom left, 3 top right, 4 bottom right, in three
// nested splitters. Closing it is a request to quit, decided by the application delegate.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QSplitter* spvMain() const;
    QSplitter* spvLeft() const;
    QSplitter* spvRight() const;
    // The place pane viewNo (1 to 4) fills.
    QWidget* paneSlot(int viewNo) const;
    // Puts a pane into its slot, filling it.
    void setPane(int viewNo, QWidget* pane);

    QAction* saveAction() const;
    QAction* quitAction() const;
    QAction* undoAction() const;
    QAction* redoAction() const;

    // Asked when the user closes the window; the window closes only when it answers true.
    void setCloseRequestHandler(std::function<bool()> handler) { closeRequestHandler_ = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui_;
    std::function<bool()> closeRequestHandler_;
};

} // namespace tetrapan
