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
// pointer) and the time in the form the user chose (TimeForm), which a click on it switches.
class MovieControllerBar final : public QWidget {
    Q_OBJECT
public:
    // Whether the user last showed or hid the bars (on one pane or all), kept across runs: a pane that gets
    // a movie shows its bar as chosen.
    static constexpr const char* OptShown = "optShowControllerBars";
    static bool shownChoice(const SettingsDomain& settings);
    static void keepShownChoice(SettingsDomain& settings, bool anyShown);

    explicit MovieControllerBar(SettingsDomain& settings, QWidget* parent = nullptr);

    void setMovie(Movie* movie);
    Movie* movie() const { return movie_.data(); }
    // The time as it shows: without the movie's length where the bar is too narrow for it.
    QString timeText() const;
    // Shown again: the position it shows is brought up to date.
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

Q_SIGNALS:
    // The play/pause button was pressed; the pane decides what that means.
    void playPauseClicked();

private:
    void refreshPosition();
    void refreshPlayState();
    void seekToSlider(int position);

    SettingsDomain& settings_;
    QPointer<Movie> movie_;
    QToolButton* playButton_;
    QSlider* slider_;
    QLabel* timeLabel_;
    QMetaObject::Connection timeConnection_;
    QMetaObject::Connection rateConnection_;
    int stepsPerSecond_ = 100; // of the slider, for the movie shown
};

} // namespace tetrapan
