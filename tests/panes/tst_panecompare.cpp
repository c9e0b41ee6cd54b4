// Two panes compared in one place, on the real engine under X and read off the screen, for each kind on both
// drawing paths: a wipe's columns come from A and B on either side of its line (as kept from the last run,
// and with B's picture of another movie, of another shape too), a blend shows the colour between them (and
// the pixel readout each pane's decoded colour), the difference of a clip with itself is black, a flip shows
// A and B in turn. On the fakes: the mode comes back at the next start, wrong stored values fall back, and a
// playlist change keeps it while both panes hold movies.
#include "AppFixture.h"
#include "MovieReadBack.h"
#include "OpenAndWait.h"
#include "ScreenProbe.h"
#include "TestClips.h"

#include "engine/FrameCombiner.h"
#include "engine/MovieView.h"
#include "panes/PaneCompare.h"
#include "panes/PanePlacing.h"
#include "panes/PixelReadout.h"

#include <QLabel>
#include <QOpenGLContext>
#include <QTest>
#include <QWheelEvent>

using namespace tetrapan;

namespace {

constexpr int EngineTimeoutMs = 20000;

// Pane 1 shows A, pane 2 B.
std::unique_ptr<test::AppFixture> startOn(const test::TestHome& home, const QStringList& clips,
                                          DrawingPath path, const QVariantMap& stored = {})
{
    if (!test::writeOnePlaylistHome(home, QStringLiteral("Compared"), clips))
        return nullptr;
    auto app = std::make_unique<test::AppFixture>(test::AppOptions{
        .home = &home, .storedSettings = stored, .realEngine = true, .drawingPath = path, .realClock = true});
    app->showWindow(800, 600);
    for (int n = 1; n <= clips.size(); ++n) {
        if (!QTest::qWaitFor([&] { return app->pane(n).isPlayable(); }, EngineTimeoutMs))
            return nullptr;
    }
    return app;
}

int distance(QColor a, QColor b)
{
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

class TestPaneCompare : public QObject {
    Q_OBJECT

private:
    test::TestClips clips_;
    test::ScreenProbe screen_;

    // What pane 1's picture shows, and where its picture stands in it.
    QImage shownInA(test::AppFixture& app, QRect* picture = nullptr)
    {
        QWidget& view = *app.pane(1).movieView();
        if (picture)
            *picture = FrameCombiner::pictureRect(view.size(), test::ScreenProbe::PictureAspect, true)
                           .toAlignedRect()
                           .adjusted(2, 2, -2, -2);
        return screen_.grab(view, view.rect());
    }

private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    void kindsShowBothPictures_data()
    {
        QTest::addColumn<DrawingPath>("path");
        QTest::addColumn<CompareKind>("kind");
        for (const auto& [pathName, path] :
             {std::pair("software", DrawingPath::Software), std::pair("OpenGL", DrawingPath::OpenGL)}) {
            for (const auto& [kindName, kind] :
                 {std::pair("wipe", CompareKind::Wipe), std::pair("blend", CompareKind::Blend),
                  std::pair("difference", CompareKind::Difference), std::pair("flip", CompareKind::Flip)})
                QTest::addRow("%s, %s", kindName, pathName) << path << kind;
        }
    }

    void kindsShowBothPictures()
    {
        QFETCH(DrawingPath, path);
        QFETCH(CompareKind, kind);
        if (path == DrawingPath::OpenGL && !QOpenGLContext().create())
            QSKIP("no OpenGL on this display");
        test::TestHome home;
        // the difference of a clip with itself; red against green otherwise
        const bool itself = kind == CompareKind::Difference;
        // the wipe as kept from the last run, coming back while the panes open their movies
        const QVariantMap kept{{QLatin1String(PaneCompare::CompareStateKey),
                                QVariantMap{{QStringLiteral("comparing"), true},
                                            {QStringLiteral("kind"), QStringLiteral("wipe")},
                                            {QStringLiteral("wipeAt"), 0.3}}}};
        const auto app = startOn(home,
                                 itself ? QStringList{clips_.barcode, clips_.barcode}
                                        : QStringList{clips_.red, clips_.green},
                                 path, kind == CompareKind::Wipe ? kept : QVariantMap());
        QVERIFY(app);
        PaneCompare& compare = app->nib->paneCompare();
        if (kind != CompareKind::Wipe) {
            compare.setKind(kind);
            compare.setWipeAt(0.3);
            QVERIFY(compare.compare(1, 2));
        }
        QVERIFY(compare.isComparing());
        const QColor red = test::TestClips::Colours[0];
        const QColor green = test::TestClips::Colours[1];
        QRect picture;
        switch (kind) {
        case CompareKind::Wipe: {
            const int line = FrameCombiner::wipeLine(0.3, app->pane(1).movieView()->width());
            const auto firstFromB = [&] {
                const QImage shot = shownInA(*app, &picture);
                for (int x = picture.left(); x <= picture.right(); ++x) {
                    if (!test::ScreenProbe::near(shot.pixelColor(x, picture.center().y()), red))
                        return test::ScreenProbe::near(shot.pixelColor(x, picture.center().y()), green) ? x
                                                                                                        : -1;
                }
                return -1;
            };
            QTRY_VERIFY_WITH_TIMEOUT(std::abs(firstFromB() - line) <= 1, EngineTimeoutMs);
            QCOMPARE(compare.note(), QStringLiteral("Wipe with Pane 2"));
            // B given another movie, and back, A drawing nothing new: A's place shows B's new picture
            QWidget& view = *app->pane(1).movieView();
            for (const auto& [clip, colour] :
                 {std::pair(clips_.blue, test::TestClips::Colours[2]), std::pair(clips_.green, green)}) {
                QVERIFY(test::openInPane(app->pane(2), clip));
                QVERIFY(screen_.waitFor(view, QPoint((line + view.width()) / 2, view.height() / 2), colour));
            }
            // B given a movie of another shape (16:9 against A's 4:3): its picture fills A's, not its bars
            shownInA(*app, &picture);
            const QPoint nearTop((line + picture.right()) / 2, picture.top() + picture.height() / 16);
            QVERIFY(test::openInPane(app->pane(2), clips_.colour720p(3)));
            QVERIFY(screen_.waitFor(view, nearTop, test::TestClips::Colours[2]));
            QVERIFY(test::openInPane(app->pane(2), clips_.green));
            QVERIFY(screen_.waitFor(view, nearTop, green));
            // and B's own place still shows B
            QVERIFY(
                screen_.waitFor(*app->pane(2).movieView(), app->pane(2).movieView()->rect().center(), green));
            // the two the other way round and back: each time A's place shows B right of the line
            QVERIFY(compare.compare(2, 1));
            QVERIFY(
                screen_.waitFor(*app->pane(2).movieView(), app->pane(2).movieView()->rect().center(), red));
            QVERIFY(compare.compare(1, 2));
            QVERIFY(
                screen_.waitFor(*app->pane(1).movieView(), app->pane(1).movieView()->rect().center(), green));
            break;
        }
        case CompareKind::Blend: {
            QWidget& view = *app->pane(1).movieView();
            QVERIFY(screen_.waitFor(view, view.rect().center(), QColor(128, 128, 0)));
            // the readout gives each pane's decoded colour under the pointer, not the blend shown there
            // at a point of the test's choosing: not shown, the readout does not follow the pointer
            PixelReadout& readout = app->nib->pixelReadout();
            for (int viewNo : {1, 2}) {
                QColor decoded;
                test::readMovieBack(viewNo == 1 ? clips_.red : clips_.green, [&](const QImage& picture, int) {
                    decoded = picture.pixelColor(picture.width() / 2, picture.height() / 2);
                    return false;
                });
                const auto near = [&] {
                    readout.readAt(1, view.rect().center());
                    const std::optional<PixelValue> value = readout.value(viewNo);
                    return value && value->decoded &&
                           distance(QColor(value->red, value->green, value->blue), decoded) <= 2;
                };
                QTRY_VERIFY_WITH_TIMEOUT(near(), EngineTimeoutMs);
            }
            QVERIFY2(readout.text().contains(QStringLiteral("A − B")), qPrintable(readout.text()));
            break;
        }
        case CompareKind::Difference: {
            // every pixel of A's place but the note naming the kind over it
            const auto brightest = [&] {
                const QImage shot = shownInA(*app, &picture);
                QRect note;
                for (const QLabel* label : app->pane(1).findChildren<QLabel*>()) {
                    if (label->isVisible())
                        note = QRect(app->pane(1).movieView()->mapFrom(&app->pane(1), label->pos()),
                                     label->size());
                }
                int most = 0;
                for (int y = 0; y < shot.height(); ++y) {
                    for (int x = 0; x < shot.width(); ++x) {
                        if (!note.contains(x, y))
                            most = std::max(most, distance(shot.pixelColor(x, y), Qt::black));
                    }
                }
                return most;
            };
            // the barcode's own picture is far from black, so a picture not combined cannot pass
            QTRY_VERIFY_WITH_TIMEOUT(brightest() <= 2, EngineTimeoutMs);
            // a frame on, A is paired with B's new frame, whichever of the two came first (read off the X
            // screen: on Wayland a read of the window draws it again itself, the compared view with it)
            for (int step = 0; step < 3 && QGuiApplication::platformName() != QLatin1String("wayland");
                 ++step) {
                app->coordinator().stepAllMovieFrame(true);
                QTRY_VERIFY_WITH_TIMEOUT(brightest() <= 2, EngineTimeoutMs);
            }
            break;
        }
        case CompareKind::Flip: {
            QWidget& view = *app->pane(1).movieView();
            QVERIFY(screen_.waitFor(view, view.rect().center(), red));
            compare.flip();
            QVERIFY(screen_.waitFor(view, view.rect().center(), green));
            compare.flip();
            QVERIFY(screen_.waitFor(view, view.rect().center(), red));
            break;
        }
        }
        // leaving gives pane 1 its own picture back
        compare.leave();
        if (!itself)
            QVERIFY(
                screen_.waitFor(*app->pane(1).movieView(), app->pane(1).movieView()->rect().center(), red));
    }

    // Pane B zoomed to the window while compared, A squeezed to nothing: B draws its own pictures at its
    // own size again, a new movie's too, rather than standing on its last one stretched.
    void paneBAloneDrawsItsOwnPictures()
    {
        test::TestHome home;
        const auto app = startOn(home, {clips_.red, clips_.green}, DrawingPath::Software);
        QVERIFY(app);
        QVERIFY(app->nib->paneCompare().compare(1, 2));
        app->viewMain().maximizeSplitViewFrame(2);
        QVERIFY(!app->pane(1).isDisplay());
        app->pane(2).placing().createMovieFrame(clips_.blue);
        QWidget& view = *app->pane(2).movieView();
        QTRY_VERIFY_WITH_TIMEOUT(
            test::ScreenProbe::near(
                screen_.grab(view, view.rect()).pixelColor(view.width() / 2, view.height() / 2),
                test::TestClips::Colours[2]),
            EngineTimeoutMs);
    }

    // Over the blend, the wheel's notches change the opacity however finely the wheel or touchpad sends them.
    void theWheelChangesTheBlend_data()
    {
        QTest::addColumn<QList<int>>("angles"); // each wheel event's, in eighths of a degree
        QTest::addColumn<double>("opacity");
        QTest::newRow("a notch") << QList<int>{120} << 0.6;
        QTest::newRow("a notch back") << QList<int>{-120} << 0.4;
        QTest::newRow("eighths of a notch") << QList<int>(8, 15) << 0.6;
        QTest::newRow("a touchpad's fine steps") << QList<int>(30, 4) << 0.6;
        QTest::newRow("there and back") << QList<int>{5, 5, 5, -5, -5, -5, 60} << 0.55;
    }

    void theWheelChangesTheBlend()
    {
        QFETCH(QList<int>, angles);
        QFETCH(double, opacity);
        test::AppFixture app;
        app.chooseWithEntries({1, 2});
        PaneCompare& compare = app.nib->paneCompare();
        QVERIFY(compare.compare(1, 2));
        compare.setKind(CompareKind::Blend);
        QCOMPARE(compare.settings().opacity, 0.5);
        QWidget& pane = app.pane(1);
        for (const int angle : angles) {
            const QPointF at(pane.width() / 2.0, pane.height() / 2.0);
            QWheelEvent wheel(at, pane.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&pane, &wheel);
        }
        QCOMPARE(compare.settings().opacity, opacity);
    }

    void stateComesBackAndFollowsThePlaylist_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QList<int>>("entries");
        QTest::addColumn<bool>("comparing");
        QTest::addColumn<int>("factor");
        QTest::addColumn<double>("opacity");
        const auto state = [](QVariant factor, QVariant opacity) {
            return QVariantMap{{QStringLiteral("comparing"), true},
                               {QStringLiteral("a"), 3},
                               {QStringLiteral("b"), 1},
                               {QStringLiteral("kind"), QStringLiteral("difference")},
                               {QStringLiteral("factor"), factor},
                               {QStringLiteral("opacity"), opacity}};
        };
        QTest::newRow("both panes hold movies") << state(4, 0.3) << QList<int>{1, 3} << true << 4 << 0.3;
        QTest::newRow("wrong types fall back")
            << state(QStringLiteral("16"), 7) << QList<int>{1, 3} << true << 1 << 0.5;
        QTest::newRow("pane B empty: left") << state(4, 0.3) << QList<int>{3} << false << 4 << 0.3;
        QTest::newRow("pane B's movie removed") << state(4, 0.3) << QList<int>{1, 3} << true << 4 << 0.3;
    }

    void stateComesBackAndFollowsThePlaylist()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QList<int>, entries);
        QFETCH(bool, comparing);
        QFETCH(int, factor);
        QFETCH(double, opacity);
        test::AppFixture app(
            test::AppOptions{.storedSettings = {{QLatin1String(PaneCompare::CompareStateKey), stored}}});
        PaneCompare& compare = app.nib->paneCompare();
        QVERIFY(!compare.isComparing());
        app.chooseWithEntries(entries);
        QCOMPARE(compare.isComparing(), comparing);
        QCOMPARE(compare.settings().kind, CompareKind::Difference);
        QCOMPARE(compare.settings().factor, factor);
        QCOMPARE(compare.settings().opacity, opacity);
        QCOMPARE(compare.comparePanesAction()->isChecked(), comparing);
        if (!comparing)
            return;
        QCOMPARE(std::pair(compare.paneA(), compare.paneB()), std::pair(3, 1));
        if (QTest::currentDataTag() == QLatin1String("wrong types fall back")) {
            // Escape leaves, and so it is stored (a window's keys need it active, which Wayland leaves to
            // the compositor: there the mode is left as the menu leaves it)
            if (QGuiApplication::platformName() == QLatin1String("wayland")) {
                compare.comparePanesAction()->trigger();
            } else {
                app.showWindow();
                QTest::keyClick(&app.window(), Qt::Key_Escape);
            }
        } else if (QTest::currentDataTag() == QLatin1String("pane B's movie removed")) {
            // a pane emptied on its own (its menu's Remove) ends the comparison it was part of
            app.pane(1).placing().removeMovieView();
        } else {
            // a playlist whose panes are empty leaves the mode, and so it is stored
            app.choose(QStringLiteral("b"));
        }
        QVERIFY(!compare.isComparing());
        app.restart();
        app.chooseWithEntries(entries);
        QVERIFY(!app.nib->paneCompare().isComparing());
    }
};

QTEST_MAIN(TestPaneCompare)
#include "tst_panecompare.moc"
