#include "panes/PaneNudge.h"

#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/ObjectContext.h"

#include <QAction>

namespace tetrapan {

PaneNudge::PaneNudge(MovController& panes, SyncLock& lock, QObject* parent)
    : QObject(parent), panes_(panes), lock_(lock)
{
    for (int s = 0; s < StepCount; ++s) {
        const auto step = static_cast<Step>(s);
        QAction* action = new QAction(title(step), this);
        action->setShortcut(keys(step));
        // no key that types: it answers in every window, as the menus' other keys do
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, [this, step] { nudge(chosenViewNo(), step); });
        actions_[s] = action;
    }
}

QString PaneNudge::title(Step step)
{
    switch (step) {
    case FrameEarlier:
        return QStringLiteral("Nudge a Frame Earlier");
    case FrameLater:
        return QStringLiteral("Nudge a Frame Later");
    case FineEarlier:
        return QStringLiteral("Nudge 10 ms Earlier");
    case FineLater:
        return QStringLiteral("Nudge 10 ms Later");
    }
    return {};
}

QKeySequence PaneNudge::keys(Step step)
{
    // Alt with the arrows that skip all panes moves one pane; Shift makes the move finer. Plain and Shift
    // arrows stay the panes' own keys.
    switch (step) {
    case FrameEarlier:
        return QKeySequence(Qt::ALT | Qt::Key_Left);
    case FrameLater:
        return QKeySequence(Qt::ALT | Qt::Key_Right);
    case FineEarlier:
        return QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left);
    case FineLater:
        return QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right);
    }
    return {};
}

void PaneNudge::refreshActions()
{
    const int viewNo = chosenViewNo();
    for (int s = 0; s < StepCount; ++s) {
        const QString text = title(static_cast<Step>(s));
        actions_[s]->setText(
            viewNo == 0
                ? text
                : QString(text).replace(QLatin1String("Nudge"), QStringLiteral("Nudge Pane %1").arg(viewNo)));
        actions_[s]->setEnabled(viewNo != 0);
    }
}

void PaneNudge::enableActions()
{
    for (QAction* action : actions_)
        action->setEnabled(true);
}

int PaneNudge::chosenViewNo() const
{
    const int viewNo = panes_.currentViewNo();
    return canNudge(viewNo) ? viewNo : 0;
}

bool PaneNudge::canNudge(int viewNo) const
{
    return panes_.offsets().canChangeOffset(viewNo);
}

double PaneNudge::stepMs(int viewNo, Step step) const
{
    const double sign = step == FrameEarlier || step == FineEarlier ? -1.0 : 1.0;
    if (step == FineEarlier || step == FineLater)
        return sign * FineStepMs;
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    const double fps = pane && pane->movie() ? pane->movie()->framesPerSecond() : 0.0;
    return sign * 1000.0 / (fps > 0.0 ? fps : FallbackFramesPerSecond);
}

void PaneNudge::nudge(int viewNo, Step step)
{
    if (!canNudge(viewNo))
        return;
    PaneOffsets& offsets = panes_.offsets();
    ObjectContext* context = panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist);
    QUndoStack* stack = context->undoManager();
    // an edit of this turn still open is an edit between two nudges
    context->processPendingChanges();
    const ObjectId entry = offsets.entry(viewNo);
    const qint64 before = offsets.offsetMs(viewNo);
    // A frame is rarely a whole number of milliseconds: a run of nudges is counted from where it began, so
    // that 30 frames of a 30 fps movie move it by exactly a second.
    const bool continues = run_.viewNo == viewNo && run_.entry == entry && stack->index() == run_.undoIndex &&
                           stack->count() == run_.undoCount &&
                           before == run_.startMs + qRound64(run_.movedMs);
    if (continues) {
        if (run_.pushed)
            stack->undo();
    } else {
        run_ = Run{viewNo, entry, before};
    }
    run_.movedMs += stepMs(viewNo, step);
    const qint64 after = run_.startMs + qRound64(run_.movedMs);
    run_.pushed = after != run_.startMs;
    if (run_.pushed) {
        context->beginUndoGroup(QStringLiteral("Nudge Offset"));
        offsets.setOffsetMs(viewNo, after);
        context->endUndoGroup();
    }
    run_.undoIndex = stack->index();
    run_.undoCount = stack->count();
    follow(viewNo, static_cast<double>(after - before));
    Q_EMIT nudged(viewNo);
}

void PaneNudge::follow(int viewNo, double movedMs)
{
    Movie* movie = panes_.qtView(viewNo)->movie();
    const PaneOffsets& offsets = panes_.offsets();
    const int leader = offsets.leaderViewNo();
    lock_.offsetsChanged();
    if (lock_.isEnabled()) {
        const Movie* leaderMovie = panes_.qtView(leader)->movie();
        movie->setCurrentTime(
            offsets.placedTime(leaderMovie->currentTime(), leader, viewNo, movie->duration()));
    } else if (movedMs != 0.0) {
        movie->setCurrentTime(
            PaneOffsets::shiftedTime(movie->currentTime(), qRound64(movedMs), movie->duration()));
    }
}

} // namespace tetrapan
