#include "engine/MpvGLSurface.h"

#include "engine/FramePacer.h"
#include "engine/MpvCore.h"
#include "engine/MpvMovie.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <qpa/qplatformnativeinterface.h>

#include <mpv/render_gl.h>

#include <algorithm>

namespace tetrapan {

Q_DECLARE_LOGGING_CATEGORY(lcMpv)

namespace {

// mpv hands decoded pictures to OpenGL without a copy (hardware decoding's interop) only when it knows the
// window system's connection: the X display or the Wayland display Qt draws on. Null on other platforms,
// where mpv decodes in software or copies the pictures back.
mpv_render_param windowSystemDisplay()
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        return {MPV_RENDER_PARAM_X11_DISPLAY, x11->display()};
    // Qt 6.4 names the Wayland display through its platform interface alone
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (QPlatformNativeInterface* platform = QGuiApplication::platformNativeInterface())
            return {MPV_RENDER_PARAM_WL_DISPLAY, platform->nativeResourceForIntegration("wl_display")};
    }
    return {MPV_RENDER_PARAM_INVALID, nullptr};
}

} // namespace

MpvGLSurface::MpvGLSurface(FramePacer* pacer, QWidget* parent) : QOpenGLWidget(parent), pacer_(pacer)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

MpvGLSurface::~MpvGLSurface()
{
    // The context is about to go with the widget; freeing through the signal as well would do it twice.
    disconnect(contextGoing_);
    freeRenderContextMakingCurrent();
    freeRetiredNow();
}

void MpvGLSurface::onUpdate(void* context)
{
    // Called on mpv's threads.
    auto* self = static_cast<MpvGLSurface*>(context);
    QMetaObject::invokeMethod(
        self,
        [self] {
            // Qt paints no widget of no size: its frames are taken here, or its movie would stall.
            if (self->size().isEmpty())
                self->skipFrame();
            else
                FramePacer::repaintWhenDue(self->pacer_, self, self->renderContext_,
                                           self->movie_ ? self->movie_->handle() : nullptr);
        },
        Qt::QueuedConnection);
}

void* MpvGLSurface::procAddress(void*, const char* name)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

void MpvGLSurface::setMovie(MpvMovie* movie)
{
    retireRenderContext();
    disconnect(movieGoing_);
    movie_ = movie;
    if (movie) {
        movieGoing_ = connect(movie, &MpvMovie::aboutToDestroyHandle, this, [this] { setMovie(nullptr); });
        // Without a GL context yet, initializeGL builds the render context.
        if (context() && context()->isValid()) {
            makeCurrent();
            createRenderContext();
            doneCurrent();
        }
    }
    update();
}

void MpvGLSurface::initializeGL()
{
    disconnect(contextGoing_);
    contextGoing_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        // The movie stays: it must find its picture again on the next context.
        if (movie_ && renderContext_)
            movie_->openGLOutputDetaching();
        freeRenderContextMakingCurrent();
        freeRetiredNow();
    });
    if (movie_ && !renderContext_)
        createRenderContext();
}

void MpvGLSurface::createRenderContext()
{
    mpv_opengl_init_params glInit{&MpvGLSurface::procAddress, nullptr};
    // the display last: the list ends at the first invalid entry, where there is none
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        windowSystemDisplay(),
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (const int rc = mpv_render_context_create(&renderContext_, movie_->handle(), params); rc < 0) {
        qCWarning(lcMpv) << "OpenGL render context:" << mpv_error_string(rc);
        renderContext_ = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(renderContext_, &MpvGLSurface::onUpdate, this);
    release_ = std::make_shared<MpvRenderRelease>();
    release_->attach(this, [this, context = renderContext_] { freeRetired(context); });
    movie_->setRenderRelease(release_);
    movie_->openGLOutputAttached();
}

void MpvGLSurface::retireRenderContext()
{
    if (!renderContext_)
        return;
    makeCurrent();
    mpv_render_context_set_update_callback(renderContext_, nullptr, nullptr);
    doneCurrent();
    retired_.push_back({std::exchange(renderContext_, nullptr), std::exchange(release_, nullptr)});
}

void MpvGLSurface::freeRetired(mpv_render_context* context)
{
    const auto found = std::find_if(retired_.begin(), retired_.end(),
                                    [context](const Retired& retired) { return retired.context == context; });
    if (found == retired_.end())
        return;
    makeCurrent();
    mpv_render_context_free(context);
    doneCurrent();
    found->release->freed();
    retired_.erase(found);
}

void MpvGLSurface::freeRetiredNow()
{
    if (retired_.empty())
        return;
    makeCurrent();
    for (const Retired& retired : std::exchange(retired_, {})) {
        mpv_render_context_free(retired.context);
        retired.release->freed();
    }
    doneCurrent();
}

void MpvGLSurface::freeRenderContext()
{
    if (renderContext_) {
        mpv_render_context_free(renderContext_);
        renderContext_ = nullptr;
        // freed here: the core's worker has nothing to ask for
        if (std::shared_ptr<MpvRenderRelease> release = std::exchange(release_, nullptr))
            release->freed();
    }
}

void MpvGLSurface::freeRenderContextMakingCurrent()
{
    if (!renderContext_)
        return;
    makeCurrent();
    freeRenderContext();
    doneCurrent();
}

void MpvGLSurface::skipFrame()
{
    if (!renderContext_ || !context() || !context()->isValid())
        return;
    makeCurrent();
    if (mpv_render_context_update(renderContext_) & MPV_RENDER_UPDATE_FRAME) {
        int skip = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(renderContext_, params);
    }
    doneCurrent();
}

void MpvGLSurface::paintGL()
{
    const qreal ratio = devicePixelRatioF();
    if (paintHook_ && paintHook_())
        return;
    if (!renderContext_) {
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    renderInto(defaultFramebufferObject(),
               QSize(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio)));
}

std::optional<QRgb> MpvGLSurface::pixelShown(QPointF point)
{
    if (!context() || !context()->isValid() || !rect().contains(point.toPoint()))
        return std::nullopt;
    const qreal ratio = devicePixelRatioF();
    makeCurrent();
    QOpenGLFunctions* gl = context()->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    uchar rgba[4] = {};
    // the framebuffer the GL way up
    gl->glReadPixels(static_cast<int>(point.x() * ratio),
                     static_cast<int>(height() * ratio) - 1 - static_cast<int>(point.y() * ratio), 1, 1,
                     GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    doneCurrent();
    return qRgb(rgba[0], rgba[1], rgba[2]);
}

bool MpvGLSurface::renderInto(unsigned target, QSize size)
{
    if (!renderContext_)
        return false;
    mpv_opengl_fbo fbo{static_cast<int>(target), size.width(), size.height(), 0};
    int flipY = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        // The GUI thread paints four panes; waiting here for one frame's due time would hold up the others.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(renderContext_, params) >= 0;
}

} // namespace tetrapan
