#pragma once

#include <QPointF>
#include <QSplitter>

#include <chrono>
#include <functional>

class QVariantAnimation;

namespace tetrapan {

// A splitter of two subviews whose divider its owner moves, at once or with a short animation that slides
// both subviews, and whose divider thickness the owner sets (0 hides the divider). A "vertical" split view
// in the sense of its divider is a Qt::Horizontal splitter: the first subview on the left. A divider
// position is the first subview's width (side by side) or height (stacked).
class SplitSubView : public QSplitter {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds AnimationDuration{500};
    // Runs an animation to its end before returning.
    using AnimationRunner = std::function<void(QVariantAnimation&)>;

    explicit SplitSubView(QWidget* parent = nullptr);
    SplitSubView(Qt::Orientation orientation, QWidget* parent = nullptr);
    ~SplitSubView() override;

    void awakeFromNib();

    // The divider thickness in pixels, also the handle's width. Qt lays the subviews out again at once.
    void setDividerSize(float thickness);
    float dividerThickness() const { return dividerSize_; }

    void setIsAnimate(bool animate) { isAnimate_ = animate; }
    bool isAnimate() const { return isAnimate_; }

    // Moves the divider to position.x (side by side) or position.y (stacked), held within the split view.
    // Animated, it returns when the animation has ended; user input waits meanwhile. Nothing happens when
    // the split view has fewer than two subviews or the subviews already stand there.
    void setSplitterPosition(QPointF position, bool animate);
    // Lays the subviews out again.
    void adjustSubviews();
    // What the two subviews share of its length: all of it but the divider.
    int room() const;

    // The blocking animation of the running program: a local event loop that leaves user input queued.
    static void runBlocking(QVariantAnimation& animation);
    void setAnimationRunner(AnimationRunner runner) { animationRunner_ = std::move(runner); }

Q_SIGNALS:
    // The user let go of the divider after dragging it.
    void liveResizeEnded();

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The length along the divider's axis.
    int length() const;
    void setFirstLength(int first);
    bool standsAt(int first) const;

    bool isAnimate_ = false;
    float dividerSize_ = 0.0f;
    AnimationRunner animationRunner_ = runBlocking;
};

} // namespace tetrapan
