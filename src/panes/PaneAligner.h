#pragma once

#include "analysis/Alignment.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace tetrapan {

class MovController;

// Aligning the panes' movies by their sound or by a flash: reads where each movie stands, hands the files
// to the analysis on a thread of its own (the panes play on; the GUI thread only starts it and takes the
// result), then sets every offset found as one undoable step and synchronises the panes to it. A pane
// where nothing clear was found keeps its offset, and the report says which pane and why.
class PaneAligner final : public QObject {
    Q_OBJECT
public:
    // TwoPoints: by sound near the leader's start and near its end, which gives each pane's rate too
    enum class Method { Sound, Flash, TwoPoints };

    explicit PaneAligner(MovController& panes, QObject* parent = nullptr);
    ~PaneAligner() override;

    // Two panes or more have movies, one of them the leader, a playlist keeps their offsets, and no
    // alignment is under way.
    bool canAlign() const;
    // The same, and the pane is one of them other than the leader.
    bool canAlignPane(int viewNo) const;
    bool isAligning() const { return worker_ != nullptr; }

    // Playback > Align Panes by Sound (by Flash, by Sound at Two Points): every pane with a movie against the
    // leader.
    void alignPanes(Method method);
    // A pane's menu > Align This Pane by Sound.
    void alignPane(int viewNo);
    // Stops the analysis; no offset changes.
    void cancel();

    // What the user reads afterwards: the panes aligned and those that kept their offset, each named with
    // the reason. `emptyPanes` are panes without a movie.
    static QString report(Method method, int leaderViewNo, const std::vector<PaneAlignment>& results,
                          const QList<int>& emptyPanes);
    // The undo step's name
    static QString undoName(Method method);

Q_SIGNALS:
    void alignStarted(const QString& what);
    // the share done, 0 to 1
    void progressed(double share);
    void alignFinished(const QString& report);

private:
    // What the panes were when the analysis began: the result applies only to the same movies.
    struct Job {
        Method method = Method::Sound;
        QString uniqueId;
        int leaderViewNo = 0;
        std::array<QString, 4> files;
        QList<int> emptyPanes;
        QList<int> recordingPanes;
    };

    void start(Method method, const QList<int>& viewNos);
    void finish(const std::vector<PaneAlignment>& results);
    bool stillTheSame(const Job& job) const;
    QString pathOf(int viewNo) const;
    // A recording of many files is placed by its files' times; the analysis reads single movies.
    bool playsRecording(int viewNo) const;

    MovController& panes_;
    Job job_;
    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

} // namespace tetrapan
