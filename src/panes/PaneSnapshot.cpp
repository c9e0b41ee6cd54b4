#include "panes/PaneSnapshot.h"

#include "library/Movie.h"
#include "library/dialogExtension.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/AtomicFileWriter.h"
#include "platform/fileNames.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

namespace tetrapan {

namespace {

const QString DefaultTitle = QStringLiteral("Tetrapan");
// A file name holds at most 255 bytes; the title leaves room for the time and " pane 4 (99).png".
constexpr int MaxTitleBytes = 200;

// Written whole or not at all: a failure leaves no file behind, and says why in the system's words (a full
// disk is "No space left on device", where the image writer only knew "Unknown error").
bool writePng(const QString& path, const QImage& image, const FileWriteCalls& calls, QString* why)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        *why = writer.errorString();
        return false;
    }
    return AtomicFileWriter(calls).write(path, png, why);
}

// Where the window's widgets draw nothing, the picture is transparent and the screen black.
QImage opaqueOverBlack(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.setDevicePixelRatio(image.devicePixelRatio());
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.drawImage(QPoint(0, 0), image);
    return opaque;
}

} // namespace

PaneSnapshot::PaneSnapshot(MovController& panes, Scheduler& scheduler, DialogPresenter& dialogs,
                           QObject* parent, const FileWriteCalls& calls)
    : QObject(parent), panes_(panes), scheduler_(scheduler), dialogs_(dialogs), calls_(calls)
{
}

PaneSnapshot::~PaneSnapshot()
{
    // files being written are finished; the news of it has no one to go to
    if (writing_.valid())
        writing_.wait();
    scheduler_.cancel(waitTask_);
    for (const Asked& asked : std::as_const(asked_)) {
        disconnect(asked.answer);
        disconnect(asked.gone);
    }
}

QString PaneSnapshot::folder() const
{
    if (!folder_.isEmpty())
        return folder_;
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/Tetrapan");
}

QString PaneSnapshot::fileStem(const QString& title, const QDateTime& time)
{
    return fileNames::fromTitle(title, DefaultTitle, MaxTitleBytes) +
           time.toString(QStringLiteral(" yyyy-MM-dd HH-mm-ss"));
}

void PaneSnapshot::takeSnapshot()
{
    if (isTaking())
        return;
    QList<std::pair<int, Movie*>> movies;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        QTMovieSubView* pane = panes_.qtView(n);
        if (pane && pane->movie())
            movies.append({n, pane->movie()});
    }
    // black panes alone are no picture worth a file
    if (movies.isEmpty()) {
        Q_EMIT snapshotNotTaken(QLatin1String(NoMovieText));
        Q_EMIT snapshotFinished({});
        return;
    }
    takenAt_ = QDateTime::currentDateTime();
    takenTitle_ = title_; // the playlist's the pictures are of, whatever is chosen while they come
    shown_ = shownArea_ ? opaqueOverBlack(shownArea_->grab().toImage()) : QImage();
    paneImages_.clear();
    // Every pane's answer may come at once or later, so all requests are made only when all are awaited.
    for (const auto& [n, movie] : std::as_const(movies))
        ask(n, movie);
    waitTask_ = scheduler_.scheduleAfter(AnswerTimeout, [this] {
        waitTask_ = Scheduler::NoTask;
        writeFiles();
    });
    for (const auto& paneMovie : std::as_const(movies))
        paneMovie.second->requestFrameImage();
    if (!awaitsAny() && waitTask_ != Scheduler::NoTask) {
        scheduler_.cancel(waitTask_);
        waitTask_ = Scheduler::NoTask;
        writeFiles();
    }
}

void PaneSnapshot::ask(int viewNo, Movie* movie)
{
    Asked& asked = asked_[movie];
    asked.viewNo = viewNo;
    asked.awaited = true;
    if (asked.answer)
        return;
    asked.answer = connect(movie, &Movie::frameImageReady, this,
                           [this, movie](Movie*, const QImage& image) { paneImageArrived(movie, image); });
    asked.gone = connect(movie, &QObject::destroyed, this, [this, movie] { asked_.remove(movie); });
}

void PaneSnapshot::forget(Movie* movie)
{
    const auto it = asked_.find(movie);
    disconnect(it->answer);
    disconnect(it->gone);
    asked_.erase(it);
}

bool PaneSnapshot::awaitsAny() const
{
    return std::any_of(asked_.begin(), asked_.end(), [](const Asked& asked) { return asked.awaited; });
}

void PaneSnapshot::paneImageArrived(Movie* movie, const QImage& image)
{
    const auto it = asked_.find(movie);
    if (it == asked_.end())
        return;
    // the movie answers each request once, in turn: this is an earlier snapshot's picture
    if (it->owed > 0) {
        if (--it->owed == 0 && !it->awaited)
            forget(movie);
        return;
    }
    if (!it->awaited)
        return;
    const int viewNo = it->viewNo;
    forget(movie);
    if (!image.isNull())
        paneImages_.insert(viewNo, image);
    if (!awaitsAny() && waitTask_ != Scheduler::NoTask) {
        scheduler_.cancel(waitTask_);
        waitTask_ = Scheduler::NoTask;
        writeFiles();
    }
}

void PaneSnapshot::writeFiles()
{
    // a pane that has not answered by now is left out; its answer is still to come
    for (Asked& asked : asked_) {
        if (asked.awaited) {
            asked.awaited = false;
            ++asked.owed;
        }
    }

    Pictures pictures{folder(), takenTitle_, takenAt_, {}};
    if (!shown_.isNull())
        pictures.images.append({0, shown_});
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        if (paneImages_.contains(n))
            pictures.images.append({n, paneImages_.value(n)});
    }
    shown_ = QImage();
    paneImages_.clear();
    // the snapshot is taken until the news of the end is here
    writing_ = std::async(std::launch::async, [this, pictures = std::move(pictures), calls = calls_] {
        Written written = write(pictures, calls);
        QMetaObject::invokeMethod(this, &PaneSnapshot::filesWritten, Qt::QueuedConnection);
        return written;
    });
}

PaneSnapshot::Written PaneSnapshot::write(const Pictures& pictures, const FileWriteCalls& calls)
{
    const QDir dir(pictures.folder);
    Written written{true, {}, pictures.folder, {}};
    QString stem = fileStem(pictures.title, pictures.takenAt);
    const auto nameOf = [](const QString& base, int viewNo) {
        return viewNo == 0 ? base + QStringLiteral(".png")
                           : base + QStringLiteral(" pane %1.png").arg(viewNo);
    };
    // two snapshots within a second
    for (int copy = 2; dir.exists(nameOf(stem, 0)); ++copy)
        stem = fileStem(pictures.title, pictures.takenAt) + QStringLiteral(" (%1)").arg(copy);

    bool ok = pictures.images.isEmpty() || QDir().mkpath(dir.path());
    if (!ok)
        written.why = QStringLiteral("the folder could not be made");
    for (const auto& [viewNo, image] : pictures.images) {
        if (!ok)
            break;
        const QString path = dir.filePath(nameOf(stem, viewNo));
        const bool wasThere = QFileInfo::exists(path);
        ok = writePng(path, image, calls, &written.why);
        // a write can fail once the file is in place (its folder not synced): it goes with the others
        if (ok || !wasThere)
            written.paths << path;
    }
    if (!ok) {
        for (const QString& path : std::as_const(written.paths))
            QFile::remove(path);
        written.paths.clear();
    }
    written.ok = ok;
    return written;
}

void PaneSnapshot::filesWritten()
{
    if (!writing_.valid())
        return;
    const Written written = writing_.get();
    if (!written.ok) {
        const dialogExtension::AlertText& alert = dialogExtension::CanNotSaveSnapshot;
        dialogExtension::displayMessage(dialogs_, alert.style, alert.message,
                                        alert.info.arg(QDir::toNativeSeparators(written.folder), written.why),
                                        alert.btnList);
    }
    Q_EMIT snapshotFinished(written.paths);
}

} // namespace tetrapan
