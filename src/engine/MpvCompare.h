#pragma once

#include "engine/CompareSettings.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace tetrapan {

class MpvGLCompare;
class MpvMovieView;
class SoftwareCombiner;

// Two views' movies combined in the first one's place, on the drawing path both use: on the software path
// the second's drawing thread hands its pictures to the first's, which combines them into its own (the
// second is drawn at the first's size meanwhile, and shown whole in its own place); on the OpenGL path a
// shader combines both pictures on the first's context. Made and ended by the first view.
class MpvCompare final : public QObject {
    Q_OBJECT
public:
    MpvCompare(MpvMovieView& a, MpvMovieView& b);
    ~MpvCompare() override;

    MpvMovieView* partner() const { return b_; }
    void setSettings(const CompareSettings& settings);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A's size and both pictures' places, after a resize, a new movie, its picture's size known, or its
    // shape kept or not.
    void refit();

    MpvMovieView& a_;
    QPointer<MpvMovieView> b_;
    std::shared_ptr<SoftwareCombiner> software_;
    std::unique_ptr<MpvGLCompare> gl_;
};

} // namespace tetrapan
