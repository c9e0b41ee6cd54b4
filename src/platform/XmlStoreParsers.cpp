#include "platform/XmlStoreParsers.h"

#include <QFileDevice>
#include <QIODevice>
#include <QList>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include <unistd.h>

namespace tetrapan::xmlStoreParsers {

namespace {

using Attributes = XmlStoreEvents::Attributes;
using Position = XmlStoreEvents::Position;

// Splits expat's "namespace URI, separator, local name"; no character of a name or a URI can be it
// (XML 1.0 has no form for it, not even a character reference).
constexpr char NamespaceSeparator = '\x01';

bool isWhitespace(const char* s, int length)
{
    for (int i = 0; i < length; ++i) {
        if (s[i] != ' ' && s[i] != '\t' && s[i] != '\n' && s[i] != '\r')
            return false;
    }
    return true;
}

// Up to `length` bytes of the open file `fd` from `offset` on, without moving its position; fewer at the
// file's end, -1 (errno) on a failed read.
qsizetype readAt(int fd, qint64 offset, char* into, qsizetype length)
{
    qsizetype got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, into + got, size_t(length - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

class ExpatRun {
public:
    explicit ExpatRun(XmlStoreEvents& events) : events_(events), parser_(XML_ParserCreateNS(nullptr, NamespaceSeparator))
    {
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(parser_.get(), &ExpatRun::onStart, &ExpatRun::onEnd);
        XML_SetCharacterDataHandler(parser_.get(), &ExpatRun::onText);
    }

    // The file goes into expat's own buffer a piece at a time, so the buffer stays a piece's size and is
    // written over and over. Read whole into it, a large library took a fifth longer: the kernel handed out
    // fresh pages for all of the file before expat saw a byte of it.
    static constexpr qint64 Piece = 1 << 18;

    bool parse(QIODevice& device)
    {
        return parsePieces([&](char* into, bool* end) {
            const qint64 got = device.read(into, Piece);
            if (got < 0) {
                failed(device.errorString());
                return qint64(-1);
            }
            *end = got == 0 || (!device.isSequential() && device.atEnd());
            return got;
        });
    }

    // `length` bytes of the open file `fd` from `offset` on, in pieces as above; `last` when they end the
    // document. Read by offset, so two parsers may read one file side by side.
    bool parseFile(int fd, qint64 offset, qint64 length, bool last)
    {
        return parsePieces(
            [&](char* into, bool* end) {
                const qint64 want = std::min(length, Piece);
                const qint64 got = readAt(fd, offset, into, want);
                if (got != want) {
                    failed(got < 0 ? qt_error_string(errno) : QStringLiteral("the file ends early"));
                    return qint64(-1);
                }
                offset += got;
                length -= got;
                *end = length == 0;
                return got;
            },
            last);
    }

    bool parseBytes(QByteArrayView bytes, bool last)
    {
        return parser_ &&
               (XML_Parse(parser_.get(), bytes.data(), int(bytes.size()), last) == XML_STATUS_OK || failed());
    }

private:
    // Pieces from `read` (into a buffer of Piece bytes: how many it read and whether they were the last, or
    // -1 once it has said why not) go to expat until the last; `last` when that ends the document.
    template <typename Read> bool parsePieces(const Read& read, bool last = true)
    {
        if (!parser_)
            return false;
        for (;;) {
            auto* buffer = static_cast<char*>(XML_GetBuffer(parser_.get(), int(Piece)));
            if (!buffer)
                return failed();
            bool end = false;
            const qint64 got = read(buffer, &end);
            if (got < 0)
                return false;
            if (XML_ParseBuffer(parser_.get(), int(got), last && end) != XML_STATUS_OK)
                return failed();
            if (end)
                return true;
        }
    }

    struct FreeParser {
        void operator()(XML_Parser p) const { XML_ParserFree(p); }
    };

    Position position() const
    {
        return {qint64(XML_GetCurrentLineNumber(parser_.get())), qint64(XML_GetCurrentColumnNumber(parser_.get())) + 1};
    }

    bool failed(const QString& reason = {})
    {
        if (!stopped_) {
            events_.notWellFormed(position(),
                                  reason.isEmpty()
                                      ? QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser_.get())))
                                      : reason);
        }
        return false;
    }

    void stop()
    {
        stopped_ = true;
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    // A library names the same few elements and attributes thousands of times: each is made a string once.
    // Records of a kind name their attributes in the same order, so the name that followed the last one
    // the last time is tried first; a name of another length is passed over without looking at it.
    struct KnownName;
    const KnownName& name(const char* utf8)
    {
        const size_t length = std::strlen(utf8);
        const auto matches = [&](const KnownName& known) {
            return size_t(known.bytes.size()) == length && std::memcmp(known.bytes.constData(), utf8, length) == 0;
        };
        const size_t count = names_.size();
        const size_t guess = lastName_ < count ? names_[lastName_].next : count;
        size_t found = guess < count && matches(names_[guess]) ? guess : count;
        for (size_t i = 0; found == count && i < count; ++i) {
            if (matches(names_[i]))
                found = i;
        }
        if (found == count) {
            // a file of endless different names (a damaged or hostile one) does not grow the list for ever
            if (count >= MaxNames) {
                // kept to the element's end: the reader may still be looking at it
                retired_.append(std::move(names_.back().text));
                names_.pop_back();
            }
            names_.push_back({QByteArray(utf8, qsizetype(length)), QString::fromUtf8(utf8, qsizetype(length)),
                              std::memchr(utf8, NamespaceSeparator, length) != nullptr});
            found = names_.size() - 1;
        }
        if (lastName_ < names_.size())
            names_[lastName_].next = found;
        lastName_ = found;
        return names_[found];
    }

    // Most values (numbers, dates, plain names) are ASCII, whose characters widen one to one; only the rest
    // goes through the UTF-8 decoder.
    QChar* appendValue(QChar* out, const char* utf8, qsizetype length)
    {
        // eight bytes are looked at as one word
        constexpr quint64 HighBits = 0x8080808080808080ULL;
        qsizetype i = 0;
        for (; i + 8 <= length; i += 8) {
            quint64 word;
            std::memcpy(&word, utf8 + i, sizeof word);
            if (word & HighBits)
                return decoder_.appendToBuffer(out, QByteArrayView(utf8, length));
            for (int k = 0; k < 8; ++k)
                out[i + k] = QChar(char16_t(static_cast<unsigned char>(utf8[i + k])));
        }
        for (; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            if (byte >= 0x80)
                return decoder_.appendToBuffer(out, QByteArrayView(utf8, length));
            out[i] = QChar(char16_t(byte));
        }
        return out + length;
    }

    static void XMLCALL onStart(void* data, const XML_Char* element, const XML_Char** attributes)
    {
        auto& run = *static_cast<ExpatRun*>(data);
        if (run.stopped_)
            return;
        // The values are decoded side by side into one buffer, made large enough first so the views into it
        // stay good: most are numbers and dates that need no string of their own.
        qsizetype space = 0;
        QVarLengthArray<qsizetype, 12> lengths;
        for (const XML_Char** a = attributes; *a; a += 2) {
            lengths.append(qsizetype(std::strlen(a[1])));
            space += run.decoder_.requiredSpace(lengths.back());
        }
        if (run.values_.size() < space)
            run.values_.resize(space);
        run.retired_.clear();
        Attributes own;
        QChar* out = run.values_.data();
        qsizetype index = 0;
        for (const XML_Char** a = attributes; *a; a += 2, ++index) {
            const KnownName& known = run.name(a[0]);
            if (known.inNamespace)
                continue;
            // a view of the name's text, which stays where it is however the list of names changes
            const QStringView name = known.text;
            QChar* const end = run.appendValue(out, a[1], lengths[index]);
            own.append({name, QStringView(out, end)});
            out = end;
        }
        const char* local = std::strrchr(element, NamespaceSeparator);
        const QString name = run.name(local ? local + 1 : element).text;
        if (!run.events_.startElement(name, own, {}))
            run.stop();
    }

    static void XMLCALL onEnd(void* data, const XML_Char*)
    {
        auto& run = *static_cast<ExpatRun*>(data);
        if (!run.stopped_ && !run.events_.endElement())
            run.stop();
    }

    static void XMLCALL onText(void* data, const XML_Char* s, int length)
    {
        auto& run = *static_cast<ExpatRun*>(data);
        if (!run.stopped_ && !run.events_.text(isWhitespace(s, length), {}))
            run.stop();
    }

    XmlStoreEvents& events_;
    std::unique_ptr<XML_ParserStruct, FreeParser> parser_;
    bool stopped_ = false;
    static constexpr size_t MaxNames = 64;
    struct KnownName {
        QByteArray bytes;
        QString text;
        // an attribute of another vocabulary, as expat names it: its namespace, the separator, its name
        bool inNamespace = false;
        // the name that followed this one the last time, or none (past the end)
        size_t next = MaxNames;
    };
    std::vector<KnownName> names_;
    size_t lastName_ = 0;
    // names dropped from the list while the reader may still look at them, until the next element
    QList<QString> retired_;
    // each value decoded on its own: one that begins with U+FEFF keeps it (no byte order mark in a value)
    QStringDecoder decoder_{QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    QList<QChar> values_;
};

// Where the root element's start tag ends in a document's beginning, and the root's name as written; nothing
// when the beginning holds no start tag whole (a long document type, say).
struct RootTag {
    qsizetype end = 0;
    QByteArrayView name;
};

std::optional<RootTag> rootTagOf(QByteArrayView document)
{
    struct Probe {
        XML_Parser parser;
        qsizetype start = -1;
        qsizetype length = 0;
    };
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, NamespaceSeparator), &XML_ParserFree);
    if (!parser)
        return std::nullopt;
    Probe probe{parser.get()};
    XML_SetUserData(parser.get(), &probe);
    XML_SetStartElementHandler(parser.get(), [](void* data, const XML_Char*, const XML_Char**) {
        auto& p = *static_cast<Probe*>(data);
        p.start = qsizetype(XML_GetCurrentByteIndex(p.parser));
        p.length = XML_GetCurrentByteCount(p.parser);
        XML_StopParser(p.parser, XML_FALSE);
    });
    constexpr qsizetype Beginning = 1 << 16;
    XML_Parse(parser.get(), document.data(), int(std::min(document.size(), Beginning)), XML_FALSE);
    if (probe.start < 0 || probe.length < 2 || document[probe.start] != '<' ||
        document[probe.start + probe.length - 2] == '/')
        return std::nullopt;
    const QByteArrayView tag = document.sliced(probe.start + 1, probe.length - 1);
    qsizetype nameLength = 0;
    while (nameLength < tag.size() && !std::strchr(" \t\r\n/>", tag[nameLength]))
        ++nameLength;
    return RootTag{probe.start + probe.length, tag.first(nameLength)};
}

// Where the second half of a document starts: at the start tag of the first record from `middle` on that
// follows an empty element's end and a line's end. Nothing found, the document is not cut there.
qsizetype recordStartFrom(QByteArrayView document, qsizetype middle)
{
    const QByteArrayView mark("/>\n");
    for (qsizetype at = document.indexOf(mark, middle); at >= 0; at = document.indexOf(mark, at + 1)) {
        qsizetype next = at + mark.size();
        while (next < document.size() && (document[next] == ' ' || document[next] == '\t'))
            ++next;
        if (next + 1 < document.size() && document[next] == '<' &&
            std::isalpha(static_cast<unsigned char>(document[next + 1])))
            return next;
    }
    return -1;
}

} // namespace

bool parseInHalvesWithExpat(QIODevice& device, XmlStoreEvents& first, XmlStoreEvents& second)
{
    const auto* file = qobject_cast<QFileDevice*>(&device);
    const int fd = file ? file->handle() : -1;
    const qint64 start = device.pos();
    const qint64 size = device.isSequential() || fd < 0 ? 0 : device.size() - start;
    if (size < HalvesFrom)
        return false;
    // The beginning, for the root's start tag, and a stretch from the middle on, for the cut. A record longer
    // than that at the middle (a title of megabytes, say) has the file read whole.
    constexpr qsizetype Window = 1 << 16;
    const auto window = [fd](qint64 offset) {
        QByteArray bytes(Window, Qt::Uninitialized);
        bytes.truncate(std::max<qsizetype>(0, readAt(fd, offset, bytes.data(), Window)));
        return bytes;
    };
    const QByteArray beginning = window(start);
    const std::optional<RootTag> root = rootTagOf(beginning);
    if (!root)
        return false;
    const qint64 middle = root->end + (size - root->end) / 2;
    const qsizetype fromMiddle = recordStartFrom(window(start + middle), 0);
    if (fromMiddle < 0)
        return false;
    const qint64 cut = middle + fromMiddle;
    // The second half is the document's beginning up to the root's start tag, then what follows the cut:
    // read alone, it names the same declarations, encoding and namespaces. A cut inside a comment or the
    // like leaves the first half unfinished, so expat refuses it and the document is read whole.
    const QByteArray endTag = "</" + root->name.toByteArray() + ">";
    ExpatRun one(first);
    ExpatRun other(second);
    const auto firstHalf = [&] {
        return one.parseFile(fd, start, cut, false) && one.parseBytes(endTag, true);
    };
    const auto secondHalf = [&] {
        return other.parseBytes(QByteArrayView(beginning).first(root->end), false) &&
               other.parseFile(fd, start + cut, size - cut, true);
    };
    std::future<bool> secondRead;
    try {
        secondRead = std::async(std::launch::async, secondHalf);
    } catch (const std::system_error&) {
        // no thread to be had: one half after the other
        return firstHalf() && secondHalf();
    }
    const bool firstRead = firstHalf();
    return secondRead.get() && firstRead;
}

bool parseWithExpat(QIODevice& device, XmlStoreEvents& events)
{
    ExpatRun run(events);
    return run.parse(device);
}

bool parseWithQt(const QByteArray& bytes, XmlStoreEvents& events)
{
    QXmlStreamReader xml(bytes);
    const auto here = [&xml] { return Position{xml.lineNumber(), xml.columnNumber()}; };
    while (!xml.atEnd()) {
        bool taken = true;
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            // the attributes are kept while the reader looks at them: copying each cost a tenth of the reading
            const QXmlStreamAttributes all = xml.attributes();
            Attributes own;
            for (const QXmlStreamAttribute& a : all) {
                if (a.namespaceUri().isEmpty())
                    own.append({a.name(), a.value()});
            }
            taken = events.startElement(xml.name().toString(), own, here());
            break;
        }
        case QXmlStreamReader::EndElement:
            taken = events.endElement();
            break;
        case QXmlStreamReader::Characters:
            taken = events.text(xml.isWhitespace(), here());
            break;
        default:
            break;
        }
        if (!taken)
            return false;
    }
    if (xml.hasError()) {
        events.notWellFormed(here(), xml.errorString());
        return false;
    }
    return true;
}

} // namespace tetrapan::xmlStoreParsers
