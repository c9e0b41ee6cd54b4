#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>

namespace tetrapan {

class Movie;
class MovController;
class QTMovieSubView;
class SettingsDomain;
class SyncLock;

// The playing speed of all panes, a setting: slower and faster in steps, and back to the normal speed. Every
// movie plays at it, also those loaded later, and the sound keeps its pitch. With the sync lock on the lock
// keeps the panes on one frame at this speed; off, panes playing when the speed changes are held together
// from there as panes started together are (SyncLock::holdStart). A pane with a rate (PaneOffsets) plays at
// this speed times its rate, so that the common time line passes at the user's speed.
class PlaybackSpeed : public QObject {
    Q_OBJECT
public:
    static constexpr const char* OptPlaySpeed = "optPlaySpeed";
    static constexpr std::array<double, 8> Steps{0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 4.0};

    PlaybackSpeed(SettingsDomain& settings, MovController& panes, SyncLock& lock, QObject* parent = nullptr);

    // The stored speed on its nearest step; the normal speed for a stored value that is no speed.
    static double storedSpeed(const SettingsDomain& settings);
    // The step nearest to the speed (by their ratio); the normal speed for what is no speed.
    static double nearestStep(double speed);
    // The step after speed, faster or slower; speed itself at the last step.
    static double nextStep(double speed, bool faster);
    // "0.5×"; "" for the normal speed.
    static QString text(double speed);

    double speed() const { return speed_; }
    void slower();
    void faster();
    void normal();
    // The pane's rate on the current playlist; 1 for a pane without a coordinator.
    static double rateOf(const QTMovieSubView* pane);
    // The stored speed times the pane's rate: what a movie loaded into it plays at.
    static double paneSpeed(const SettingsDomain& settings, const QTMovieSubView* pane)
    {
        return storedSpeed(settings) * rateOf(pane);
    }
    // A pane's rate changed, or panes were loaded from another playlist: every pane to its speed again.
    void followRates();

Q_SIGNALS:
    void speedChanged(double speed);

private:
    void store(double speed);
    // The stored speed to every pane's movie.
    void follow();
    // Each pane's movie to the speed times its rate.
    void applySpeeds();

    SettingsDomain& settings_;
    MovController& panes_;
    SyncLock& lock_;
    double speed_;
    // The rate each pane's movie was last given, to tell a changed rate from a movie loaded with its own.
    std::array<QPointer<Movie>, 4> ratedMovies_{};
    std::array<double, 4> appliedRates_{1.0, 1.0, 1.0, 1.0};
};

} // namespace tetrapan
