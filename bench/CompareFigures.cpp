// tetrapan-bench review, two panes in one: what compare mode shows, read off the X server's screen, and what
// it costs. The difference of a clip with itself (every channel of every pixel of A's place); the difference
// of two barcode clips a frame apart with the lock on, while playing (its band reads as the two frame
// numbers' differing bits); a wipe at 30 % between a test card and a flat colour (the first column of B's
// colour against the line); the pixel readout against flat colours decoded by FFmpeg apart; the CPU of four
// 720p panes playing with two of them compared against without; and the GUI thread's share of a core
// meanwhile.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/FrameCombiner.h"
#include "engine/MovieView.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "panes/MovController.h"
#include "panes/PaneCompare.h"
#include "panes/PaneOffsets.h"
#include "panes/PixelReadout.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/ObjectContext.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr int Shots = 30;
constexpr int ShotIntervalMs = 200;
constexpr double Aspect = 16.0 / 9.0;
// The test card's 4x4 cells are square: its picture is shown square.
constexpr double CardAspect = 1.0;
constexpr int CpuRoundMs = 8000;
constexpr int CpuRounds = 2;
// One frame of the 30 fps clips, a little short of it, so that B stays on the next frame throughout.
constexpr qint64 OneFrameMs = 33;

// Chooses a new playlist of these files in panes 1 to 4 and waits until the panes hold them.
bool choose(BenchProgram& program, const QStringList& files)
{
    MainNib& nib = program.nib();
    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId node = LibraryRules::createNode(context, program.settings(), false);
    LibraryRules::placeNode(context, node, NoObject);
    for (int n = 1; n <= 4; ++n) {
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
        context.setValue(entry, LibrarySchema::ViewNo, n);
        context.setValue(entry, LibrarySchema::FilePath, files.value(n - 1));
    }
    MovController& controller = nib.movController();
    controller.setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
    return runEventsUntil(
        [&] {
            return !controller.hasPendingLoad() && nib.qtView(4).filePath() == files.value(3) &&
                   nib.qtView(1).isPlayable() && nib.qtView(2).isPlayable();
        },
        TimeoutMs);
}

QRect placeOf(QWidget& view, const QRect& screen)
{
    return {view.mapToGlobal(QPoint(0, 0)) - screen.topLeft(), view.size()};
}

// One screenshot of the main window, and where pane n's view is in it.
struct Shot {
    QImage image;
    std::array<QRect, 4> views;
};

Shot shoot(BenchProgram& program)
{
    MainWindow& window = program.nib().mainWindow();
    const QRect screen(window.mapToGlobal(QPoint(0, 0)), window.size());
    Shot shot{program.x().grab(screen), {}};
    for (int n = 1; n <= 4; ++n)
        shot.views[n - 1] = placeOf(*program.nib().qtView(n).movieView(), screen);
    return shot;
}

int brightestChannel(const QImage& image)
{
    int most = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            most = std::max({most, c.red(), c.green(), c.blue()});
        }
    }
    return most;
}

} // namespace

int runCompareFigures(BenchProgram& program)
{
    MainNib& nib = program.nib();
    const test::TestClips& clips = program.clips();
    MovController& controller = nib.movController();
    PaneCompare& compare = nib.paneCompare();

    // The difference of one clip with itself, stopped.
    if (!choose(program, QStringList(4, clips.benchBarcode30))) {
        std::fprintf(stderr, "review: the barcode clips never loaded for comparing\n");
        return 1;
    }
    compare.setKind(CompareKind::Difference);
    compare.compare(1, 2);
    // past the note naming the kind, which goes after PaneCompare::NoteShownFor
    runEventsFor(4000);
    {
        const Shot shot = shoot(program);
        // all of A's place but the note naming the kind over it
        QImage place = shot.image.copy(shot.views[0]);
        QWidget& pane = nib.qtView(1);
        for (const QLabel* note : pane.findChildren<QLabel*>()) {
            if (note->isVisible())
                QPainter(&place).fillRect(
                    QRect(nib.qtView(1).movieView()->mapFrom(&pane, note->pos()), note->size()), Qt::black);
        }
        print("review.compare_self_difference_brightest", brightestChannel(place), "of 255", 0);
    }

    // B a frame after A, the lock on, playing: the difference's band holds the bits in which the two differ.
    userDefaultsExtension::setDefaultBoolValue(program.settings(), true,
                                               QLatin1String(SyncLock::OptSyncLock));
    controller.offsets().setOffsetMs(2, OneFrameMs);
    controller.skipAllMovieTime(MovController::SkipToStart);
    runEventsFor(1000);
    controller.changeAllMoviePlay();
    runEventsFor(1500);
    int matched = 0;
    int read = 0;
    for (int i = 0; i < Shots; ++i) {
        const Shot shot = shoot(program);
        const auto difference = test::FrameBarcode::readView(shot.image, shot.views[0], Aspect);
        const auto b = test::FrameBarcode::readView(shot.image, shot.views[1], Aspect);
        // pane 3 shows A's frame: the same clip without an offset
        const auto a = test::FrameBarcode::readView(shot.image, shot.views[2], Aspect);
        if (difference && a && b) {
            ++read;
            // A's place may show the pair a frame before or after the one panes 2 and 3 show at that moment,
            // and they themselves may show one frame for a moment (the lock's own slips, counted apart)
            bool step = false;
            for (int m = std::min(*a, *b) - 1; m <= std::max(*a, *b); ++m)
                step = step || *difference == (m ^ (m + 1));
            if (step)
                ++matched;
            else
                std::fprintf(stderr, "review: A at %d, B at %d, their difference reads %d\n", *a, *b,
                             *difference);
        }
        runEventsFor(ShotIntervalMs);
    }
    controller.setAllMoviePlay(false);
    controller.offsets().setOffsetMs(2, 0);
    std::fprintf(stderr, "review: %d of %d shots of the difference read\n", read, Shots);
    print("review.compare_locked_difference_one_frame_step", matched, "of 30", 0);
    userDefaultsExtension::setDefaultBoolValue(program.settings(), false,
                                               QLatin1String(SyncLock::OptSyncLock));
    compare.leave();

    // A wipe at 30 % between the test card and a flat green: the first column of green against the line.
    if (!choose(program,
                {clips.benchTestCard, clips.colour720p(2), clips.benchTestCard, clips.benchTestCard})) {
        std::fprintf(stderr, "review: the test cards never loaded for comparing\n");
        return 1;
    }
    compare.setKind(CompareKind::Wipe);
    compare.setWipeAt(0.3);
    compare.compare(1, 2);
    runEventsFor(1500);
    {
        MovieView& view = *nib.qtView(1).movieView();
        const Shot shot = shoot(program);
        const QImage a = shot.image.copy(shot.views[0]);
        const QRect picture = FrameCombiner::pictureRect(view.size(), CardAspect, true).toAlignedRect();
        const int line = FrameCombiner::wipeLine(0.3, view.width());
        int worst = 0;
        for (int y : {picture.top() + picture.height() / 3, picture.center().y(), picture.bottom() - 2}) {
            int first = picture.right() + 1;
            for (int x = picture.left(); x <= picture.right(); ++x) {
                const QColor c = a.pixelColor(x, y);
                if (c.green() > 200 && c.red() < 40 && c.blue() < 40) {
                    first = x;
                    break;
                }
            }
            worst = std::max(worst, std::abs(first - line));
        }
        print("review.compare_wipe_30pct_line_off_by", worst, "px", 0);
    }

    // The readout in the middle of each pane of four flat colours, against the clips decoded apart. (The test
    // card is no help here: an HD picture that does not name its colour matrix is decoded by the engine as
    // Rec. 709 and by FFmpeg's scaler as Rec. 601, the one it was written with.)
    compare.leave();
    const QStringList colours{clips.colour(1), clips.colour(2), clips.colour(3), clips.colour(4)};
    if (!choose(program, colours)) {
        std::fprintf(stderr, "review: the colour clips never loaded for the readout\n");
        return 1;
    }
    runEventsFor(1000);
    // read at points of the bench's choosing, not under the pointer: the readout is not shown
    PixelReadout& readout = nib.pixelReadout();
    int furthest = -1;
    for (int n = 1; n <= 4; ++n) {
        QImage decodedApart;
        test::readMovieBack(colours[n - 1], [&decodedApart](const QImage& picture, int) {
            decodedApart = picture;
            return false;
        });
        // twice: the first answer may still be of the point before
        for (int round = 0; round < 2; ++round) {
            readout.readAt(n, nib.qtView(n).movieView()->rect().center());
            runEventsFor(500);
        }
        const std::optional<PixelValue> value = readout.value(n);
        if (!value || !value->decoded || decodedApart.isNull())
            continue;
        const QColor decoded = decodedApart.pixelColor(decodedApart.width() / 2, decodedApart.height() / 2);
        std::fprintf(stderr, "review: readout %d %d %d, decoded apart %d %d %d\n", value->red, value->green,
                     value->blue, decoded.red(), decoded.green(), decoded.blue());
        furthest =
            std::max({furthest, std::abs(value->red - decoded.red()),
                      std::abs(value->green - decoded.green()), std::abs(value->blue - decoded.blue())});
    }
    print("review.readout_off_decoded_by", furthest, "per channel", 0);
    compare.leave();

    // CPU of four 720p panes playing without and with two of them compared, in turns from the beginning, and
    // the GUI thread's share of a core while compared.
    if (!choose(program, QStringList(4, clips.benchBarcode))) {
        std::fprintf(stderr, "review: the 720p clips never loaded for comparing\n");
        return 1;
    }
    compare.setKind(CompareKind::Difference);
    const qint64 self = QCoreApplication::applicationPid();
    std::array<double, 2> cpu{};
    double guiSeconds = 0;
    for (int round = 0; round < CpuRounds * 2; ++round) {
        const bool compared = round % 2 == 1;
        if (compared)
            compare.compare(1, 2);
        else
            compare.leave();
        controller.skipAllMovieTime(MovController::SkipToStart);
        controller.setAllMoviePlay(true);
        runEventsFor(1000);
        const double before = cpuSecondsOf(self) + cpuSecondsOf(program.xServerPid());
        const double guiBefore = threadCpuSecondsOf(self, self);
        runEventsFor(CpuRoundMs);
        cpu[compared] += cpuSecondsOf(self) + cpuSecondsOf(program.xServerPid()) - before;
        if (compared)
            guiSeconds += threadCpuSecondsOf(self, self) - guiBefore;
        controller.setAllMoviePlay(false);
    }
    compare.leave();
    std::fprintf(stderr, "review: CPU seconds without comparing %.2f, comparing %.2f\n", cpu[0], cpu[1]);
    print("review.cpu_compare_vs_not", cpu[0] > 0 ? cpu[1] / cpu[0] : -1, "x", 3);
    print("review.compare_gui_thread_core_share", guiSeconds / (CpuRounds * CpuRoundMs / 1000.0), "of a core",
          3);
    return 0;
}

} // namespace tetrapan::bench
