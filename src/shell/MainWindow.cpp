#include "shell/MainWindow.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace tetrapan {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>())
{
    ui_->setupUi(this);
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        QWidget* slot = paneSlot(viewNo);
        auto* layout = new QVBoxLayout(slot);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        slot->setAutoFillBackground(true);
        QPalette palette = slot->palette();
        palette.setColor(QPalette::Window, Qt::black);
        slot->setPalette(palette);
    }
    // even panes until a stored or saved layout says otherwise
    ui_->spvMain->setSizes({1, 1});
    ui_->spvLeft->setSizes({1, 1});
    ui_->spvRight->setSizes({1, 1});
}

MainWindow::~MainWindow() = default;

QSplitter* MainWindow::spvMain() const { return ui_->spvMain; }
QSplitter* MainWindow::spvLeft() const { return ui_->spvLeft; }
QSplitter* MainWindow::spvRight() const { return ui_->spvRight; }
QAction* MainWindow::saveAction() const { return ui_->actionSave; }
QAction* MainWindow::quitAction() const { return ui_->actionQuit; }
QAction* MainWindow::undoAction() const { return ui_->actionUndo; }
QAction* MainWindow::redoAction() const { return ui_->actionRedo; }

QWidget* MainWindow::paneSlot(int viewNo) const
{
    switch (viewNo) {
    case 1: return ui_->paneSlot1;
    case 2: return ui_->paneSlot2;
    case 3: return ui_->paneSlot3;
    case 4: return ui_->paneSlot4;
    default: return nullptr;
    }
}

void MainWindow::setPane(int viewNo, QWidget* pane)
{
    QWidget* slot = paneSlot(viewNo);
    if (!slot || !pane)
        return;
    slot->layout()->addWidget(pane);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closeRequestHandler_ && !closeRequestHandler_()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace tetrapan
