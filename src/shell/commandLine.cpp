#include "shell/commandLine.h"

#include "platform/fileNames.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

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

QStringList arguments(QStringList decoded, const char* const* argv)
{
    for (qsizetype i = 0; argv && i < decoded.size() && argv[i]; ++i)
        decoded[i] = fileNames::fromBytes(argv[i]);
    return decoded;
}

QStringList parse(const QCoreApplication& app, const char* const* argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watch up to four movies side by side. The files given open into panes 1 to 4 of the "
                       "playlist chosen in the playlist window, as if dropped on them."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Up to four movie files or file:// URIs."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments(app.arguments(), argv));

    QStringList paths;
    const QString here = QDir::currentPath();
    for (const QString& argument : parser.positionalArguments())
        paths << localPath(argument, here);
    return paths;
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
