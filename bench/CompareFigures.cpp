// tetrapan-bench review, two panes in one: what compare mode shows and what it costs, measured on the built
// program as a user starts it. Each figure starts the program afresh in a home of its own, its library and
// settings written before (the compare mode, its panes, kind and settings come back with the view state, the
// lock and the offsets with the library), drives it from outside (`tetrapan --action`, the pointer through
// the X server) and reads what it shows off the X server's screen; CPU from /proc, of the program and of the
// X server. The difference of a clip with itself (every channel of every pixel of A's place); the difference
// of two barcode clips a frame apart with the lock on, while playing (its band reads as the two frame
// numbers' differing bits); a wipe at 30 % between a test card and a flat colour (the first column of B's
// colour against the line); the pixel readout as shown beside the pointer, against flat colours decoded by
// FFmpeg apart; the CPU of four 720p panes playing with two of them compared against without, in alternating
// rounds; and the GUI thread's share of a core meanwhile.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "ChildProgram.h"
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "OutsideProgram.h"
#include "ProgramProcess.h"
#include "TestClips.h"
#include "TestHome.h"
#include "XServer.h"

#include "engine/FrameCombiner.h"
#include "panes/PaneCompare.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int ShowTimeoutMs = 30000;
constexpr int Shots = 30;
constexpr int ShotIntervalMs = 200;
constexpr double Aspect = 16.0 / 9.0;
// The test card's 4x4 cells are square: its picture is shown square.
constexpr double CardAspect = 1.0;
constexpr int SettleMs = 1000;
constexpr int CpuRoundMs = 8000;
constexpr int CpuRounds = 3;
// One frame of the 30 fps clips, a little short of it, so that B stays on the next frame throughout.
constexpr int OneFrameMs = 33;
const QString Title = QStringLiteral("Compared");
const QRect MainWindow(0, 0, 1280, 720);

using Views = std::array<QRect, 4>;

// The program started on one playlist of four files, its main window alone at MainWindow; the settings are
// added to those of such a start, and pane 2 leads by offset2Ms.
using Started = Outside;

bool start(Started& s, const QString& bus, const QStringList& files, const QVariantMap& settings,
           int offset2Ms = 0)
{
    std::map<int, QString> offsets;
    if (offset2Ms != 0)
        offsets[2] = QStringLiteral("offset=\"%1\"").arg(offset2Ms);
    return startOutside(s, bus, Title, files, MainWindow, settings, offsets);
}

bool action(const Started& s, const QString&, const char* name)
{
    return bench::action(s, name);
}

QVariantMap comparing(bool on, const char* kind, double wipeAt = 0.5)
{
    return {{QLatin1String(PaneCompare::CompareStateKey),
             QVariantMap{{QStringLiteral("comparing"), on},
                         {QStringLiteral("a"), 1},
                         {QStringLiteral("b"), 2},
                         {QStringLiteral("kind"), QLatin1String(kind)},
                         {QStringLiteral("wipeAt"), wipeAt},
                         {QStringLiteral("wipeVertical"), true}}}};
}

// Until the panes (1 to 4) show pictures; their middles, in the main window's right half of each.
bool shown(test::XServer& x, const Started& s, std::initializer_list<int> panes)
{
    std::vector<QRect> spots;
    for (int n : panes)
        spots.push_back(QRect(paneSpotOnScreen(s.main.geometry, n) - QPoint(8, 8), QSize(16, 16)));
    return waitUntilShown(x, spots, ShowTimeoutMs);
}

bool near(QColor a, QColor b, int by)
{
    return std::abs(a.red() - b.red()) <= by && std::abs(a.green() - b.green()) <= by &&
           std::abs(a.blue() - b.blue()) <= by;
}

// Each pane's view in a shot of the main window, from four panes of flat colours: from the middle of the
// picture out over it and over the black bars beside it, up to the window's own colour around the view.
Views findViews(const QImage& shot, const QRect& main)
{
    Views views;
    for (int n = 1; n <= 4; ++n) {
        const QPoint spot = paneSpotOnScreen(main, n) - main.topLeft() - QPoint(main.width() / 8, 0);
        const QColor picture = shot.pixelColor(spot);
        const auto edge = [&](QPoint step) {
            QPoint at = spot;
            const auto inside = [&](QPoint p) { return shot.rect().contains(p + step); };
            while (inside(at) && near(shot.pixelColor(at + step), picture, 24))
                at += step;
            while (inside(at) && near(shot.pixelColor(at + step), Qt::black, 12))
                at += step;
            return at;
        };
        views[n - 1] =
            QRect(QPoint(edge({-1, 0}).x(), edge({0, -1}).y()), QPoint(edge({1, 0}).x(), edge({0, 1}).y()));
    }
    return views;
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

// The readout's lines as they show beside the pointer ("Pane 1  R 255  G   0  B   0  Y′  54"), read back by
// drawing the text in the label's font on its background and taking, for each number, the value whose
// drawing matches the screen best.
class ReadoutReader {
public:
    ReadoutReader(const QImage& area, QColor background) : area_(area), background_(background)
    {
        // the label's font names its family alone, and takes its size from the window's, the program's own
        font_ = QFont(QStringLiteral("monospace")).resolve(QGuiApplication::font());
    }
    // Red, green and blue of pane n's line; none when its line is not there.
    std::optional<std::array<int, 3>> line(int n)
    {
        const QString name = QStringLiteral("Pane %1").arg(n);
        const QFontMetricsF metrics(font_);
        // the label stands 16 px right of and below the pointer, its text inside a padding of 4
        long best = -1;
        QPoint origin;
        const int expectedY = 20 + qRound((n - 1) * metrics.lineSpacing());
        for (int y = expectedY - 6; y <= expectedY + 6; ++y) {
            for (int x = 14; x <= 28; ++x) {
                const long off = difference(drawn(name), {x, y}, 0, qCeil(metrics.horizontalAdvance(name)));
                if (best < 0 || off < best)
                    best = off, origin = {x, y};
            }
        }
        std::array<int, 3> values{};
        QString text = name;
        for (int field = 0; field < 3; ++field) {
            text += QLatin1String(field == 0 ? "  R " : field == 1 ? "  G " : "  B ");
            const int from = qFloor(metrics.horizontalAdvance(text));
            const int to = qCeil(metrics.horizontalAdvance(text + QStringLiteral("000")));
            long closest = -1;
            for (int v = 0; v <= 255; ++v) {
                const long off = difference(drawn(text + QStringLiteral("%1").arg(v, 3)), origin, from, to);
                if (closest < 0 || off < closest)
                    closest = off, values[field] = v;
            }
            text += QStringLiteral("%1").arg(values[field], 3);
        }
        // nothing like a line of text there: a black patch matches no digit well
        const long blank = difference(drawn(QString()), origin, 0, qCeil(metrics.horizontalAdvance(text)));
        if (difference(drawn(text), origin, 0, qCeil(metrics.horizontalAdvance(text))) * 2 > blank)
            return std::nullopt;
        return values;
    }

private:
    QImage drawn(const QString& text) const
    {
        const QFontMetrics metrics(font_);
        QImage image(qMax(1, metrics.horizontalAdvance(text) + 2), metrics.height(), QImage::Format_RGB32);
        image.fill(background_);
        QPainter painter(&image);
        painter.setFont(font_);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(0, metrics.ascent()), text);
        return image;
    }
    // How far the drawing's columns from..to differ from the area's at origin, in summed grey levels.
    long difference(const QImage& drawing, QPoint origin, int from, int to) const
    {
        long sum = 0;
        for (int y = 0; y < drawing.height(); ++y) {
            for (int x = from; x < to; ++x) {
                const QPoint at = origin + QPoint(x, y);
                const int shown = area_.rect().contains(at) ? qGray(area_.pixel(at)) : 0;
                const int ink = x < drawing.width() ? qGray(drawing.pixel(x, y)) : qGray(background_.rgb());
                sum += std::abs(shown - ink);
            }
        }
        return sum;
    }

    QImage area_;
    QColor background_;
    QFont font_;
};

} // namespace

int runCompareFigures(ChildBench& program)
{
    const test::TestClips& clips = program.clips();
    test::XServer& x = program.x();
    test::SessionBus bus;
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "review: no session bus for the program's commands\n");
        return 1;
    }
    const auto grab = [&x](const Started& s) { return x.grab(s.main.geometry); };

    // The readout beside the pointer in pane 1, over four panes of flat colours, against the clips decoded
    // apart; the panes' places are learnt here for the figures after. (The test card is no help here: an HD
    // picture that does not name its colour matrix is decoded by the engine as Rec. 709 and by FFmpeg's
    // scaler as Rec. 601, the one it was written with.)
    const QStringList colours{clips.colour(1), clips.colour(2), clips.colour(3), clips.colour(4)};
    Views views;
    {
        Started s;
        if (!start(s, bus.address(), colours, {}) || !shown(x, s, {1, 2, 3, 4})) {
            std::fprintf(stderr, "review: the colour clips never showed\n");
            return 1;
        }
        runEventsFor(SettleMs);
        views = findViews(grab(s), s.main.geometry);
        std::fprintf(stderr, "review: pane 1's view %dx%d at %d,%d\n", views[0].width(), views[0].height(),
                     views[0].x(), views[0].y());
        const QPoint pointer = s.main.geometry.topLeft() + views[0].center();
        test::usePointer(
            {QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())});
        action(s, bus.address(), "pixel-readout");
        runEventsFor(SettleMs);
        const QImage area = x.grab(QRect(pointer, QSize(400, 120)));
        ReadoutReader reader(area, area.pixelColor(17, 17));
        int furthest = 0;
        for (int n = 1; n <= 4; ++n) {
            QImage decodedApart;
            test::readMovieBack(colours[n - 1], [&decodedApart](const QImage& picture, int) {
                decodedApart = picture;
                return false;
            });
            const auto value = reader.line(n);
            if (!value || decodedApart.isNull()) {
                std::fprintf(stderr, "review: the readout's line of pane %d did not read\n", n);
                furthest = -1;
                break;
            }
            const QColor decoded =
                decodedApart.pixelColor(decodedApart.width() / 2, decodedApart.height() / 2);
            std::fprintf(stderr, "review: readout %d %d %d, decoded apart %d %d %d\n", (*value)[0],
                         (*value)[1], (*value)[2], decoded.red(), decoded.green(), decoded.blue());
            furthest =
                std::max({furthest, std::abs((*value)[0] - decoded.red()),
                          std::abs((*value)[1] - decoded.green()), std::abs((*value)[2] - decoded.blue())});
        }
        print("review.readout_off_decoded_by", furthest, "per channel", 0);
        std::fprintf(stderr, "review: load average %.2f\n", loadAverage());
        s.process->quit();
    }

    // The difference of one clip with itself, stopped: every pixel of A's place, once the note naming the
    // kind has gone.
    {
        Started s;
        if (!start(s, bus.address(), QStringList(4, clips.benchBarcode30), comparing(true, "difference")) ||
            !shown(x, s, {2, 3, 4})) {
            std::fprintf(stderr, "review: the barcode clips never showed\n");
            return 1;
        }
        runEventsFor(int(PaneCompare::NoteShownFor.count()) + SettleMs);
        print("review.compare_self_difference_brightest", brightestChannel(grab(s).copy(views[0])), "of 255",
              0);
        std::fprintf(stderr, "review: load average %.2f\n", loadAverage());
        s.process->quit();
    }

    // B a frame after A, the lock on, playing: the difference's band holds the bits in which the two differ.
    {
        Started s;
        QVariantMap settings = comparing(true, "difference");
        settings.insert(QStringLiteral("optSyncLock"), true);
        if (!start(s, bus.address(), QStringList(4, clips.benchBarcode30), settings, OneFrameMs) ||
            !shown(x, s, {2, 3, 4}) || !action(s, bus.address(), "play-or-stop-all")) {
            std::fprintf(stderr, "review: the barcode clips never played\n");
            return 1;
        }
        runEventsFor(SettleMs + 500);
        int matched = 0;
        int read = 0;
        for (int i = 0; i < Shots; ++i) {
            const QImage shot = grab(s);
            const auto difference = test::FrameBarcode::readView(shot, views[0], Aspect);
            const auto b = test::FrameBarcode::readView(shot, views[1], Aspect);
            // pane 3 shows A's frame: the same clip without an offset
            const auto a = test::FrameBarcode::readView(shot, views[2], Aspect);
            if (difference && a && b) {
                ++read;
                // A's place may show the pair a frame before or after the one panes 2 and 3 show at that
                // moment, and they themselves may show one frame for a moment (the lock's own slips)
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
        std::fprintf(stderr, "review: %d of %d shots of the difference read\n", read, Shots);
        print("review.compare_locked_difference_one_frame_step", matched, "of 30", 0);
        std::fprintf(stderr, "review: load average %.2f\n", loadAverage());
        s.process->quit();
    }

    // A wipe at 30 % between the test card and a flat green: the first column of green against the line.
    {
        Started s;
        if (!start(s, bus.address(),
                   {clips.benchTestCard, clips.colour720p(2), clips.benchTestCard, clips.benchTestCard},
                   comparing(true, "wipe", 0.3)) ||
            !shown(x, s, {1, 2, 3, 4})) {
            std::fprintf(stderr, "review: the test cards never showed\n");
            return 1;
        }
        runEventsFor(SettleMs);
        const QImage a = grab(s).copy(views[0]);
        const QRect picture = FrameCombiner::pictureRect(views[0].size(), CardAspect, true).toAlignedRect();
        const int line = FrameCombiner::wipeLine(0.3, views[0].width());
        int worst = 0;
        for (int y : {picture.top() + picture.height() / 3, picture.center().y(), picture.bottom() - 2}) {
            int first = picture.right() + 1;
            for (int column = picture.left(); column <= picture.right(); ++column) {
                const QColor c = a.pixelColor(column, y);
                if (c.green() > 200 && c.red() < 40 && c.blue() < 40) {
                    first = column;
                    break;
                }
            }
            worst = std::max(worst, std::abs(first - line));
        }
        print("review.compare_wipe_30pct_line_off_by", worst, "px", 0);
        std::fprintf(stderr, "review: load average %.2f\n", loadAverage());
        s.process->quit();
    }

    // CPU of four 720p panes playing, two of them compared in a difference and not, in alternating rounds
    // (which goes first alternating too), the program's and the X server's; and the GUI thread's share of a
    // core while compared.
    std::vector<double> ratios, guiShares;
    for (int round = 0; round < CpuRounds; ++round) {
        // the program's and the X server's together, and the X server's alone
        std::array<double, 2> cpu{}, xCpu{};
        for (int turn = 0; turn < 2; ++turn) {
            const bool compared = (round + turn) % 2 == 1;
            Started s;
            if (!start(s, bus.address(), QStringList(4, clips.benchBarcode),
                       comparing(compared, "difference")) ||
                !shown(x, s, {2, 3, 4}) || !action(s, bus.address(), "play-or-stop-all")) {
                std::fprintf(stderr, "review: the 720p clips never played\n");
                return 1;
            }
            runEventsFor(SettleMs);
            const qint64 pid = s.process->pid();
            const double xBefore = cpuSecondsOf(program.xServerPid());
            const double before = cpuSecondsOf(pid) + xBefore;
            const double guiBefore = threadCpuSecondsOf(pid, pid);
            const auto threadsBefore = threadCpuSecondsByName(pid);
            runEventsFor(CpuRoundMs);
            const double xAfter = cpuSecondsOf(program.xServerPid());
            cpu[compared] = cpuSecondsOf(pid) + xAfter - before;
            xCpu[compared] = xAfter - xBefore;
            if (compared)
                guiShares.push_back((threadCpuSecondsOf(pid, pid) - guiBefore) / (CpuRoundMs / 1000.0));
            // where the program's CPU goes, by thread (TETRAPAN_BENCH_THREADS=1)
            if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_THREADS"))
                printThreadCpu(compared ? "review:   comparing, threads:"
                                        : "review:   without comparing, threads:",
                               threadsBefore, threadCpuSecondsByName(pid));
            // a side that drops frames spends less: what each stopping movie tells of its dropped frames
            const qsizetype said = s.process->errors().size();
            action(s, bus.address(), "play-or-stop-all");
            runEventsFor(SettleMs);
            const qint64 dropped = droppedInStopLines(s.process->errors(), said);
            std::fprintf(stderr, "review: %s, %lld frames dropped\n",
                         compared ? "comparing" : "without comparing", static_cast<long long>(dropped));
            s.process->quit();
        }
        std::fprintf(
            stderr,
            "review: CPU seconds without comparing %.2f (X server %.2f), comparing %.2f (X server %.2f) "
            "(load average %.2f)\n",
            cpu[0], xCpu[0], cpu[1], xCpu[1], loadAverage());
        if (cpu[0] > 0)
            ratios.push_back(cpu[1] / cpu[0]);
    }
    print("review.cpu_compare_vs_not", ratios.empty() ? -1 : median(ratios), "x", 3);
    print("review.compare_gui_thread_core_share", median(guiShares), "of a core", 3);
    std::fprintf(stderr, "review: load average %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
