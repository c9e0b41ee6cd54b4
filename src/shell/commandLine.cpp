#include "shell/commandLine.h"

#include "panes/TimeForm.h"
#include "platform/fileNames.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tetrapan::commandLine {

namespace {

// The arguments before "--", which ends the options: whatever follows it is a file, however it is named.
// The arguments before "--", without the values of the options that take one as the next argument: the
// parser reads "--playlist --export" as the playlist named "--export", and so must the checks made before it.
QList<QByteArrayView> optionsOf(int argc, const char* const* argv)
{
    static constexpr std::array<const char*, 7> TakeValues{"--action", "--pane",  "--playlist", "--export",
                                                           "--size",   "--range", "--sound"};
    QList<QByteArrayView> options;
    for (int i = 1; i < argc && QByteArrayView(argv[i]) != "--"; ++i) {
        options.append(argv[i]);
        if (std::any_of(
                TakeValues.cbegin(), TakeValues.cend(),
                [argument = QByteArrayView(argv[i])](const char* option) { return argument == option; }))
            ++i;
    }
    return options;
}

} // namespace

bool asksForTextOnly(int argc, const char* const* argv)
{
    for (const QByteArrayView argument : optionsOf(argc, argv)) {
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all" ||
            argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

bool asksForExport(int argc, const char* const* argv)
{
    for (const QByteArrayView argument : optionsOf(argc, argv)) {
        // the export's own options without it are refused there too, as is anything else asked with it
        for (const char* option : {"--export", "--size", "--range", "--sound", "--labels"}) {
            if (argument == option || argument.startsWith(QByteArray(option) + '='))
                return true;
        }
    }
    return false;
}

bool asksForActionList(int argc, const char* const* argv)
{
    for (const QByteArrayView argument : optionsOf(argc, argv)) {
        if (argument == "--list-actions")
            return true;
    }
    return false;
}

QStringList arguments(QStringList decoded, const char* const* argv)
{
    for (qsizetype i = 0; argv && i < decoded.size() && argv[i]; ++i)
        decoded[i] = fileNames::fromBytes(argv[i]);
    return decoded;
}

namespace {

struct Options {
    const QCommandLineOption list{
        QStringLiteral("list-actions"),
        QStringLiteral("Print every command's name, menu text and key, one a line.")};
    const QCommandLineOption action{QStringLiteral("action"),
                                    QStringLiteral("Carry out the command in the running Tetrapan, or start "
                                                   "Tetrapan and carry it out once the playlist is loaded. "
                                                   "Exit code 2 when it is refused."),
                                    QStringLiteral("NAME")};
    const QCommandLineOption pane{QStringLiteral("pane"),
                                  QStringLiteral("The pane (1 to 4) a command of the pane menu acts on."),
                                  QStringLiteral("N")};
    const QCommandLineOption playlist{
        QStringLiteral("playlist"),
        QStringLiteral("Choose this playlist: its title, or its folders' titles "
                       "and its own separated by \"/\"."),
        QStringLiteral("TITLE")};
    const QCommandLineOption exportTo{
        QStringLiteral("export"),
        QStringLiteral(
            "Export the playlist (--playlist, else the one Tetrapan shows at start) as File > Export "
            "Video does, into OUT (.mp4, .webm or .mkv), without a window or a display. Progress "
            "goes to standard error. Exit code 0 when written, 2 when the playlist is not found or "
            "has no movie, 130 or 143 when interrupted, 1 for any other failure; a failed export "
            "leaves no file."),
        QStringLiteral("OUT")};
    const QCommandLineOption size{QStringLiteral("size"),
                                  QStringLiteral("The exported picture's size in even numbers of pixels "
                                                 "(default 1280x720)."),
                                  QStringLiteral("WxH")};
    const QCommandLineOption range{
        QStringLiteral("range"),
        QStringLiteral("The part to export, as the time line shows it: 1:05-1:35, 65-95 (seconds) "
                       "(default: the first pane's whole movie)."),
        QStringLiteral("FROM-TO")};
    const QCommandLineOption sound{
        QStringLiteral("sound"),
        QStringLiteral("One pane's sound (1 to 4), all panes' mixed (mix, the default), or none."),
        QStringLiteral("PANE|mix|none")};
    const QCommandLineOption labels{QStringLiteral("labels"),
                                    QStringLiteral("Write each pane's file name and time on its picture.")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(QStringLiteral(
            "Watch up to four movies side by side. The files given open into panes 1 to 4 of the "
            "playlist chosen in the playlist window, as if dropped on them."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(
            QStringLiteral("files"),
            QStringLiteral("Up to four movie files or recording folders, or file:// URIs."),
            QStringLiteral("[FILE...]"));
        parser.addOptions({list, action, pane, playlist, exportTo, size, range, sound, labels});
    }
};

// 2 to 8192 pixels a side: the encoders' own limits lie beyond what a picture of four movies needs
constexpr int LargestSide = 8192;

std::optional<ExportFormat> formatOf(const QString& path)
{
    for (ExportFormat format : {ExportFormat::Mp4, ExportFormat::WebM, ExportFormat::Matroska}) {
        if (path.endsWith(QLatin1Char('.') + exportExtension(format), Qt::CaseInsensitive))
            return format;
    }
    return std::nullopt;
}

std::optional<ExportRequest> exportRequest(const QCommandLineParser& parser, const Options& options,
                                           QString* why)
{
    ExportRequest request;
    const QString given = parser.value(options.exportTo);
    request.outputPath = localPath(given, QDir::currentPath());
    // the file to write is not there yet: a name that looks like a URI ("take:2.mp4") and is no file:// one
    // is a name
    if (request.outputPath.isEmpty() && !given.isEmpty() && !given.startsWith(u"file:", Qt::CaseInsensitive))
        request.outputPath = QDir::cleanPath(QDir::current().absoluteFilePath(given));
    const std::optional<ExportFormat> format = formatOf(request.outputPath);
    if (request.outputPath.isEmpty() || !format) {
        *why = QStringLiteral("--export takes the file to write, named .mp4, .webm or .mkv.");
        return std::nullopt;
    }
    request.choices.format = *format;
    if (parser.isSet(options.size)) {
        static const QRegularExpression form(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch match = form.match(parser.value(options.size));
        const QSize size =
            match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
        // the encoders halve the colour's resolution both ways, and refuse an odd side in their own words
        if (size.width() < 2 || size.height() < 2 || size.width() > LargestSide ||
            size.height() > LargestSide || size.width() % 2 != 0 || size.height() % 2 != 0) {
            *why = QStringLiteral("--size takes the picture's width and height in pixels, such as 1920x1080, "
                                  "even numbers from 2 to %1 each.")
                       .arg(LargestSide);
            return std::nullopt;
        }
        request.choices.size = size;
    }
    if (parser.isSet(options.range)) {
        const QStringList ends = parser.value(options.range).split(QLatin1Char('-'));
        const std::optional<double> from = ends.size() == 2 ? TimeForm::secondsOf(ends[0]) : std::nullopt;
        const std::optional<double> to = ends.size() == 2 ? TimeForm::secondsOf(ends[1]) : std::nullopt;
        // in whole milliseconds, as the export reads it: a range shorter than one is none, which would be the
        // whole movie
        if (!from || !to || std::llround(*to * 1000) <= std::llround(*from * 1000)) {
            *why =
                QStringLiteral("--range takes two times on the time line, the first before the second, such "
                               "as 1:05-1:35 or 65-95.");
            return std::nullopt;
        }
        request.rangeMs = std::pair(std::llround(*from * 1000), std::llround(*to * 1000));
    }
    const QString sound = parser.value(options.sound);
    if (sound == QLatin1String("none")) {
        request.choices.sound = ExportSound::None;
    } else if (sound.size() == 1 && sound[0] >= QLatin1Char('1') && sound[0] <= QLatin1Char('4')) {
        request.choices.sound = ExportSound::OnePane;
        request.choices.soundPane = sound.toInt() - 1;
    } else if (!sound.isEmpty() && sound != QLatin1String("mix")) {
        *why = QStringLiteral("--sound takes a pane (1 to 4), mix or none.");
        return std::nullopt;
    }
    if (parser.isSet(options.labels))
        request.choices.labels = ExportLabels::NameAndTime;
    return request;
}

std::optional<Request> requestOf(const QCommandLineParser& parser, const Options& options, QString* why)
{
    Request request;
    const QString here = QDir::currentPath();
    for (const QString& argument : parser.positionalArguments())
        request.files << localPath(argument, here);
    request.listActions = parser.isSet(options.list);
    request.action = parser.value(options.action);
    request.playlist = parser.value(options.playlist);
    if (parser.isSet(options.pane)) {
        bool ok = false;
        request.viewNo = parser.value(options.pane).toInt(&ok);
        if (!ok || request.viewNo < 1 || request.viewNo > 4 || request.action.isEmpty()) {
            *why = QStringLiteral("--pane takes a pane number from 1 to 4, with --action.");
            return std::nullopt;
        }
    }
    if (!parser.isSet(options.exportTo)) {
        for (const QCommandLineOption* option :
             {&options.size, &options.range, &options.sound, &options.labels}) {
            if (parser.isSet(*option)) {
                *why = QStringLiteral("--%1 goes with --export.").arg(option->names().constFirst());
                return std::nullopt;
            }
        }
        return request;
    }
    if (!request.files.isEmpty() || !request.action.isEmpty() || request.listActions) {
        *why = QStringLiteral("--export exports a playlist of the library: it takes no files, --action or "
                              "--list-actions.");
        return std::nullopt;
    }
    request.exporting = exportRequest(parser, options, why);
    if (!request.exporting)
        return std::nullopt;
    return request;
}

} // namespace

Request parse(const QCoreApplication& app, const char* const* argv)
{
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    parser.process(arguments(app.arguments(), argv));
    QString why;
    const std::optional<Request> request = requestOf(parser, options, &why);
    if (!request) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName().toLower()),
                     qPrintable(why));
        std::exit(EXIT_FAILURE);
    }
    return *request;
}

std::optional<Request> read(const QStringList& arguments, QString* why)
{
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    if (!parser.parse(arguments)) {
        *why = parser.errorText();
        return std::nullopt;
    }
    return requestOf(parser, options, why);
}

QString localPath(const QString& argument, const QString& workingFolder)
{
    // a scheme is letters, digits, "+", "-" and "." after a letter, then ":"; a one-letter "scheme" would be
    // a path on another system, which is no concern here
    static const QRegularExpression uri(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (argument.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument));
    // a file whose name only looks like a URI ("take:2.mp4") is still that file
    if (!uri.match(argument).hasMatch() || fileNames::exists(path))
        return path;
    return QDir::cleanPath(fileNames::fromFileUrl(QUrl(argument)));
}

} // namespace tetrapan::commandLine
