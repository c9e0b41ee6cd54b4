#include "ScreenProbe.h"

#include "FrameBarcode.h"
#include "TestClips.h"

#include "engine/MovieView.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <algorithm>

namespace tetrapan::test {

bool ScreenProbe::near(QColor seen, QColor expected)
{
    return seen.isValid() && qAbs(seen.red() - expected.red()) <= Tolerance &&
           qAbs(seen.green() - expected.green()) <= Tolerance &&
           qAbs(seen.blue() - expected.blue()) <= Tolerance;
}

QString ScreenProbe::clipColourName(QColor seen)
{
    const char* const names[] = {"red", "green", "blue", "yellow"};
    for (int n = 0; n < 4; ++n) {
        if (near(seen, TestClips::Colours[n]))
            return QLatin1String(names[n]);
    }
    return seen.isValid() ? seen.name() : QStringLiteral("nothing");
}

QImage ScreenProbe::grab(QRect global)
{
    return x_.grab(global);
}

QImage ScreenProbe::grab(QWidget& widget, QRect area)
{
    QWidget* window = widget.window();
    const QRect inWindow(widget.mapTo(window, area.topLeft()), area.size());
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return window->grab(inWindow).toImage();
    return x_.grab(inWindow.translated(window->mapToGlobal(QPoint(0, 0))));
}

QColor ScreenProbe::colourAt(QPoint global)
{
    return x_.pixel(global);
}

bool ScreenProbe::waitFor(QPoint global, QColor expected, int timeoutMs)
{
    return waitFor([&] { return colourAt(global); }, expected, timeoutMs);
}

bool ScreenProbe::waitFor(QWidget& widget, QPoint point, QColor expected, int timeoutMs)
{
    const auto colour = [&] {
        const QImage image = grab(widget, QRect(point, QSize(1, 1)));
        return image.isNull() ? QColor() : image.pixelColor(0, 0);
    };
    return waitFor(colour, expected, timeoutMs);
}

bool ScreenProbe::waitFor(const std::function<QColor()>& colour, QColor expected, int timeoutMs)
{
    QColor seen;
    if (QTest::qWaitFor([&] { return near(seen = colour(), expected); }, timeoutMs))
        return true;
    qWarning("the screen shows %s, not %s", qPrintable(seen.name()), qPrintable(expected.name()));
    return false;
}

QList<std::optional<int>> ScreenProbe::framesShown(QWidget& window, double pictureAspect)
{
    const QImage shot = grab(window, window.rect());
    QList<MovieView*> views;
    for (MovieView* view : window.findChildren<MovieView*>()) {
        if (view->isVisible())
            views << view;
    }
    const auto place = [&](const QWidget* view) {
        return QRect(view->mapTo(&window, QPoint(0, 0)), view->size());
    };
    std::sort(views.begin(), views.end(), [&](const QWidget* a, const QWidget* b) {
        return std::pair(place(a).x(), place(a).y()) < std::pair(place(b).x(), place(b).y());
    });
    QList<std::optional<int>> frames;
    for (const QWidget* view : std::as_const(views))
        frames << FrameBarcode::readView(shot, place(view), pictureAspect);
    return frames;
}

QString ScreenProbe::text(const QList<std::optional<int>>& frames)
{
    QStringList texts;
    for (const std::optional<int>& frame : frames)
        texts << (frame ? QString::number(*frame) : QStringLiteral("?"));
    return texts.join(QLatin1Char(' '));
}

} // namespace tetrapan::test
