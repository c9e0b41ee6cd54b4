// What `cmake --install` puts on a system, installed into a temporary DESTDIR: the program, its desktop
// entry, its icon and its AppStream description, each checked with the desktop's own validators; and the
// manual page, copyright and change log a Debian package carries.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral("org.tetrapan.Tetrapan");
const QString DesktopEntry = QStringLiteral("usr/share/applications/org.tetrapan.Tetrapan.desktop");
const QString Metainfo = QStringLiteral("usr/share/metainfo/org.tetrapan.Tetrapan.metainfo.xml");
const QString Icon = QStringLiteral("usr/share/icons/hicolor/scalable/apps/tetrapan.svg");
const QString Binary = QStringLiteral("usr/bin/tetrapan");

struct Run {
    int exitCode = -1;
    QString output; // standard output and error together
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// The desktop entry's keys of its [Desktop Entry] group.
QHash<QString, QString> desktopKeys(const QString& path)
{
    QFile file(path);
    QHash<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        // the desktop actions' groups follow it
        if (line.startsWith(QLatin1Char('[')) && !keys.isEmpty())
            break;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private:
    QTemporaryDir destination_;

    QString installed(const QString& relative) const { return QDir(destination_.path()).filePath(relative); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(destination_.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), destination_.path());
        const Run install = run(QStringLiteral(CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(TETRAPAN_BINARY_DIR),
                                 QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                environment);
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    }

    void installsTheProgramAndItsDesktopFilesOnly()
    {
        QStringList files;
        QDirIterator it(destination_.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(destination_.path()).relativeFilePath(it.next());
        files.sort();
        QStringList expected{Binary,
                             DesktopEntry,
                             Icon,
                             Metainfo,
                             QStringLiteral("usr/share/doc/tetrapan/changelog.gz"),
                             QStringLiteral("usr/share/doc/tetrapan/copyright"),
                             QStringLiteral("usr/share/man/man1/tetrapan.1.gz")};
        expected.sort();
        QCOMPARE(files, expected);
        QVERIFY(QFileInfo(installed(Binary)).isExecutable());
        // the menu's icon is the one the windows show
        QFile source(QStringLiteral(TETRAPAN_SOURCE_DIR "/src/resources/icons/tetrapan.svg"));
        QFile icon(installed(Icon));
        QVERIFY(source.open(QIODevice::ReadOnly) && icon.open(QIODevice::ReadOnly));
        QCOMPARE(icon.readAll(), source.readAll());
        // the desktop entry starts the program with the files chosen, under that icon
        const QHash<QString, QString> entry = desktopKeys(installed(DesktopEntry));
        QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("tetrapan %F"));
        QCOMPARE(entry.value(QStringLiteral("Icon")), QFileInfo(Icon).baseName());
    }

    void validatorsAcceptTheDesktopFiles_data()
    {
        QTest::addColumn<QString>("validator");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList() << DesktopEntry;
        QTest::newRow("metainfo") << "appstreamcli"
                                  << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net")}
                                  << Metainfo;
    }

    void validatorsAcceptTheDesktopFiles()
    {
        QFETCH(QString, validator);
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        const Run check = run(validator, arguments << installed(file));
        QVERIFY2(check.exitCode == 0, qPrintable(validator + QStringLiteral(": ") + check.output));
        // desktop-file-validate says nothing at all about a good file, hints included
        if (validator == QLatin1String("desktop-file-validate"))
            QVERIFY2(check.output.isEmpty(), qPrintable(check.output));
    }

    void everyTypeInOpenWithIsOneTheDesktopKnows()
    {
        const QStringList types = desktopKeys(installed(DesktopEntry))
                                      .value(QStringLiteral("MimeType"))
                                      .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const char* common :
             {"video/mp4", "video/x-matroska", "video/webm", "video/quicktime", "video/x-msvideo",
              "video/mpeg", "video/ogg", "video/x-flv", "video/3gpp", "video/mp2t", "video/x-ms-wmv"})
            QVERIFY2(types.contains(QLatin1String(common)), common);
        const QMimeDatabase mimeTypes;
        for (const QString& type : types) {
            const QMimeType known = mimeTypes.mimeTypeForName(type);
            // an alias or a misspelt name would leave the files of that type without Tetrapan in "Open With"
            QVERIFY2(known.isValid() && known.name() == type,
                     qPrintable(type + QLatin1String(" is ") + known.name()));
        }
    }

    void metainfoAgreesWithTheProgram()
    {
        QFile file(installed(Metainfo));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString metainfo = QString::fromUtf8(file.readAll());
        QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(AppId)));
        QVERIFY(metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">%1</launchable>")
                                      .arg(QFileInfo(DesktopEntry).fileName())));
        QVERIFY(metainfo.contains(QStringLiteral("<binary>%1</binary>").arg(QFileInfo(Binary).fileName())));
        QVERIFY(metainfo.contains(QStringLiteral("<content_rating type=\"oars-1.1\"")));

        // the newest release is the installed program's version, which it tells without a display
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        const Run version = run(installed(Binary), {QStringLiteral("--version")}, environment);
        QCOMPARE(version.exitCode, 0);
        const QString release =
            QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(metainfo).captured(1);
        QCOMPARE(version.output.trimmed(), QStringLiteral("Tetrapan ") + release);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
