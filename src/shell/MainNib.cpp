#include "shell/MainNib.h"

#include "platform/ObjectContext.h"
#include "shell/MainWindow.h"
#include "shell/Resources.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QUndoStack>

namespace tetrapan {

static MainWindow* makeMainWindow()
{
    initResources();
    return new MainWindow;
}

MainNib::MainNib(const NibServices& services)
    : services_(services), mainWindow_(makeMainWindow()),
      appDelegate_(std::make_unique<Tetrapan_AppDelegate>(services.settings, services.scheduler, services.dialogs))
{
    connectOutlets();
    awakeFromNib();
}

// The delegate goes before the window it serves: the window's close handler calls into it.
MainNib::~MainNib()
{
    mainWindow_->setCloseRequestHandler({});
    mainWindow_.reset();
    appDelegate_.reset();
}

void MainNib::connectOutlets()
{
    Tetrapan_AppDelegate* delegate = appDelegate_.get();
    MainWindow* window = mainWindow_.get();
    delegate->window = window;

    QObject::connect(window->saveAction(), &QAction::triggered, delegate, [delegate] { delegate->saveAction(); });
    QObject::connect(window->quitAction(), &QAction::triggered, delegate, [delegate] { delegate->terminate(); });
    window->setCloseRequestHandler([delegate] { return delegate->isTerminating() || delegate->terminate(); });

    QObject::connect(window->undoAction(), &QAction::triggered, delegate, [delegate, window] {
        if (QUndoStack* stack = delegate->windowWillReturnUndoManager(window))
            stack->undo();
    });
    QObject::connect(window->redoAction(), &QAction::triggered, delegate, [delegate, window] {
        if (QUndoStack* stack = delegate->windowWillReturnUndoManager(window))
            stack->redo();
    });
    QObject::connect(delegate, &Tetrapan_AppDelegate::libraryOpened, window,
                     [this](ObjectContext* context) { connectUndoActions(context); });
}

void MainNib::connectUndoActions(ObjectContext* context)
{
    QUndoStack* stack = context->undoManager();
    QAction* undo = mainWindow_->undoAction();
    QAction* redo = mainWindow_->redoAction();
    auto refresh = [stack, undo, redo] {
        undo->setEnabled(stack->canUndo());
        redo->setEnabled(stack->canRedo());
        undo->setText(stack->undoText().isEmpty() ? QStringLiteral("&Undo")
                                                  : QStringLiteral("&Undo %1").arg(stack->undoText()));
        redo->setText(stack->redoText().isEmpty() ? QStringLiteral("&Redo")
                                                  : QStringLiteral("&Redo %1").arg(stack->redoText()));
    };
    QObject::connect(stack, &QUndoStack::indexChanged, undo, refresh);
    QObject::connect(stack, &QUndoStack::canUndoChanged, undo, refresh);
    QObject::connect(stack, &QUndoStack::canRedoChanged, undo, refresh);
    refresh();
}

void MainNib::awakeFromNib()
{
    appDelegate_->awakeFromNib();
}

void MainNib::showWindows()
{
    mainWindow_->show();
}

} // namespace tetrapan
