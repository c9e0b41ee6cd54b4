#include "palette/HelpWindow.h"

#include <QFile>
#include <QShowEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tetrapan {

namespace {

const QString HelpResource = QStringLiteral(":/help/help.html");
// where the table of keys goes in the written text
const QString KeysPlace = QStringLiteral("<!-- keys -->");
constexpr QSize OpeningSize{640, 680};

QString readHelp()
{
    QFile file(HelpResource);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

HelpWindow::HelpWindow(QWidget* mainWindow)
    : AuxiliaryWindow(mainWindow, Qt::Window), text_(readHelp()), browser_(new QTextBrowser)
{
    setWindowTitle(QStringLiteral("Tetrapan Help"));
    setObjectName(QStringLiteral("helpWindow"));
    closeOnEscape();
    browser_->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(OpeningSize);
}

HelpWindow::~HelpWindow() = default;

QString HelpWindow::helpText() const
{
    QString text = text_;
    return text.replace(KeysPlace, shortcutList_.toHtml());
}

void HelpWindow::showEvent(QShowEvent* event)
{
    AuxiliaryWindow::showEvent(event);
    if (!event->spontaneous())
        browser_->setHtml(helpText());
}

} // namespace tetrapan
