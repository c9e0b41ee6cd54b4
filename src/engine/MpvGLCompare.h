#pragma once

#include "engine/CompareSettings.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

class QOpenGLFramebufferObject;
class QOpenGLShaderProgram;

namespace tetrapan {

class MpvGLSurface;

// Two movies in one place on the OpenGL path: A's and B's pictures are drawn by mpv into textures, and a
// shader combines them into A's view; nothing is read back. The views of one window share their GL objects'
// textures, so B's texture, drawn on B's context, is read on A's. A draws B's picture itself when it paints
// (B's current one, the one of A's moment: both are painted at their due time), unless B's own paint drew it
// a moment before; B shows that texture in its own place, and a new picture of B repaints A.
class MpvGLCompare {
public:
    MpvGLCompare(MpvGLSurface& a, MpvGLSurface& b);
    ~MpvGLCompare();
    MpvGLCompare(const MpvGLCompare&) = delete;
    MpvGLCompare& operator=(const MpvGLCompare&) = delete;

    void setSettings(const CompareSettings& settings);
    // Width over height of each one's picture, 0 where it fills its view.
    void setAspects(double a, double b);

private:
    // With A's context current, in A's paint.
    bool paintA();
    // The comparison's program, linked on A's context the first time.
    bool linked();
    // With B's context current, in B's paint.
    bool paintB();
    // B's current picture into its texture at A's size; with B's context current.
    void renderB();
    void releaseGL();

    QPointer<MpvGLSurface> a_;
    QPointer<MpvGLSurface> b_;
    CompareSettings settings_;
    double aAspect_ = 0;
    double bAspect_ = 0;
    std::unique_ptr<QOpenGLFramebufferObject> aPicture_; // on A's context
    std::unique_ptr<QOpenGLFramebufferObject> bPicture_; // on B's context
    std::unique_ptr<QOpenGLShaderProgram> program_;      // on A's context
    bool linkRefused_ = false;
    QElapsedTimer bDrawn_;
};

} // namespace tetrapan
