#include "shell/commandLine.h"

#include "platform/fileNames.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace tetrapan::commandLine {

bool asksForTextOnly(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all" ||
            argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

bool asksForActionList(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            return false;
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

Request parse(const QCoreApplication& app, const char* const* argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watch up to four movies side by side. The files given open into panes 1 to 4 of the "
                       "playlist chosen in the playlist window, as if dropped on them."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Up to four movie files or recording folders, or file:// URIs."),
                                 QStringLiteral("[FILE...]"));
    const QCommandLineOption list(
        QStringLiteral("list-actions"),
        QStringLiteral("Print every command's name, menu text and key, one a line."));
    const QCommandLineOption action(QStringLiteral("action"),
                                    QStringLiteral("Carry out the command in the running Tetrapan, or start "
                                                   "Tetrapan and carry it out once the playlist is loaded. "
                                                   "Exit code 2 when it is refused."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption pane(QStringLiteral("pane"),
                                  QStringLiteral("The pane (1 to 4) a command of the pane menu acts on."),
                                  QStringLiteral("N"));
    const QCommandLineOption playlist(
        QStringLiteral("playlist"),
        QStringLiteral("Choose this playlist: its title, or its folders' titles "
                       "and its own separated by \"/\"."),
        QStringLiteral("TITLE"));
    parser.addOptions({list, action, pane, playlist});
    parser.process(arguments(app.arguments(), argv));

    Request request;
    const QString here = QDir::currentPath();
    for (const QString& argument : parser.positionalArguments())
        request.files << localPath(argument, here);
    request.listActions = parser.isSet(list);
    request.action = parser.value(action);
    request.playlist = parser.value(playlist);
    if (parser.isSet(pane)) {
        bool ok = false;
        request.viewNo = parser.value(pane).toInt(&ok);
        if (!ok || request.viewNo < 1 || request.viewNo > 4 || request.action.isEmpty()) {
            std::fprintf(stderr, "%s: --pane takes a pane number from 1 to 4, with --action.\n",
                         qPrintable(QCoreApplication::applicationName().toLower()));
            std::exit(EXIT_FAILURE);
        }
    }
    return request;
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
    QUrl url(argument);
    if (!url.isLocalFile())
        return {};
    // "localhost" names this machine as well as an empty host does
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        url.setHost(QString());
    // "%00" decodes to a character no file name can hold; the name would end there, at another file
    const QString local = fileNames::fromFileUrl(url);
    if (local.contains(QChar(0)))
        return {};
    return QDir::cleanPath(local);
}

} // namespace tetrapan::commandLine
