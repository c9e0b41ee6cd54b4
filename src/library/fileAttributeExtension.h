#pragma once

#include <QString>
#include <QVariantMap>

namespace tetrapan {

// Looking at files on disk and turning numbers into display text. Symbolic links play the part of
// aliases; there are no type codes, and a display name is the last path component. Every text is made in
// the C locale, never the user's, because identifiers and sizes end up in stored files and tables alike.
namespace fileAttributeExtension {

enum FileExistence { FileMissing = 0, FileIsFile = 1, FileIsFolder = 2 };
enum FileCollect { CollectMatches = 0, CollectMissing = 1, CollectOtherKind = 2 };
enum FolderCheck { FolderPresent = 0, FolderBlocked = 1, FolderCreateFailed = 2 };

// Keys of the attribute dictionary of getFileAttribute.
inline const QString FileExist = QStringLiteral("fileExist");
inline const QString FileName = QStringLiteral("fileName");
inline const QString FileType = QStringLiteral("fileType");
inline const QString FileTypeName = QStringLiteral("fileTypeName");
inline const QString FileSize = QStringLiteral("fileSize");
inline const QString FileSizeStr = QStringLiteral("fileSizeStr");
inline const QString FileDate = QStringLiteral("fileDate");
inline const QString FileDateStr = QStringLiteral("fileDateStr");
inline const QString FileTimeStr = QStringLiteral("fileTimeStr");

// 0 nothing there, 1 anything that is not a folder, 2 a folder (links followed).
int checkFileExists(const QString& path);

// The final target of a chain of links; the path itself when it is no link; a null string when nothing is
// at the path or the chain is broken or loops.
QString resolveAliasFileWithPath(const QString& path);

// Always holds "fileExist". For an existing path also its name, type ("file", "folder" or ""), type name
// (always ""), size as qint64 bytes (a folder: the sum over the files below it; anything else: 0), the
// size text for files and folders, the modification date and its date ("2008/03/15") and time
// ("10:20:30") texts in local time.
QVariantMap getFileAttribute(const QString& path);

// Type codes do not exist on this system: always "".
QString getFileTypeName(const QString& path);

// kind is "file" or "folder"; any other kind matches whatever exists.
int checkFileCollect(const QString& path, const QString& kind);
int checkAndCreateFolder(const QString& path);
// One folder, no intermediate ones; false for "" and when the folder could not be made.
bool createNewDirectory(const QString& path);
// The attributes a new folder asks for. On this system the owner is always the creating user and the date
// is the moment of creation, so createNewDirectory has nothing of them left to apply.
QVariantMap createfileAttbDict();

// The last path component, or the path itself when it has none ("/").
QString displayNameAtPath(const QString& path);

// text without the suffix when it ends with it (isDel true), else text unchanged (isDel false). A suffix
// longer than the text never matches.
QString deleteLastString(const QString& text, const QString& suffix, bool* isDel);

// "%.1f KB" below 2^20 bytes, "%.1f MB" below 2^30, "%.1f GB" from there (and for a size that is no number).
QString convertFileSizeToString(double size);
// m:ss below an hour, h:mm:ss from an hour on.
QString convertTimeToString(int seconds);
// 1,234,567
QString convertToComma(qint64 value);
// At least eight digits, zero-padded: 00000001, -00000005, 123456789.
QString convertToZeroFormat(qint64 value);

} // namespace fileAttributeExtension
} // namespace tetrapan
