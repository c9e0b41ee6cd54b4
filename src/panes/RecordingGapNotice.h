#pragma once

#include <QLabel>
#include <QPointer>

namespace tetrapan {

class Movie;

// Black with "No recording" over a pane's picture while its movie, a recording, stands in a stretch of the
// wall clock no file covers. Laid over the movie's view as a widget of its own, so both drawing paths show
// it and the picture underneath is not touched; it goes as soon as the recording resumes.
class RecordingGapNotice final : public QLabel {
    Q_OBJECT
public:
    // Gaps shorter than this are the clocks' rounding between two files, which play on without one.
    static constexpr qint64 ShortestGapMs = 500;

    // Covers `view` (its parent) and follows its size.
    explicit RecordingGapNotice(QWidget* view);

    // The pane's movie; none, or one that is no recording, hides the notice for good.
    void setMovie(Movie* movie);
    // Whether the movie at `seconds` stands in a gap.
    static bool inGap(const Movie& movie, double seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QPointer<Movie> movie_;
    QMetaObject::Connection timeConnection_;
};

} // namespace tetrapan
