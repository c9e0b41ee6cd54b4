#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tetrapan::test {

// A fresh home for one test: HOME and the XDG data and config folders point into a temporary folder, so
// the library and settings a test writes never touch the user's. Restores nothing: each test binary is
// its own process, and every test function makes its own home.
class TestHome {
public:
    TestHome();

    QString path() const { return dir_.path(); }
    QString dataHome() const { return path() + QStringLiteral("/.local/share"); }
    QString libraryFile() const { return dataHome() + QStringLiteral("/Tetrapan/Tetrapan.xml"); }
    QString configHome() const { return path() + QStringLiteral("/.config"); }
    QString settingsFile() const { return configHome() + QStringLiteral("/Tetrapan/Tetrapan.json"); }

private:
    QTemporaryDir dir_;
};

QByteArray readAll(const QString& filePath);
bool writeAll(const QString& filePath, const QByteArray& bytes);
// A library file's text: the XML declaration, the root element given and the records' lines.
inline const QByteArray LibraryHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
inline QByteArray library(const QByteArray& body, const QByteArray& root = "<tetrapan-library version=\"1\">")
{
    return LibraryHeader + root + "\n" + body + "</tetrapan-library>\n";
}

// A playlist's title and its files for panes 1 to 4 (empty names leave a pane out).
struct PlaylistFiles {
    QString title;
    QStringList files;
};

// A library of one playlist, chosen as when the program last quit, so the program loads it at start.
bool writeOnePlaylistHome(const TestHome& home, const QString& title, const QStringList& files);
// The library file alone: the playlists one after another at the top level.
bool writeLibraryFile(const TestHome& home, const QList<PlaylistFiles>& playlists);

} // namespace tetrapan::test
