#pragma once

#include "library/Movie.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

namespace tetrapan {

class Movie;
class SettingsDomain;

// The bar along a pane's bottom edge: play/pause, the position (a click jumps there, a drag follows the
// pointer) and "m:ss / m:ss".
class MovieControllerBar final : public QWidget {
    Q_OBJECT
public:
    // Whether the user last showed or hid the bars (on one pane or all), kept across runs: a pane that gets
    // a movie shows its bar as chosen.
    static constexpr const char* OptShown = "optShowControllerBars";
    static bool shownChoice(const SettingsDomain& settings);
    static void keepShownChoice(SettingsDomain& settings, bool anyShown);

    explicit MovieControllerBar(QWidget* parent = nullptr);

    void setMovie(Movie* movie);
    Movie* movie() const { return movie_.data(); }

    // "m:ss / m:ss"; minutes run on past 59.
    static QString timeText(double currentSeconds, double durationSeconds);

Q_SIGNALS:
    // The play/pause button was pressed; the pane decides what that means.
    void playPauseClicked();

private:
    void refreshPosition();
    void refreshPlayState();
    void seekToSlider(int position);

    QPointer<Movie> movie_;
    QToolButton* playButton_;
    QSlider* slider_;
    QLabel* timeLabel_;
    QMetaObject::Connection timeConnection_;
    QMetaObject::Connection rateConnection_;
};

} // namespace tetrapan
