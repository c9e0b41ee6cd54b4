#include "panes/PaneOpening.h"

#include "library/RecordingSource.h"
#include "panes/MovieFileProblem.h"
#include "platform/fileLooks.h"
#include "recording/RecordingScan.h"

#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

namespace tetrapan {

PaneOpening::PaneOpening(QWidget& area, MovieEngine& engine, Scheduler& scheduler)
    : area_(area), engine_(engine), scheduler_(scheduler), notice_(new QWidget(&area)),
      text_(new QLabel(notice_)), cancelButton_(new QPushButton(tr("Cancel"), notice_))
{
    notice_->setObjectName(QStringLiteral("openingNotice"));
    // readable over any picture, in the theme's colours
    notice_->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(notice_);
    text_->setTextFormat(Qt::PlainText); // it names the files
    layout->addWidget(text_);
    layout->addWidget(cancelButton_);
    notice_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &PaneOpening::cancel);
    area_.installEventFilter(this);
}

PaneOpening::~PaneOpening()
{
    scheduler_.cancel(noticeTask_);
    if (opening_)
        engine_.cancelOpening(engineOpening_);
}

void PaneOpening::open(const QString& path, Done done)
{
    cancel();
    opening_ = true;
    path_ = path;
    done_ = std::move(done);
    const quint64 ticket = ++ticket_;
    noticeTask_ = scheduler_.scheduleAfter(NoticeDelay, [this] {
        noticeTask_ = Scheduler::NoTask;
        showNotice();
    });
    recording_ = {};
    folderWatch_.reset();
    if (std::optional<Recording> source = RecordingSource::parsedLocator(path)) {
        list(*source);
        return;
    }
    // a plain path is a recording when it is a folder, which the engine finds out off this thread
    auto answered = std::make_shared<bool>(false);
    const quint64 id = engine_.openMovie(path, [this, ticket, path, answered](MovieOpenResult result) {
        *answered = true;
        if (ticket != ticket_ || !opening_)
            return;
        if (result.isFolder)
            list(RecordingSource::ofFolder(path));
        else if (result.movie)
            finish(std::move(result), false);
        else
            refuse([said = result.error] { return said; });
    });
    if (!*answered)
        engineOpening_ = id;
}

void PaneOpening::list(const Recording& source)
{
    if (!scan_) {
        scan_ = std::make_unique<RecordingScan>();
        connect(scan_.get(), &RecordingScan::finished, this,
                [this](const Recording& listed) { openListed(listed, ticket_); });
        connect(scan_.get(), &RecordingScan::progress, this, [this](int done, int total) {
            text_->setText(tr("Reading %1 of %2 files of %3…")
                               .arg(done)
                               .arg(total)
                               .arg(QFileInfo(RecordingSource::shownName(path_)).fileName()));
            placeNotice();
        });
    }
    engineOpening_ = 0; // none until the files are listed
    scan_->start(source);
}

void PaneOpening::openListed(const Recording& listed, quint64 ticket)
{
    if (!opening_)
        return;
    recording_ = listed;
    if (listed.isEmpty()) {
        refuse([listed] {
            const QString what = listed.camera.isEmpty()
                                     ? QStringLiteral("no movies")
                                     : QStringLiteral("no movies of camera %1").arg(listed.camera);
            QString error = !listed.chosenFiles.isEmpty()
                                ? QStringLiteral("none of the chosen files is a movie")
                            : QFileInfo(listed.folder).isDir()
                                ? QStringLiteral("the folder %1 holds %2").arg(listed.folder, what)
                                : QStringLiteral("the folder %1 is not found").arg(listed.folder);
            if (!listed.skipped.isEmpty())
                error += QStringLiteral(" (%1)").arg(listed.skipped.join(QStringLiteral("; ")));
            return error;
        });
        return;
    }
    const quint64 id = engine_.openRecording(listed, [this, ticket](MovieOpenResult result) {
        if (ticket != ticket_ || !opening_)
            return;
        // the movie plays; what was left out of it is said beside it
        if (result.movie && result.error.isEmpty())
            result.error = (recording_.skipped + recording_.overlaps).join(QLatin1Char('\n'));
        if (!result.movie)
            return refuse([said = result.error] { return said; });
        watchFolder();
        finish(std::move(result), false);
    });
    if (ticket == ticket_ && opening_)
        engineOpening_ = id;
}

void PaneOpening::watchFolder()
{
    // the folder's parent hears of its removal; a folder of many files would stir its own watch at every new
    // file a camera writes
    const QString folder = recording_.chosenFiles.isEmpty()
                               ? recording_.folder
                               : QFileInfo(recording_.chosenFiles.first()).absolutePath();
    folderWatch_ = std::make_unique<QFileSystemWatcher>(QStringList{QFileInfo(folder).absolutePath()});
    connect(folderWatch_.get(), &QFileSystemWatcher::directoryChanged, this, [this, folder, path = path_] {
        if (QFileInfo(folder).isDir())
            return;
        // not deleted inside its own signal
        folderWatch_->disconnect(this);
        folderWatch_.release()->deleteLater();
        Q_EMIT recordingFolderRemoved(path, folder);
    });
}

void PaneOpening::cancel()
{
    if (!opening_)
        return;
    if (scan_)
        scan_->cancel();
    engine_.cancelOpening(engineOpening_);
    finish({}, true);
}

void PaneOpening::refuse(std::function<QString()> said)
{
    auto* why = new QFutureWatcher<QString>(this);
    connect(why, &QFutureWatcherBase::finished, this, [this, why, ticket = ticket_] {
        why->deleteLater();
        if (ticket == ticket_ && opening_)
            finish({nullptr, why->result()}, false);
    });
    why->setFuture(QtConcurrent::run(&fileLooks::pool(), [path = path_, said = std::move(said)] {
        return MovieFileProblem::reason(path, said());
    }));
}

void PaneOpening::finish(MovieOpenResult result, bool cancelled)
{
    opening_ = false;
    ++ticket_;
    scheduler_.cancel(noticeTask_);
    noticeTask_ = Scheduler::NoTask;
    notice_->hide();
    if (Done done = std::exchange(done_, {}))
        done(std::move(result), cancelled);
}

void PaneOpening::showNotice()
{
    text_->setText(tr("Opening %1…").arg(QFileInfo(RecordingSource::shownName(path_)).fileName()));
    notice_->adjustSize();
    placeNotice();
    notice_->show();
    notice_->raise();
}

void PaneOpening::placeNotice()
{
    const QSize size = notice_->sizeHint().boundedTo(area_.size());
    notice_->setGeometry(
        QRect(QPoint((area_.width() - size.width()) / 2, (area_.height() - size.height()) / 2), size));
}

bool PaneOpening::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &area_ && event->type() == QEvent::Resize && notice_->isVisible())
        placeNotice();
    return QObject::eventFilter(watched, event);
}

} // namespace tetrapan
