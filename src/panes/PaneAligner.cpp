#include "panes/PaneAligner.h"

#include "analysis/TwoPoints.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"

#include <QStringList>
#include <QThread>

#include <cmath>
#include <new>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tetrapan {

namespace {

using Outcome = PaneAlignment::Outcome;

constexpr int AnalysisNiceness = 10;

QString what(PaneAligner::Method method)
{
    switch (method) {
    case PaneAligner::Method::Flash:
        return QStringLiteral("flash");
    case PaneAligner::Method::TwoPoints:
        return QStringLiteral("sound at two points");
    case PaneAligner::Method::Sound:
        break;
    }
    return QStringLiteral("sound");
}

// Each pane at two points in turn: the pane's sound is compared at every usual speed, which two panes at a
// time would only slow down against each other.
std::vector<PaneAlignment> alignAtTwoPoints(const AlignmentPane& leader,
                                            const std::vector<AlignmentPane>& others,
                                            const std::vector<double>& presentSpeeds,
                                            const std::atomic<bool>& cancel,
                                            const Alignment::Progress& progress)
{
    std::vector<PaneAlignment> results;
    for (size_t n = 0; n < others.size(); ++n) {
        PaneAlignment result;
        result.viewNo = others[n].viewNo;
        TwoPointAlignment found;
        try {
            found = TwoPointAlignment::run(leader, others[n], presentSpeeds[n], cancel, [&](double share) {
                if (progress)
                    progress((double(n) + share) / double(others.size()));
            });
        } catch (const std::bad_alloc&) {
            // as the other methods: this pane only, and the analysis's thread does not end the program
            result.outcome = Outcome::Unreadable;
            result.problem = QStringLiteral("is too long to compare in the memory there is");
            results.push_back(result);
            continue;
        }
        result.outcome = found.outcome;
        result.problem = found.problem;
        result.confidence = found.confidence;
        result.atLeaderSeconds = found.leaderFirstSeconds;
        result.lagSeconds = found.paneFirstSeconds - found.leaderFirstSeconds;
        result.speed = found.speed;
        results.push_back(result);
    }
    return results;
}

QString joined(const QList<int>& viewNos)
{
    QStringList names;
    for (int viewNo : viewNos)
        names << QString::number(viewNo);
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return QStringLiteral("%1 and %2").arg(names.join(QStringLiteral(", ")), last);
}

} // namespace

PaneAligner::PaneAligner(MovController& panes, QObject* parent) : QObject(parent), panes_(panes) {}

PaneAligner::~PaneAligner()
{
    if (worker_) {
        // the analysis looks at the flag between frames, while it waits on a file and between a comparison's
        // transforms: it ends within one of them
        cancel_->store(true);
        worker_->wait();
        delete worker_;
    }
}

QString PaneAligner::pathOf(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return pane && pane->isPlayable() && pane->movie() ? pane->movie()->filePath() : QString();
}

bool PaneAligner::playsRecording(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    const Recording* recording = pane && pane->movie() ? pane->movie()->recording() : nullptr;
    return recording && !recording->isEmpty();
}

bool PaneAligner::canAlign() const
{
    const PaneOffsets& offsets = panes_.offsets();
    if (isAligning() || offsets.leaderViewNo() == 0 || playsRecording(offsets.leaderViewNo()))
        return false;
    for (int n = 1; n <= MovController::PaneCount; ++n)
        if (offsets.canChangeOffset(n) && !playsRecording(n))
            return true;
    return false;
}

bool PaneAligner::canAlignPane(int viewNo) const
{
    const PaneOffsets& offsets = panes_.offsets();
    return !isAligning() && offsets.canChangeOffset(viewNo) && !playsRecording(viewNo) &&
           !playsRecording(offsets.leaderViewNo());
}

void PaneAligner::alignPanes(Method method)
{
    if (!canAlign())
        return;
    QList<int> viewNos;
    for (int n = 1; n <= MovController::PaneCount; ++n)
        if (n != panes_.offsets().leaderViewNo())
            viewNos << n;
    start(method, viewNos);
}

void PaneAligner::alignPane(int viewNo)
{
    if (canAlignPane(viewNo))
        start(Method::Sound, {viewNo});
}

void PaneAligner::cancel()
{
    if (cancel_)
        cancel_->store(true);
}

void PaneAligner::start(Method method, const QList<int>& viewNos)
{
    job_ = Job{};
    job_.method = method;
    job_.uniqueId = panes_.uniqueId();
    job_.leaderViewNo = panes_.offsets().leaderViewNo();
    for (int n = 1; n <= MovController::PaneCount; ++n)
        job_.files[size_t(n - 1)] = pathOf(n);
    const Movie* leaderMovie = panes_.qtView(job_.leaderViewNo)->movie();
    const AlignmentPane leader{job_.leaderViewNo, leaderMovie->filePath(), leaderMovie->positionSeconds()};
    std::vector<AlignmentPane> others;
    for (int viewNo : viewNos) {
        if (!panes_.offsets().canChangeOffset(viewNo)) {
            job_.emptyPanes << viewNo;
            continue;
        }
        if (playsRecording(viewNo)) {
            job_.recordingPanes << viewNo;
            continue;
        }
        const Movie* movie = panes_.qtView(viewNo)->movie();
        others.push_back({viewNo, movie->filePath(), movie->positionSeconds()});
    }
    // where each pane stands against the leader's pace now, so that its window is looked for there
    std::vector<double> presentSpeeds;
    for (const AlignmentPane& pane : others)
        presentSpeeds.push_back(panes_.offsets().rate(pane.viewNo) /
                                panes_.offsets().rate(job_.leaderViewNo));
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = QThread::create([this, method, leader, others, presentSpeeds, cancel = cancel_] {
        // the panes' decoding and the GUI thread go first on a busy machine; the threads the analysis starts
        // inherit this (Linux keeps niceness per thread)
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), AnalysisNiceness);
        const auto progress = [this](double share) {
            QMetaObject::invokeMethod(
                this, [this, share] { Q_EMIT progressed(share); }, Qt::QueuedConnection);
        };
        const auto results = method == Method::TwoPoints
                                 ? alignAtTwoPoints(leader, others, presentSpeeds, *cancel, progress)
                                 : Alignment::run(method == Method::Flash ? Alignment::Method::Flash
                                                                          : Alignment::Method::Sound,
                                                  leader, others, *cancel, progress);
        QMetaObject::invokeMethod(
            this, [this, results] { finish(results); }, Qt::QueuedConnection);
    });
    worker_->setObjectName(QStringLiteral("PaneAligner"));
    worker_->start(QThread::LowPriority);
    Q_EMIT alignStarted(QStringLiteral("Aligning panes by %1…").arg(what(method)));
}

bool PaneAligner::stillTheSame(const Job& job) const
{
    if (panes_.uniqueId() != job.uniqueId || panes_.offsets().leaderViewNo() != job.leaderViewNo)
        return false;
    for (int n = 1; n <= MovController::PaneCount; ++n)
        if (pathOf(n) != job.files[size_t(n - 1)])
            return false;
    return true;
}

void PaneAligner::finish(const std::vector<PaneAlignment>& results)
{
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    const bool cancelled = cancel_->load();
    cancel_.reset();
    if (cancelled) {
        Q_EMIT alignFinished(QStringLiteral("Aligning was cancelled; no offset changed."));
        return;
    }
    if (!stillTheSame(job_)) {
        Q_EMIT alignFinished(QStringLiteral("The panes changed while aligning; no offset changed."));
        return;
    }
    PaneOffsets& offsets = panes_.offsets();
    const int leader = job_.leaderViewNo;
    std::vector<PaneAlignment> applied = results;
    for (int viewNo : job_.recordingPanes) {
        PaneAlignment kept;
        kept.viewNo = viewNo;
        kept.outcome = Outcome::Unreadable;
        kept.problem = QStringLiteral("is a recording of many files, which is placed by its files' times");
        applied.push_back(kept);
    }
    // what moves, worked out first: an alignment that moves nothing is no step to undo (and takes no redo)
    struct Move {
        int viewNo;
        double rate;
        qint64 offsetMs;
    };
    QList<Move> moves;
    for (PaneAlignment& result : applied) {
        if (result.outcome != Outcome::Found)
            continue;
        // pane time = rate * common time + offset, and the leader's moment found names the common time
        const double rate =
            result.speed > 0.0 ? result.speed * offsets.rate(leader) : offsets.rate(result.viewNo);
        if (!PaneOffsets::isAllowedRate(rate)) {
            result.outcome = Outcome::NotFound;
            continue;
        }
        const double common = PaneOffsets::commonSeconds(result.atLeaderSeconds, offsets.offsetMs(leader),
                                                         offsets.rate(leader));
        const qint64 offset =
            std::llround((result.atLeaderSeconds + result.lagSeconds - rate * common) * 1000.0);
        if (offsets.offsetMs(result.viewNo) != offset || offsets.rate(result.viewNo) != rate)
            moves.append({result.viewNo, rate, offset});
    }
    if (!moves.isEmpty()) {
        ObjectContext* context = panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist);
        context->beginUndoGroup(undoName(job_.method));
        for (const Move& move : std::as_const(moves)) {
            offsets.setRate(move.viewNo, move.rate);
            offsets.setOffsetMs(move.viewNo, move.offsetMs);
        }
        context->endUndoGroup();
        panes_.syncAllMovieTime();
    }
    Q_EMIT alignFinished(report(job_.method, job_.leaderViewNo, applied, job_.emptyPanes));
}

QString PaneAligner::undoName(Method method)
{
    switch (method) {
    case Method::Flash:
        return QStringLiteral("Align by Flash");
    case Method::TwoPoints:
        return QStringLiteral("Align by Sound at Two Points");
    case Method::Sound:
        break;
    }
    return QStringLiteral("Align by Sound");
}

QString PaneAligner::report(Method method, int leaderViewNo, const std::vector<PaneAlignment>& results,
                            const QList<int>& emptyPanes)
{
    QStringList lines;
    QList<int> aligned;
    const QString kind = what(method);
    for (const PaneAlignment& result : results) {
        const int n = result.viewNo;
        switch (result.outcome) {
        case Outcome::Found:
            aligned << n;
            break;
        case Outcome::NotFound:
            lines << (method == Method::Flash
                          ? QStringLiteral("Pane %1: no matching flash found; it keeps its offset.").arg(n)
                          : QStringLiteral("Pane %1: no matching sound found; it keeps its offset.").arg(n));
            break;
        case Outcome::NoSound:
            lines << QStringLiteral("Pane %1 has no %2; it was left alone.")
                         .arg(n)
                         .arg(method == Method::Flash ? QStringLiteral("picture") : QStringLiteral("sound"));
            break;
        case Outcome::Silent:
            lines << (method == Method::Flash
                          ? QStringLiteral("Pane %1 shows no flash or change of light; it keeps its offset.")
                                .arg(n)
                          : QStringLiteral("Pane %1 is silent, or pane %2 is; it keeps its offset.")
                                .arg(n)
                                .arg(leaderViewNo));
            break;
        case Outcome::Unreadable:
            lines << QStringLiteral("Pane %1's movie %2; it keeps its offset.").arg(n).arg(result.problem);
            break;
        case Outcome::LeaderUnusable:
            return QStringLiteral("Pane %1, which the others are aligned to, %2; no offset changed.")
                .arg(leaderViewNo)
                .arg(result.problem);
        case Outcome::Cancelled:
            return QStringLiteral("Aligning was cancelled; no offset changed.");
        }
    }
    for (int n : emptyPanes)
        lines << QStringLiteral("Pane %1 has no movie.").arg(n);
    if (!aligned.isEmpty())
        lines.prepend(QStringLiteral("%1 %2 %3 aligned to pane %4 by %5.")
                          .arg(aligned.size() == 1 ? QStringLiteral("Pane") : QStringLiteral("Panes"),
                               joined(aligned),
                               aligned.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                          .arg(leaderViewNo)
                          .arg(kind));
    return lines.join(QLatin1Char(' '));
}

} // namespace tetrapan
