#pragma once

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>

class QIODevice;

namespace tetrapan {

// What an XML parser tells the library reader as it goes through a file: elements and text, in order.
// The reader's checks sit behind this, so the same checks run whichever parser reads the file.
class XmlStoreEvents {
public:
    struct Position {
        qint64 line = 0;
        qint64 column = 0;
    };
    // An attribute in no namespace: those of another vocabulary are not ours to read, and would otherwise
    // stand in for ours of the same local name. Both views hold while the event is handled.
    struct Attribute {
        QStringView name;
        QStringView value;
    };
    using Attributes = QVarLengthArray<Attribute, 12>;

    virtual ~XmlStoreEvents() = default;
    // Each returns false to stop the parsing: the reader has found the file damaged.
    // `name` is the element's local name.
    virtual bool startElement(const QString& name, const Attributes& own, Position where) = 0;
    virtual bool endElement() = 0;
    virtual bool text(bool whitespace, Position where) = 0;
    // The file is not well-formed XML (or not in an encoding the parser knows).
    virtual void notWellFormed(Position where, const QString& reason) = 0;
};

namespace xmlStoreParsers {

// Each returns true when the whole file was parsed and every event was taken.
// expat, for XML in UTF-8, UTF-16, Latin-1 or ASCII, from where the device stands to its end. Its elements
// and text come with no place (Position 0): a file refused by it is read again with Qt's reader, which says
// where.
bool parseWithExpat(QIODevice& device, XmlStoreEvents& events);
// The same for a large file of this program's, in two halves read side by side, each into events of its own:
// records of the first half go to `first`, of the second to `second`, each half reading as a whole library.
// Each half is read by offset from the file the device has open, which leaves the device where it was. False
// when the device is no open file, the file is small or cannot be cut there, or either half is refused: it is
// then read whole, from the device's start again.
constexpr qint64 HalvesFrom = 1 << 20;
bool parseInHalvesWithExpat(QIODevice& device, XmlStoreEvents& first, XmlStoreEvents& second);
// Qt's reader, several times slower, knows more encodings (UTF-7, say), and says where and why a file is not
// well-formed as the program always said it.
bool parseWithQt(const QByteArray& bytes, XmlStoreEvents& events);

} // namespace xmlStoreParsers
} // namespace tetrapan
