#pragma once

#include <QObject>
#include <QString>

#include <array>

namespace tetrapan {

class MovController;
class SettingsDomain;
class SyncLock;

// The playing speed of all panes, a setting: slower and faster in steps, and back to the normal speed. Every
// movie plays at it, also those loaded later, and the sound keeps its pitch. With the sync lock on the lock
// keeps the panes on one frame at this speed; off, panes playing when the speed changes are held together
// from there as panes started together are (SyncLock::holdStart).
class PlaybackSpeed : public QObject {
    Q_OBJECT
public:
    static constexpr const char* OptPlaySpeed = "optPlaySpeed";
    static constexpr std::array<double, 8> Steps{0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 4.0};

    PlaybackSpeed(SettingsDomain& settings, MovController& panes, SyncLock& lock, QObject* parent = nullptr);

    // The stored speed on its nearest step; the normal speed for a stored value that is no speed.
    static double storedSpeed(const SettingsDomain& settings);
    // The step after speed, faster or slower; speed itself at the last step.
    static double nextStep(double speed, bool faster);
    // "0.5×"; "" for the normal speed.
    static QString text(double speed);

    double speed() const { return speed_; }
    void slower();
    void faster();
    void normal();

Q_SIGNALS:
    void speedChanged(double speed);

private:
    void store(double speed);
    // The stored speed to every pane's movie.
    void follow();

    SettingsDomain& settings_;
    MovController& panes_;
    SyncLock& lock_;
    double speed_;
};

} // namespace tetrapan
