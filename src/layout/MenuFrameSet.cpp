#include "layout/MenuFrameSet.h"

#include "layout/ViewMain.h"
#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "panes/MenuLine.h"
#include "platform/ObjectContext.h"

#include <QHash>

namespace tetrapan {

MenuFrameSet::MenuFrameSet(QWidget* parent) : QMenu(parent)
{
    setTitle(QStringLiteral("Frame &Set"));
}

MenuFrameSet::~MenuFrameSet() = default;

void MenuFrameSet::awakeFromNib()
{
    if (awake_)
        return;
    awake_ = true;
    connect(this, &QMenu::aboutToShow, this, &MenuFrameSet::menuNeedsUpdate);
}

void MenuFrameSet::menuNeedsUpdate()
{
    setMenuItem();
}

QStringList MenuFrameSet::createMenuArray()
{
    return {
        QStringLiteral("Load,loadFramePosition:,1,load"),
        QStringLiteral("Save,saveFramePosition:,1,save"),
        QStringLiteral("Remove,removeFramePosition:,1,remove"),
        QStringLiteral("-,,,"),
        QStringLiteral("Reset,resetFramePosition:,0,reset"),
    };
}

MenuFrameSet::Action MenuFrameSet::actionNamed(const QString& name)
{
    static const QHash<QString, Action> actions{
        {QStringLiteral("loadFramePosition:"), &MenuFrameSet::loadFramePosition},
        {QStringLiteral("saveFramePosition:"), &MenuFrameSet::saveFramePosition},
        {QStringLiteral("removeFramePosition:"), &MenuFrameSet::removeFramePosition},
        {QStringLiteral("resetFramePosition:"), &MenuFrameSet::resetFramePosition},
        {QStringLiteral("nullAction:"), &MenuFrameSet::nullAction},
    };
    return actions.value(name, nullptr);
}

void MenuFrameSet::setMenuItem()
{
    QString text;
    bool editable = false;
    const ObjectId playlist =
        tbArrayController ? tbArrayController->getSelectedObject(LibrarySchema::Playlist) : NoObject;
    const ObjectContext* context =
        tbArrayController ? tbArrayController->getManagedObjectContext(LibrarySchema::Playlist) : nullptr;
    if (playlist != NoObject && context) {
        text = context->value(playlist, LibrarySchema::FrameSet).toString();
        editable = !context->value(playlist, LibrarySchema::IsFolder).toBool();
    }
    const bool empty = text.isEmpty();

    clear();
    for (const QString& definition : createMenuArray()) {
        const MenuLine line = MenuLine::parse(definition);
        if (line.isSeparator()) {
            addSeparator();
            continue;
        }
        Action action = actionNamed(line.action);
        if (!editable && line.key != QLatin1String("reset"))
            action = nullptr;
        if ((line.key == QLatin1String("load") || line.key == QLatin1String("remove")) && empty)
            action = nullptr;
        QAction* item = addAction(line.title);
        item->setEnabled(action != nullptr);
        item->setData(line.tag.toInt());
        if (action)
            connect(item, &QAction::triggered, this, [this, item, action] { (this->*action)(item); });
    }
}

void MenuFrameSet::loadFramePosition(QAction*)
{
    if (viewMain)
        viewMain->loadFramePosition(nullptr);
}

void MenuFrameSet::saveFramePosition(QAction*)
{
    if (viewMain)
        viewMain->saveFramePosition(nullptr);
}

void MenuFrameSet::removeFramePosition(QAction*)
{
    if (viewMain)
        viewMain->removeFramePosition(nullptr);
}

void MenuFrameSet::resetFramePosition(QAction*)
{
    if (viewMain)
        viewMain->maximizeSplitViewFrame(0);
}

void MenuFrameSet::nullAction(QAction*) {}

} // namespace tetrapan
