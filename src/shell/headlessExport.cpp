#include "shell/headlessExport.h"

#include "export/VideoExport.h"
#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"
#include "platform/fileNames.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/commandLine.h"
#include "shell/desktopLaunch.h"
#include "shell/exportFromLibrary.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace tetrapan::headlessExport {

namespace {

// A signal handler reaches nothing but what lives outside every object: these are all it touches.
std::atomic<bool> interrupted{false};
std::atomic<int> interruptingSignal{0};

extern "C" void noteInterruption(int signalNumber)
{
    interruptingSignal.store(signalNumber);
    interrupted.store(true);
}

// SIGINT, SIGTERM and SIGHUP cancel the export while this lives; the export looks before every frame. A
// signal ignored at start stays ignored: nohup's SIGHUP, so the export outlives its terminal, and SIGINT of
// an export a script started in the background, which the script's Ctrl+C is not for.
class InterruptionCancels {
public:
    InterruptionCancels()
    {
        struct sigaction action {};
        action.sa_handler = noteInterruption;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < Signals.size(); ++i) {
            sigaction(Signals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN)
                sigaction(Signals[i], &action, nullptr);
        }
    }
    ~InterruptionCancels()
    {
        for (size_t i = 0; i < Signals.size(); ++i)
            sigaction(Signals[i], &previous_[i], nullptr);
    }
    InterruptionCancels(const InterruptionCancels&) = delete;
    InterruptionCancels& operator=(const InterruptionCancels&) = delete;

private:
    // SIGHUP: the terminal or the remote session it ran in was closed
    static constexpr std::array<int, 3> Signals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, Signals.size()> previous_{};
};

// Progress on standard error: a bar redrawn in place on a terminal; else, for a log, one line per 5 %.
class ProgressLines {
public:
    static constexpr int LineStep = 5;   // percent
    static constexpr int BarLength = 30; // characters

    ProgressLines() : terminal_(isatty(STDERR_FILENO) == 1) {}

    void show(const ExportProgress& progress)
    {
        if (progress.framesTotal <= 0)
            return;
        const int percent = int(progress.framesDone * 100 / progress.framesTotal);
        const QString left = progress.secondsLeft >= 0 ? timeLeftText(progress.secondsLeft) : QString();
        if (!terminal_) {
            if (percent / LineStep <= shownStep_)
                return;
            shownStep_ = percent / LineStep;
            const QString line = QStringLiteral("Exported %1 %").arg(shownStep_ * LineStep);
            std::fprintf(stderr, "%s\n",
                         qPrintable(left.isEmpty() ? line : line + QStringLiteral(", ") + left));
            return;
        }
        const int filled = percent * BarLength / 100;
        const QString bar =
            QStringLiteral("[%1%2] %3 %  %4")
                .arg(QString(filled, QLatin1Char('#')), QString(BarLength - filled, QLatin1Char('.')))
                .arg(percent, 3)
                .arg(left);
        if (bar == shownBar_)
            return;
        shownBar_ = bar;
        // the line is cleared to its end, as the time left may be shorter than before
        std::fprintf(stderr, "\r%s\033[K", qPrintable(bar));
        std::fflush(stderr);
    }

    // Ends the bar's line, so what comes next starts on a line of its own.
    void end() const
    {
        if (terminal_ && !shownBar_.isEmpty())
            std::fputc('\n', stderr);
    }

private:
    bool terminal_;
    int shownStep_ = 0;
    QString shownBar_;
};

int failure(int status, const QString& why)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName().toLower()),
                 qPrintable(why));
    return status;
}

} // namespace

int run(int argc, char** argv)
{
    // What it says goes to standard error, often piped (`| head`, a log reader that stops): a reader gone
    // would end the program at its next line with the partial file left. The line is lost instead, and the
    // export goes on to its end.
    std::signal(SIGPIPE, SIG_IGN);
    // No window is shown, so no display is needed; the labels' text is drawn with a QGuiApplication's fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    desktopLaunch::describeApplication();
    const commandLine::Request request = commandLine::parse(app, argv);
    // the arguments' first look and the parser agree on what is an export; should they ever not, it is said
    if (!request.exporting)
        return failure(1, QStringLiteral("--export takes the file to write, such as --export out.mp4."));
    const commandLine::ExportRequest& asked = *request.exporting;

    const QTemporaryDir scratch;
    const QString settingsCopy = scratch.filePath(QStringLiteral("Tetrapan.json"));
    QString why;
    // a copy, so that nothing the settings do on reading (a damaged file is put aside) reaches the user's
    // file
    if (!scratch.isValid() || !SettingsDomain::copyStandardFile(settingsCopy, &why))
        return failure(1, QStringLiteral("The settings cannot be read: %1").arg(why));
    SettingsDomain settings(settingsCopy);
    Tetrapan_AppDelegate::setupDefaults(settings);

    StoreCoordinator store(LibrarySchema::model());
    // the library is another program's to write, and this one's only to read
    store.setSaveGuard([] { return QStringLiteral("an export does not change the library"); });
    StoreError error;
    if (!store.addXmlStore(Tetrapan_AppDelegate::libraryFilePath(), error))
        return failure(1, QStringLiteral("The library cannot be read: %1").arg(error.text()));
    ObjectContext library(store);

    exportFromLibrary::Refusal refusal;
    const ObjectId playlist = exportFromLibrary::playlistOf(library, settings, request.playlist, &refusal);
    if (playlist == NoObject)
        return failure(refusal.status, refusal.reason);
    QStringList notes;
    const std::optional<ExportJob> job =
        exportFromLibrary::jobFor(library, settings, playlist, asked, &refusal, &notes);
    for (const QString& note : std::as_const(notes))
        std::fprintf(stderr, "%s\n", qPrintable(note));
    if (!job)
        return failure(refusal.status, refusal.reason);
    std::fprintf(stderr, "Exporting \"%s\" into %s\n",
                 qPrintable(library.value(playlist, LibrarySchema::Title).toString()),
                 qPrintable(fileNames::shown(job->outputPath)));

    keepLibraryNotesQuiet();
    ProgressLines lines;
    ExportResult result;
    {
        const InterruptionCancels cancelling;
        result = runVideoExport(*job, interrupted,
                                [&lines](const ExportProgress& progress) { lines.show(progress); });
    }
    lines.end();
    if (result.cancelled)
        return failure(128 + interruptingSignal.load(), QStringLiteral("Interrupted; nothing was written."));
    if (!result.ok)
        return failure(1, result.message);
    if (!result.warning.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(result.warning));
    std::fprintf(stderr, "Wrote %s (%lld frames)\n", qPrintable(fileNames::shown(job->outputPath)),
                 static_cast<long long>(result.frames));
    return 0;
}

} // namespace tetrapan::headlessExport
