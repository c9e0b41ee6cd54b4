#pragma once

#include <QOpenGLWidget>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct mpv_render_context;

namespace tetrapan {

class FramePacer;
class MpvMovie;
class MpvRenderRelease;

// Draws a movie with mpv's OpenGL renderer into this widget's framebuffer. The render context lives as long
// as both the movie and the widget's GL context: Qt replaces the GL context when the widget moves to another
// window, and the render context is rebuilt on the new one.
class MpvGLSurface final : public QOpenGLWidget {
    Q_OBJECT
public:
    MpvGLSurface(FramePacer* pacer, QWidget* parent = nullptr);
    ~MpvGLSurface() override;

    void setMovie(MpvMovie* movie);
    // Draws the movie's current picture into the framebuffer fbo of size in device pixels, the GL way up;
    // with this widget's context current. False without a render context.
    bool renderInto(unsigned fbo, QSize size);
    // The colour shown at point, in widget pixels: one pixel read back, for a readout, never for drawing.
    std::optional<QRgb> pixelShown(QPointF point);
    // Asked first in each paint, with the context current: true when it painted the view itself.
    void setPaintHook(std::function<bool()> hook) { paintHook_ = std::move(hook); }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    static void onUpdate(void* context);
    static void* procAddress(void* context, const char* name);
    void createRenderContext();
    // Only with this widget's GL context current.
    void freeRenderContext();
    void freeRenderContextMakingCurrent();
    // The movie let go of: its render context waits until its core, on a worker, has dropped its video, and
    // is freed when the worker asks (see MpvRenderRelease), so the GUI thread never waits for a core.
    void retireRenderContext();
    void freeRetired(mpv_render_context* context);
    // Retired contexts cannot outlive the GL context: when it or the widget goes they are freed at once,
    // waiting for their cores as freeing always did before.
    void freeRetiredNow();
    // Takes mpv's new frame without drawing it.
    void skipFrame();

    std::function<bool()> paintHook_;
    QPointer<FramePacer> pacer_;
    QPointer<MpvMovie> movie_;
    mpv_render_context* renderContext_ = nullptr;
    std::shared_ptr<MpvRenderRelease> release_;
    struct Retired {
        mpv_render_context* context;
        std::shared_ptr<MpvRenderRelease> release;
    };
    std::vector<Retired> retired_;
    QMetaObject::Connection contextGoing_;
    QMetaObject::Connection movieGoing_;
};

} // namespace tetrapan
