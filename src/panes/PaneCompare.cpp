#include "panes/PaneCompare.h"

#include "engine/MovieView.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <array>

namespace tetrapan {

namespace {

struct KindName {
    CompareKind kind;
    const char* stored;
    const char* title;
};
constexpr std::array<KindName, 4> Kinds{{{CompareKind::Wipe, "wipe", "&Wipe"},
                                         {CompareKind::Blend, "blend", "&Blend"},
                                         {CompareKind::Difference, "difference", "&Difference"},
                                         {CompareKind::Flip, "flip", "&Flip"}}};
constexpr std::array<int, 3> Factors{1, 4, 16};

std::optional<double> numberIn(const QVariantMap& map, const char* key, double lowest, double highest)
{
    const QVariant value = map.value(QLatin1String(key));
    const int type = value.typeId();
    if (type != QMetaType::Double && type != QMetaType::Int && type != QMetaType::LongLong)
        return std::nullopt;
    const double number = value.toDouble();
    return number >= lowest && number <= highest ? std::optional(number) : std::nullopt;
}

std::optional<bool> boolIn(const QVariantMap& map, const char* key)
{
    const QVariant value = map.value(QLatin1String(key));
    return value.typeId() == QMetaType::Bool ? std::optional(value.toBool()) : std::nullopt;
}

} // namespace

PaneCompare::PaneCompare(MovController& panes, SettingsDomain& settings, Scheduler& scheduler,
                         QObject* parent)
    : QObject(parent), panes_(panes), settings_(settings), scheduler_(scheduler)
{
    restore();
    connect(&panes, &MovController::allMovieViewsChanged, this, &PaneCompare::playlistChanged);
    // A compared pane emptied on its own (its menu's Remove, a file that would not open) ends the
    // comparison: the other pane would be drawn against the last pictures of a movie that is gone. A load's
    // panes are judged once it ends (playlistChanged).
    connect(&panes, &MovController::playButtonEnabledNeedsRefresh, this, [this] {
        if (comparing_ && !panes_.isLoading() && (!holdsMovie(a_) || !holdsMovie(b_)))
            leave();
    });
}

PaneCompare::~PaneCompare()
{
    scheduler_.cancel(hideNote_);
    watchPaneA(false);
}

void PaneCompare::restore()
{
    const QVariantMap stored = settings_.objectForKey(QLatin1String(CompareStateKey)).toMap();
    const CompareSettings defaults;
    const auto pane = [&](const char* key, int fallback) {
        return static_cast<int>(numberIn(stored, key, 1, MovController::PaneCount).value_or(fallback));
    };
    a_ = pane("a", 1);
    b_ = pane("b", 2);
    if (a_ == b_)
        a_ = 1, b_ = 2;
    resume_ = boolIn(stored, "comparing").value_or(false);
    const QString kind = stored.value(QStringLiteral("kind")).toString();
    for (const KindName& name : Kinds) {
        if (kind == QLatin1String(name.stored))
            mode_.kind = name.kind;
    }
    mode_.wipeAt = numberIn(stored, "wipeAt", 0, 1).value_or(defaults.wipeAt);
    mode_.wipeVertical = boolIn(stored, "wipeVertical").value_or(defaults.wipeVertical);
    mode_.opacity = numberIn(stored, "opacity", 0, 1).value_or(defaults.opacity);
    const int factor = static_cast<int>(numberIn(stored, "factor", 1, 16).value_or(defaults.factor));
    mode_.factor = std::find(Factors.begin(), Factors.end(), factor) != Factors.end() ? factor : 1;
}

void PaneCompare::store()
{
    QString kind;
    for (const KindName& name : Kinds) {
        if (name.kind == mode_.kind)
            kind = QLatin1String(name.stored);
    }
    settings_.setObject(QVariantMap{{QStringLiteral("comparing"), comparing_},
                                    {QStringLiteral("a"), a_},
                                    {QStringLiteral("b"), b_},
                                    {QStringLiteral("kind"), kind},
                                    {QStringLiteral("wipeAt"), mode_.wipeAt},
                                    {QStringLiteral("wipeVertical"), mode_.wipeVertical},
                                    {QStringLiteral("opacity"), mode_.opacity},
                                    {QStringLiteral("factor"), mode_.factor}},
                        QLatin1String(CompareStateKey));
}

void PaneCompare::addMenuItems(QMenu& view, QWidget& window)
{
    window_ = &window;
    view.addSeparator();
    comparePanes_ = view.addAction(QStringLiteral("Com&pare Panes…"));
    comparePanes_->setCheckable(true);
    comparePanes_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    connect(comparePanes_, &QAction::triggered, this, [this] {
        if (comparing_)
            leave();
        else
            chooseAndCompare();
        comparePanes_->setChecked(comparing_);
    });
    QMenu* menu = view.addMenu(QStringLiteral("Compa&re"));
    kinds_ = new QActionGroup(this);
    for (const KindName& name : Kinds) {
        QAction* item = menu->addAction(QLatin1String(name.title));
        item->setCheckable(true);
        item->setData(static_cast<int>(name.kind));
        kinds_->addAction(item);
        connect(item, &QAction::triggered, this, [this, kind = name.kind] { setKind(kind); });
    }
    menu->addSeparator();
    const auto add = [&](const char* title, const char* key, void (PaneCompare::*slot)()) {
        QAction* item = menu->addAction(QLatin1String(title));
        item->setShortcut(QKeySequence(QLatin1String(key)));
        connect(item, &QAction::triggered, this, slot);
        modeActions_ << item;
        return item;
    };
    add("Switch Wipe &Direction", "Ctrl+Alt+W", &PaneCompare::switchWipeDirection);
    QAction* more = menu->addAction(QStringLiteral("&More Opacity"));
    more->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+Up")));
    connect(more, &QAction::triggered, this, [this] { changeOpacity(OpacityStep); });
    QAction* less = menu->addAction(QStringLiteral("&Less Opacity"));
    less->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+Down")));
    connect(less, &QAction::triggered, this, [this] { changeOpacity(-OpacityStep); });
    modeActions_ << more << less;
    add("Difference &Factor", "Ctrl+Alt+D", &PaneCompare::nextFactor);
    add("Flip &Now", "Ctrl+Alt+F", &PaneCompare::flip);
    escape_ = new QAction(QStringLiteral("Leave Compare"), this);
    escape_->setShortcut(QKeySequence(Qt::Key_Escape));
    escape_->setShortcutContext(Qt::WindowShortcut);
    window.addAction(escape_);
    connect(escape_, &QAction::triggered, this, &PaneCompare::leave);
    // as the menus' other keys, these work in every window of the program
    for (QAction* item : QList<QAction*>{comparePanes_} + modeActions_) {
        item->setShortcutContext(Qt::ApplicationShortcut);
        window.addAction(item);
    }
    // full screen, Escape leaves full screen first: two actions on one key would both be refused
    window.installEventFilter(this);
    apply();
}

QAction* PaneCompare::kindAction(CompareKind kind) const
{
    if (!kinds_)
        return nullptr;
    for (QAction* item : kinds_->actions()) {
        if (item->data().toInt() == static_cast<int>(kind))
            return item;
    }
    return nullptr;
}

MovieView* PaneCompare::viewOf(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return pane ? pane->movieView() : nullptr;
}

bool PaneCompare::holdsMovie(int viewNo) const
{
    const MovieView* view = viewOf(viewNo);
    return view && view->movie();
}

bool PaneCompare::canCompare(int a, int b) const
{
    return a != b && holdsMovie(a) && holdsMovie(b) && !(comparing_ && a == a_ && b == b_);
}

bool PaneCompare::compare(int a, int b)
{
    if (a == b || !holdsMovie(a) || !holdsMovie(b))
        return false;
    a_ = a;
    b_ = b;
    comparing_ = true;
    resume_ = false;
    apply();
    return true;
}

void PaneCompare::leave()
{
    resume_ = false;
    if (!comparing_)
        return;
    comparing_ = false;
    apply();
}

void PaneCompare::setKind(CompareKind kind)
{
    mode_.kind = kind;
    apply();
}

void PaneCompare::setWipeAt(double share)
{
    mode_.wipeAt = std::clamp(share, 0.0, 1.0);
    apply();
}

void PaneCompare::switchWipeDirection()
{
    mode_.wipeVertical = !mode_.wipeVertical;
    apply();
}

void PaneCompare::changeOpacity(double by)
{
    // in whole steps, so that ten presses from nothing make all of B
    mode_.opacity = std::clamp(std::round((mode_.opacity + by) * 100) / 100, 0.0, 1.0);
    apply();
}

void PaneCompare::nextFactor()
{
    const auto at = std::find(Factors.begin(), Factors.end(), mode_.factor);
    mode_.factor = at == Factors.end() || at + 1 == Factors.end() ? Factors.front() : *(at + 1);
    apply();
}

void PaneCompare::flip()
{
    mode_.kind = CompareKind::Flip;
    mode_.showsB = !mode_.showsB;
    apply();
}

void PaneCompare::apply()
{
    show();
    store();
    Q_EMIT comparingChanged(comparing_);
}

void PaneCompare::show()
{
    // every other view first: one that compared before lets go of its partner, which may be the new A or B
    for (int viewNo = 1; viewNo <= MovController::PaneCount; ++viewNo) {
        MovieView* view = viewOf(viewNo);
        if (view && !(comparing_ && viewNo == a_))
            view->compareWith(nullptr, mode_);
    }
    if (MovieView* a = comparing_ ? viewOf(a_) : nullptr)
        a->compareWith(viewOf(b_), mode_);
    watchPaneA(comparing_);
    showNote();
    if (comparePanes_)
        comparePanes_->setChecked(comparing_);
    if (QAction* item = kindAction(mode_.kind))
        item->setChecked(true);
    for (QAction* item : modeActions_)
        item->setEnabled(comparing_);
    if (escape_)
        escape_->setEnabled(comparing_ && !window_->isFullScreen());
}

void PaneCompare::playlistChanged()
{
    if (!comparing_ && !resume_)
        return;
    if (holdsMovie(a_) && holdsMovie(b_)) {
        comparing_ = true;
        resume_ = false;
    } else {
        comparing_ = false;
        resume_ = false;
    }
    apply();
}

void PaneCompare::chooseAndCompare()
{
    QDialog dialog(window_);
    dialog.setWindowTitle(QStringLiteral("Compare Panes"));
    auto* form = new QFormLayout(&dialog);
    auto* first = new QComboBox(&dialog);
    auto* second = new QComboBox(&dialog);
    for (int viewNo = 1; viewNo <= MovController::PaneCount; ++viewNo) {
        first->addItem(QStringLiteral("Pane %1").arg(viewNo), viewNo);
        second->addItem(QStringLiteral("Pane %1").arg(viewNo), viewNo);
    }
    first->setCurrentIndex(a_ - 1);
    second->setCurrentIndex(b_ - 1);
    form->addRow(QStringLiteral("Show in the place of:"), first);
    form->addRow(QStringLiteral("Compared with:"), second);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() == QDialog::Accepted)
        compare(first->currentData().toInt(), second->currentData().toInt());
}

QString PaneCompare::note() const
{
    if (!comparing_)
        return {};
    QString kind;
    for (const KindName& name : Kinds) {
        if (name.kind == mode_.kind)
            kind = QString::fromUtf8(name.title).remove(QLatin1Char('&'));
    }
    if (mode_.kind == CompareKind::Difference && mode_.factor > 1)
        kind += QStringLiteral(" %1×").arg(mode_.factor);
    QString text = QStringLiteral("%1 with Pane %2").arg(kind).arg(b_);
    const QSize a = viewOf(a_) ? viewOf(a_)->sourcePictureSize() : QSize();
    const QSize b = viewOf(b_) ? viewOf(b_)->sourcePictureSize() : QSize();
    if (!a.isEmpty() && !b.isEmpty() && a != b)
        text += QStringLiteral(", its %1×%2 scaled to %3×%4")
                    .arg(b.width())
                    .arg(b.height())
                    .arg(a.width())
                    .arg(a.height());
    return text;
}

void PaneCompare::showNote()
{
    QWidget* pane = comparing_ ? panes_.qtView(a_) : nullptr;
    if (!pane) {
        if (note_)
            note_->hide();
        return;
    }
    if (!note_) {
        note_ = new QLabel;
        note_->setAttribute(Qt::WA_TransparentForMouseEvents);
        note_->setStyleSheet(
            QStringLiteral("background: rgba(0, 0, 0, 160); color: white; padding: 2px 4px;"));
    }
    if (note_->parentWidget() != pane)
        note_->setParent(pane);
    note_->setText(note());
    note_->adjustSize();
    note_->move(4, 4);
    note_->show();
    note_->raise();
    // over the picture only for a moment: what it covers is what is being compared
    scheduler_.cancel(hideNote_);
    hideNote_ = scheduler_.scheduleAfter(NoteShownFor, [this] {
        hideNote_ = Scheduler::NoTask;
        if (note_)
            note_->hide();
    });
}

void PaneCompare::watchPaneA(bool watch)
{
    QWidget* pane = watch ? panes_.qtView(a_) : nullptr;
    if (pane == watched_)
        return;
    if (watched_)
        watched_->removeEventFilter(this);
    watched_ = pane;
    wiping_ = false;
    if (watched_)
        watched_->installEventFilter(this);
}

bool PaneCompare::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::WindowStateChange && escape_)
        escape_->setEnabled(comparing_ && !window_->isFullScreen());
    MovieView* view = viewOf(a_);
    if (watched != watched_ || !comparing_ || !view)
        return false;
    // shown as the pointer moves, kept in the settings once the line is let go
    const auto wipeTo = [&](QPointF inPane) {
        const QPointF at = view->mapFrom(watched_, inPane);
        mode_.wipeAt = std::clamp(mode_.wipeVertical ? at.x() / std::max(view->width(), 1)
                                                     : at.y() / std::max(view->height(), 1),
                                  0.0, 1.0);
        show();
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mode_.kind != CompareKind::Wipe || mouse->button() != Qt::LeftButton ||
            mouse->modifiers() != Qt::NoModifier)
            return false;
        wiping_ = true;
        wipeTo(mouse->position());
        return true;
    }
    case QEvent::MouseMove:
        if (!wiping_)
            return false;
        wipeTo(static_cast<QMouseEvent*>(event)->position());
        return true;
    case QEvent::MouseButtonRelease:
        if (!std::exchange(wiping_, false))
            return false;
        store();
        return true;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (mode_.kind != CompareKind::Blend || wheel->modifiers() != Qt::NoModifier)
            return false;
        // A touchpad or a fine wheel sends a notch in pieces: they add up, a hundredth for each share of a
        // notch that makes one, where each piece on its own was rounded away.
        constexpr int AnglePerHundredth = int(NotchAngle / (OpacityStep * 100));
        wheelAngle_ += wheel->angleDelta().y();
        const int hundredths = wheelAngle_ / AnglePerHundredth;
        wheelAngle_ -= hundredths * AnglePerHundredth;
        if (hundredths != 0)
            changeOpacity(hundredths / 100.0);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tetrapan
