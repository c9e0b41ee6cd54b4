#include "platform/XmlStoreParsers.h"

#include <QList>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

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

class ExpatRun {
public:
    explicit ExpatRun(XmlStoreEvents& events) : events_(events), parser_(XML_ParserCreateNS(nullptr, NamespaceSeparator))
    {
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(parser_.get(), &ExpatRun::onStart, &ExpatRun::onEnd);
        XML_SetCharacterDataHandler(parser_.get(), &ExpatRun::onText);
    }

    bool parse(QByteArrayView bytes)
    {
        if (!parser_)
            return false;
        // expat takes an int's worth at a time
        constexpr qsizetype Chunk = 1 << 24;
        qsizetype at = 0;
        do {
            const qsizetype length = std::min(Chunk, bytes.size() - at);
            const bool last = at + length == bytes.size();
            if (XML_Parse(parser_.get(), bytes.data() + at, int(length), last) != XML_STATUS_OK) {
                if (!stopped_) {
                    events_.notWellFormed(position(),
                                          QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser_.get()))));
                }
                return false;
            }
            at += length;
        } while (at < bytes.size());
        return true;
    }

private:
    struct FreeParser {
        void operator()(XML_Parser p) const { XML_ParserFree(p); }
    };

    Position position() const
    {
        return {qint64(XML_GetCurrentLineNumber(parser_.get())), qint64(XML_GetCurrentColumnNumber(parser_.get())) + 1};
    }

    void stop()
    {
        stopped_ = true;
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    // A library names the same few elements and attributes thousands of times: each is made a string once.
    // Records of a kind name their attributes in the same order, so the look-up starts after the last hit.
    const QString& name(const char* utf8)
    {
        const size_t count = names_.size();
        for (size_t i = 0; i < count; ++i) {
            auto& [bytes, text] = names_[(lastName_ + 1 + i) % count];
            if (std::strcmp(bytes.constData(), utf8) == 0) {
                lastName_ = (lastName_ + 1 + i) % count;
                return text;
            }
        }
        // a file of endless different names (a damaged or hostile one) does not grow the list for ever
        if (count >= MaxNames)
            names_.pop_back();
        names_.emplace_back(QByteArray(utf8), QString::fromUtf8(utf8));
        lastName_ = names_.size() - 1;
        return names_.back().second;
    }

    static void XMLCALL onStart(void* data, const XML_Char* element, const XML_Char** attributes)
    {
        auto& run = *static_cast<ExpatRun*>(data);
        if (run.stopped_)
            return;
        // The values are decoded side by side into one buffer, made large enough first so the views into it
        // stay good: most are numbers and dates that need no string of their own.
        qsizetype space = 0;
        for (const XML_Char** a = attributes; *a; a += 2)
            space += run.decoder_.requiredSpace(qsizetype(std::strlen(a[1])));
        if (run.values_.size() < space)
            run.values_.resize(space);
        run.attributeNames_.clear();
        Attributes own;
        QChar* out = run.values_.data();
        for (const XML_Char** a = attributes; *a; a += 2) {
            if (std::strchr(a[0], NamespaceSeparator))
                continue;
            // copies (of the shared text), since a name's entry may be dropped for a new one
            run.attributeNames_.append(run.name(a[0]));
            QChar* const end = run.decoder_.appendToBuffer(out, QByteArrayView(a[1]));
            own.append({QStringView(), QStringView(out, end)});
            out = end;
        }
        for (qsizetype i = 0; i < own.size(); ++i)
            own[i].name = run.attributeNames_[i];
        const char* local = std::strrchr(element, NamespaceSeparator);
        const QString name = run.name(local ? local + 1 : element);
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
    std::vector<std::pair<QByteArray, QString>> names_;
    size_t lastName_ = 0;
    // the element's attributes, kept while the reader looks at them
    QVarLengthArray<QString, 12> attributeNames_;
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    QList<QChar> values_;
};

// The writer's form, byte by byte: the declaration, the root's start tag, empty elements between whitespace,
// the root's end tag. Attribute values in double quotes, with the entities and character references the
// writer uses, in UTF-8 that XML 1.0 can hold (checked here, since invalid bytes would otherwise decode to
// replacement characters where a general parser refuses the file or reads it otherwise).
class WrittenForm {
public:
    WrittenForm(QByteArrayView bytes, XmlStoreEvents& events)
        : p_(bytes.data()), end_(bytes.data() + bytes.size()), events_(events)
    {
    }

    bool parse()
    {
        static constexpr QByteArrayView Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        if (!QByteArrayView(p_, end_).startsWith(Declaration))
            return false;
        p_ += Declaration.size();
        if (p_ == end_ || *p_ != '<')
            return false;
        const char* const rootName = p_ + 1;
        bool empty = false;
        if (!element(empty))
            return false;
        const QByteArrayView root(rootName, std::find_if_not(rootName, end_, isNameByte));
        while (!empty) {
            skipWhitespace();
            if (end_ - p_ < 2 || *p_ != '<')
                return false;
            if (p_[1] == '/')
                break;
            bool childEmpty = false;
            if (!element(childEmpty) || !childEmpty || !events_.endElement())
                return false;
        }
        if (!empty) {
            p_ += 2;
            if (!QByteArrayView(p_, end_).startsWith(root) || end_ - p_ < root.size() + 1 || p_[root.size()] != '>')
                return false;
            p_ += root.size() + 1;
        }
        if (!events_.endElement())
            return false;
        skipWhitespace();
        return p_ == end_;
    }

private:
    struct Span {
        const char* begin = nullptr;
        const char* end = nullptr;
        bool plain = true; // ASCII with no reference: each byte is its character
    };

    // Qt's comparison orders its views as well, which costs more than the reading of a record
    static bool same(QByteArrayView a, QByteArrayView b)
    {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), size_t(a.size())) == 0;
    }

    static bool isNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
    static bool isNameByte(char c)
    {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }

    void skipWhitespace()
    {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\t' || *p_ == '\r'))
            ++p_;
    }

    // A name without a prefix: one with a colon is in a namespace, which a general parser sorts out.
    bool name(Span& span)
    {
        span.begin = p_;
        if (p_ == end_ || !isNameStart(*p_))
            return false;
        while (p_ != end_ && isNameByte(*p_))
            ++p_;
        span.end = p_;
        return true;
    }

    // The character a reference the writer writes stands for, or 0.
    static char16_t reference(QByteArrayView text)
    {
        static constexpr std::pair<QByteArrayView, char16_t> Known[] = {
            {"&amp;", u'&'}, {"&lt;", u'<'}, {"&gt;", u'>'}, {"&quot;", u'"'}, {"&apos;", u'\''},
            {"&#10;", u'\n'}, {"&#13;", u'\r'}, {"&#9;", u'\t'}};
        for (const auto& [form, c] : Known) {
            if (text.startsWith(form))
                return c;
        }
        return 0;
    }

    // The length of the UTF-8 sequence at `s` when it is a character XML 1.0 holds, else 0.
    static int utf8Character(const unsigned char* s, const unsigned char* end)
    {
        const auto in = [](unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; };
        const qsizetype left = end - s;
        if (s[0] >= 0xC2 && s[0] <= 0xDF)
            return left >= 2 && in(s[1], 0x80, 0xBF) ? 2 : 0;
        if (s[0] >= 0xE0 && s[0] <= 0xEF) {
            if (left < 3 || !in(s[2], 0x80, 0xBF))
                return 0;
            const bool second = s[0] == 0xE0   ? in(s[1], 0xA0, 0xBF)
                                : s[0] == 0xED ? in(s[1], 0x80, 0x9F) // not half of a surrogate pair
                                               : in(s[1], 0x80, 0xBF);
            // nor U+FFFE or U+FFFF
            const bool notCharacter = s[0] == 0xEF && s[1] == 0xBF && s[2] >= 0xBE;
            return second && !notCharacter ? 3 : 0;
        }
        if (s[0] >= 0xF0 && s[0] <= 0xF4) {
            if (left < 4 || !in(s[2], 0x80, 0xBF) || !in(s[3], 0x80, 0xBF))
                return 0;
            const bool second = s[0] == 0xF0   ? in(s[1], 0x90, 0xBF)
                                : s[0] == 0xF4 ? in(s[1], 0x80, 0x8F)
                                               : in(s[1], 0x80, 0xBF);
            return second ? 4 : 0;
        }
        return 0;
    }

    bool value(Span& span)
    {
        span.begin = p_;
        span.plain = true;
        while (p_ != end_ && *p_ != '"') {
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '&') {
                if (!reference(QByteArrayView(p_, std::min<qsizetype>(end_ - p_, 6))))
                    return false;
                span.plain = false;
                p_ = std::find(p_, end_, ';') + 1;
            } else if (c >= 0x80) {
                const int length = utf8Character(reinterpret_cast<const unsigned char*>(p_),
                                                 reinterpret_cast<const unsigned char*>(end_));
                if (length == 0)
                    return false;
                span.plain = false;
                p_ += length;
            } else if (c < 0x20 || c == '<') {
                // a line break or tab as itself becomes a space in an attribute: not what the writer writes
                return false;
            } else {
                ++p_;
            }
        }
        span.end = p_;
        return p_ != end_;
    }

    // `<name attribute="value" ...` then `/>` (empty) or `>`.
    bool element(bool& empty)
    {
        ++p_;
        Span element;
        if (!name(element))
            return false;
        QVarLengthArray<std::pair<Span, Span>, 12> spans;
        while (p_ != end_ && *p_ == ' ') {
            while (p_ != end_ && *p_ == ' ')
                ++p_;
            if (p_ != end_ && (*p_ == '/' || *p_ == '>'))
                break;
            Span key, text;
            if (!name(key) || end_ - p_ < 2 || p_[0] != '=' || p_[1] != '"')
                return false;
            p_ += 2;
            if (!value(text))
                return false;
            ++p_;
            const QByteArrayView keyBytes(key.begin, key.end);
            // a namespace declaration is no attribute; twice the same attribute is no XML
            if (same(keyBytes, "xmlns"))
                return false;
            for (const auto& [other, unused] : spans) {
                if (same(QByteArrayView(other.begin, other.end), keyBytes))
                    return false;
            }
            spans.append({key, text});
        }
        if (end_ - p_ >= 2 && p_[0] == '/' && p_[1] == '>') {
            empty = true;
            p_ += 2;
        } else if (p_ != end_ && *p_ == '>') {
            empty = false;
            ++p_;
        } else {
            return false;
        }
        return deliver(element, spans);
    }

    bool deliver(const Span& element, const QVarLengthArray<std::pair<Span, Span>, 12>& spans)
    {
        qsizetype space = 0;
        for (const auto& [key, text] : spans)
            space += text.plain ? text.end - text.begin : decoder_.requiredSpace(text.end - text.begin);
        if (values_.size() < space)
            values_.resize(space);
        XmlStoreEvents::Attributes own;
        QChar* out = values_.data();
        for (const auto& [key, text] : spans) {
            const QString* keyName = name(QByteArrayView(key.begin, key.end));
            if (!keyName)
                return false;
            QChar* const start = out;
            if (text.plain) {
                for (const char* c = text.begin; c != text.end; ++c)
                    *out++ = QLatin1Char(*c);
            } else {
                out = decode(text, out);
            }
            own.append({*keyName, QStringView(start, out)});
        }
        const QString* elementName = name(QByteArrayView(element.begin, element.end));
        return elementName && events_.startElement(*elementName, own, {});
    }

    // UTF-8 with references, checked already; never longer in UTF-16 than in bytes.
    QChar* decode(const Span& text, QChar* out)
    {
        const char* run = text.begin;
        for (const char* c = text.begin; c != text.end; ++c) {
            if (*c != '&')
                continue;
            out = decoder_.appendToBuffer(out, QByteArrayView(run, c));
            *out++ = QChar(reference(QByteArrayView(c, text.end)));
            c = std::find(c, text.end, ';');
            run = c + 1;
        }
        return decoder_.appendToBuffer(out, QByteArrayView(run, text.end));
    }

    // The few names of the form, each made a string once; more than any library has and the file is not
    // one the writer wrote.
    const QString* name(QByteArrayView bytes)
    {
        for (const auto& [known, text] : names_) {
            if (same(known, bytes))
                return &text;
        }
        if (names_.size() >= 64)
            return nullptr;
        names_.emplace_back(bytes.toByteArray(), QString::fromLatin1(bytes));
        return &names_.back().second;
    }

    const char* p_;
    const char* const end_;
    XmlStoreEvents& events_;
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    // reserved, so a name's string stays where it is while the file is read
    std::vector<std::pair<QByteArray, QString>> names_ = [] {
        std::vector<std::pair<QByteArray, QString>> names;
        names.reserve(64);
        return names;
    }();
    QList<QChar> values_;
};

} // namespace

bool parseWrittenForm(QByteArrayView bytes, XmlStoreEvents& events)
{
    return WrittenForm(bytes, events).parse();
}

bool parseWithExpat(QByteArrayView bytes, XmlStoreEvents& events)
{
    ExpatRun run(events);
    return run.parse(bytes);
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
