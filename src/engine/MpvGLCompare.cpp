#include "engine/MpvGLCompare.h"

#include "engine/FrameCombiner.h"
#include "engine/MpvGLSurface.h"

#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>

namespace tetrapan {

Q_DECLARE_LOGGING_CATEGORY(lcMpv)

namespace {

// B drawn this shortly before A's paint is B's picture of the same pass of the window.
constexpr qint64 SamePassMs = 4;

const char* const VertexShader = R"(
attribute vec2 position;
varying vec2 picture;
void main() {
    picture = position * 0.5 + 0.5;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// The same arithmetic as the software path's (FrameCombiner), in texture coordinates the GL way up.
const char* const FragmentShader = R"(
uniform sampler2D a;
uniform sampler2D b;
uniform int kind;
uniform float line;
uniform bool vertical;
uniform float viewHeight;
uniform float opacity;
uniform float factor;
uniform bool showsB;
uniform vec4 aRect;
uniform vec4 bRect;
varying vec2 picture;
void main() {
    vec4 ca = texture2D(a, picture);
    vec2 inA = (picture - aRect.xy) / aRect.zw;
    vec4 cb = vec4(0.0, 0.0, 0.0, 1.0);
    if (inA.x >= 0.0 && inA.x <= 1.0 && inA.y >= 0.0 && inA.y <= 1.0)
        cb = texture2D(b, bRect.xy + inA * bRect.zw);
    vec4 c = ca;
    if (kind == 0) {
        bool fromB = vertical ? gl_FragCoord.x >= line : gl_FragCoord.y < viewHeight - line;
        if (fromB) c = cb;
    } else if (kind == 1) {
        c = mix(ca, cb, opacity);
    } else if (kind == 2) {
        c = min(abs(ca - cb) * factor, vec4(1.0));
    } else if (showsB) {
        c = cb;
    }
    gl_FragColor = vec4(c.rgb, 1.0);
}
)";

QString shaderSource(const char* body)
{
    const bool es = QOpenGLContext::currentContext()->isOpenGLES();
    return QLatin1String(es ? "#version 100\nprecision highp float;\n" : "#version 120\n") +
           QLatin1String(body);
}

// A picture's place in its texture, as origin and size in shares, the GL way up.
QVector4D placeIn(QSize size, double aspect)
{
    const QRectF rect = FrameCombiner::pictureRect(QSizeF(size), aspect, aspect > 0);
    const double height = size.height();
    return QVector4D(rect.x() / size.width(), (height - rect.bottom()) / height, rect.width() / size.width(),
                     rect.height() / height);
}

void ensureSize(std::unique_ptr<QOpenGLFramebufferObject>& fbo, QSize size)
{
    if (!fbo || fbo->size() != size)
        fbo = std::make_unique<QOpenGLFramebufferObject>(size);
}

QSize deviceSize(const QWidget& widget)
{
    return (QSizeF(widget.size()) * widget.devicePixelRatioF()).toSize();
}

} // namespace

MpvGLCompare::MpvGLCompare(MpvGLSurface& a, MpvGLSurface& b) : a_(&a), b_(&b)
{
    a.setPaintHook([this] { return paintA(); });
    b.setPaintHook([this] { return paintB(); });
    a.update();
    b.update();
}

MpvGLCompare::~MpvGLCompare()
{
    releaseGL();
    if (a_) {
        a_->setPaintHook({});
        a_->update();
    }
    if (b_) {
        b_->setPaintHook({});
        b_->update();
    }
}

void MpvGLCompare::releaseGL()
{
    // each object on the context it was made on
    if (a_ && (aPicture_ || program_) && a_->context()) {
        a_->makeCurrent();
        aPicture_.reset();
        program_.reset();
        a_->doneCurrent();
    }
    if (b_ && bPicture_ && b_->context()) {
        b_->makeCurrent();
        bPicture_.reset();
        b_->doneCurrent();
    }
    // a context already gone took their GL objects with it; the wrappers are still to be freed, and Qt frees
    // what their group still holds once one of its contexts is current
    aPicture_.reset();
    program_.reset();
    bPicture_.reset();
}

void MpvGLCompare::setSettings(const CompareSettings& settings)
{
    settings_ = settings;
    if (a_)
        a_->update();
}

void MpvGLCompare::setAspects(double a, double b)
{
    aAspect_ = a;
    bAspect_ = b;
    if (a_)
        a_->update();
}

void MpvGLCompare::renderB()
{
    ensureSize(bPicture_, deviceSize(*a_));
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    bPicture_->bind();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    b_->renderInto(bPicture_->handle(), bPicture_->size());
    // read on A's context next
    gl->glFinish();
    bDrawn_.start();
}

bool MpvGLCompare::paintB()
{
    if (!a_ || deviceSize(*a_).isEmpty())
        return false;
    if (!bDrawn_.isValid() || bDrawn_.elapsed() > SamePassMs || !bPicture_ ||
        bPicture_->size() != deviceSize(*a_)) {
        renderB();
        // A shows B's new picture too
        a_->update();
    }
    // B's own place shows its picture whole
    const QSize view = deviceSize(*b_);
    const QSize shown = bPicture_->size().scaled(view, Qt::KeepAspectRatio);
    const QRect target(QPoint((view.width() - shown.width()) / 2, (view.height() - shown.height()) / 2),
                       shown);
    auto* gl = QOpenGLContext::currentContext()->extraFunctions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, b_->defaultFramebufferObject());
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, bPicture_->handle());
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, b_->defaultFramebufferObject());
    gl->glBlitFramebuffer(0, 0, bPicture_->width(), bPicture_->height(), target.left(), target.top(),
                          target.right() + 1, target.bottom() + 1, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, b_->defaultFramebufferObject());
    return true;
}

// A driver that refuses the shaders (an OpenGL ES one without their precision, say) leaves A's place to
// show A alone, as without B, rather than nothing: said once, and not tried again.
bool MpvGLCompare::linked()
{
    if (program_ || linkRefused_)
        return !linkRefused_;
    program_ = std::make_unique<QOpenGLShaderProgram>();
    const bool linked =
        program_->addShaderFromSourceCode(QOpenGLShader::Vertex, shaderSource(VertexShader)) &&
        program_->addShaderFromSourceCode(QOpenGLShader::Fragment, shaderSource(FragmentShader)) &&
        (program_->bindAttributeLocation("position", 0), program_->link());
    if (!linked) {
        qCWarning(lcMpv).noquote() << "The comparison's shaders are refused by the driver:"
                                   << program_->log();
        linkRefused_ = true;
    }
    return linked;
}

bool MpvGLCompare::paintA()
{
    const QSize size = deviceSize(*a_);
    if (!b_ || size.isEmpty() || !b_->context() || !b_->context()->isValid() || !linked())
        return false;
    if (!bDrawn_.isValid() || bDrawn_.elapsed() > SamePassMs || !bPicture_ || bPicture_->size() != size) {
        b_->makeCurrent();
        renderB();
        a_->makeCurrent();
    }
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    ensureSize(aPicture_, size);
    aPicture_->bind();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    a_->renderInto(aPicture_->handle(), size);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, a_->defaultFramebufferObject());
    gl->glViewport(0, 0, size.width(), size.height());
    gl->glDisable(GL_BLEND);
    gl->glDisable(GL_SCISSOR_TEST);
    program_->bind();
    gl->glActiveTexture(GL_TEXTURE1);
    gl->glBindTexture(GL_TEXTURE_2D, bPicture_->texture());
    gl->glActiveTexture(GL_TEXTURE0);
    gl->glBindTexture(GL_TEXTURE_2D, aPicture_->texture());
    program_->setUniformValue("a", 0);
    program_->setUniformValue("b", 1);
    program_->setUniformValue("kind", static_cast<int>(settings_.kind));
    const bool vertical = settings_.wipeVertical;
    program_->setUniformValue(
        "line", float(FrameCombiner::wipeLine(settings_.wipeAt, vertical ? size.width() : size.height())));
    program_->setUniformValue("vertical", vertical);
    program_->setUniformValue("viewHeight", float(size.height()));
    program_->setUniformValue("opacity", float(settings_.opacity));
    program_->setUniformValue("factor", float(std::max(settings_.factor, 1)));
    program_->setUniformValue("showsB", settings_.showsB);
    program_->setUniformValue("aRect", placeIn(size, aAspect_));
    program_->setUniformValue("bRect", placeIn(size, bAspect_));
    static const GLfloat corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    program_->enableAttributeArray(0);
    program_->setAttributeArray(0, GL_FLOAT, corners, 2);
    gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    program_->disableAttributeArray(0);
    program_->release();
    return true;
}

} // namespace tetrapan
