// A pull reader over the XML parts of a package: start tags with their attributes, end tags and
// text, one token at a time, from a part being inflated or from a block in memory.
//
// Only what spreadsheet parts use is read: elements, attributes, character data, CDATA, the
// five predefined entities and character references, comments and processing instructions
// (skipped). A DOCTYPE declaration is refused, so no entity of the part's own can
// expand and nothing outside the package is ever fetched. Text is UTF-8 (or UTF-16 converted
// by TXmlTextSource); a part that declares any other encoding is refused, as is one whose
// names use a prefix no declaration binds, or whose element repeats an attribute.
//
// Names are resolved through the namespace declarations in force: a token's name is a namespace
// id from the table the caller gives (kOtherNamespace for any other URI, kNoNamespace for an
// unprefixed attribute or an element outside any default namespace) and the local name. Two
// URIs may share an id (a transitional and a strict spelling of the same vocabulary).
//
// Views handed out (names, attribute values, text) are valid until the next call of Next().
// Memory stays bounded: a token longer than the limit given at construction is an error, and
// the streaming buffer holds about one token at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/Error.h"
#include "text/Utf8.h"

namespace morvik::zip {

class EXmlError : public Error {
  public:
    using Error::Error;
};

// Bytes in order, from wherever they come; Read answers 0 only at the end.
class TByteSource {
  public:
    virtual ~TByteSource() = default;
    virtual std::size_t Read(char* out, std::size_t size) = 0;
};

// A part's bytes as UTF-8, whatever byte order mark they begin with: a UTF-8 mark is dropped,
// UTF-16 (either byte order) is converted. Without a mark the bytes pass unchanged.
class TXmlTextSource final : public TByteSource {
  public:
    explicit TXmlTextSource(TByteSource& source) : source_(&source) {}
    std::size_t Read(char* out, std::size_t size) override;

  private:
    enum class Kind : std::uint8_t { Unknown, Utf8, Utf16Le, Utf16Be };
    TByteSource* source_;
    Kind kind_ = Kind::Unknown;
    std::string raw_;      // UTF-16 bytes not yet converted
    std::string pending_;  // converted bytes not yet handed out
    std::size_t pendingAt_ = 0;
    Utf16Decoder utf16_;
    bool end_ = false;
    Utf8Check utf8_;  // a UTF-8 part is checked as it passes
    void Check(const char* bytes, std::size_t size);
};

// The same for a whole part in memory. Both raise EXmlError for bytes that are not UTF-8:
// a byte that cannot be read is never turned into some other character.
std::string XmlTextAsUtf8(std::string bytes);

struct TNamespace {
    std::string_view Uri;
    int Id;
};

inline constexpr int kNoNamespace = -1;
inline constexpr int kOtherNamespace = 0;

struct TXmlAttribute {
    int Ns;
    std::string_view Name;   // local name
    std::string_view Value;  // entities resolved
};

class TXmlReader {
  public:
    enum class TToken : std::uint8_t { StartTag, EndTag, Text, End };

    // Longest single token (a tag with its attributes, or one run of text) by default: far
    // past any cell's text (65,535 characters) or tag, and within the memory a load may take
    // whatever the part's compression.
    static constexpr std::size_t kDefaultMaxToken = 16u << 20;

    TXmlReader(TByteSource& source, std::span<const TNamespace> namespaces,
               std::size_t maxToken = kDefaultMaxToken);
    TXmlReader(std::string_view part, std::span<const TNamespace> namespaces);
    TXmlReader(const TXmlReader&) = delete;
    TXmlReader& operator=(const TXmlReader&) = delete;

    // The next token. An empty element (<a/>) gives its StartTag and then its EndTag. After
    // the root element's end only End follows; a part cut short raises EXmlError.
    TToken Next();

    // Of the last StartTag or EndTag.
    int Ns() const { return ns_; }
    std::string_view Name() const { return name_; }
    bool Is(int ns, std::string_view name) const { return ns_ == ns && name_ == name; }
    // Element depth: 1 inside the root element's start tag, back to 0 after its end tag.
    int Depth() const { return static_cast<int>(open_.size()); }

    // Of the last StartTag.
    std::span<const TXmlAttribute> Attributes() const { return attributes_; }
    // The value of an attribute, or an empty view with `found` false.
    std::string_view Attribute(int ns, std::string_view name, bool* found = nullptr) const;

    // Of the last Text token (character data or a CDATA section).
    std::string_view Text() const { return text_; }

    // Skips everything up to and including the end tag of the element whose StartTag was
    // the last token.
    void SkipElement();
    // All character data inside the element whose StartTag was the last token, appended to
    // `out`; reads up to and including its end tag.
    void ReadElementText(std::string& out);

  private:
    struct Open {
        std::uint32_t nameOffset, nameLength;  // the qualified name in openNames_
        std::uint32_t bindings;                // bindings_.size() before this element's own
    };
    struct RawAttribute {
        std::string_view qname, value;
        bool decode;
    };

    // Makes at least `count` bytes available from `at` on (fewer only at the end of input);
    // answers the pointer `at` has moved to.
    const char* Fill(const char* at, std::size_t count);
    std::size_t FindFrom(const char*& start, std::size_t offset, std::string_view what);
    void PopElement();
    void Rebind();
    void ReadStartTag(const char* p);
    void ReadEndTag(const char* p);
    TToken ReadText(const char* p);
    void CheckDeclaration(std::string_view body);
    void CheckUnique();
    void ResolveName(std::string_view qname, bool element, int& ns, std::string_view& local) const;
    void ResolvePrefixed(std::string_view qname, std::size_t colon, int& ns,
                         std::string_view& local) const;
    int Lookup(std::string_view prefix) const;
    int IdOf(std::string_view uri) const;
    std::string_view Decode(std::string_view raw, std::string& into, bool attribute);
    [[noreturn]] void Fail(const char* what) const;

    TByteSource* source_ = nullptr;
    std::span<const TNamespace> namespaces_;
    std::size_t maxToken_;
    std::vector<char> buffer_;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    bool eof_ = false;
    bool started_ = false;     // the root element has begun
    bool done_ = false;        // the root element has ended
    bool pendingEnd_ = false;  // an empty element's end tag is due

    int ns_ = kNoNamespace;
    std::string_view name_;
    std::vector<TXmlAttribute> attributes_;
    std::vector<RawAttribute> raw_;
    std::vector<std::string> decoded_;
    std::string_view text_;
    std::string textScratch_;

    // Prefixes declared by the open elements, in order ("" the default namespace), and per
    // prefix the ids it is bound to, innermost last.
    std::vector<std::string> bindings_;
    std::unordered_map<std::string, std::vector<int>> scopes_;
    int defaultNs_ = kNoNamespace;
    std::string openNames_;
    std::vector<Open> open_;
    std::string_view qname_;
    // Prefixes resolved lately; most parts use two or three, declared once at the top.
    struct CachedPrefix {
        std::string prefix;
        int id = kNoNamespace;
        bool valid = false;
    };
    mutable std::array<CachedPrefix, 4> prefixCache_;
    mutable std::size_t prefixCacheNext_ = 0;
    static constexpr std::size_t kMaxDepth = 256;

  public:
    // Attributes of one element: each costs far more than its few bytes of XML, and real
    // parts use a few dozen at most (namespace declarations included).
    static constexpr std::size_t kMaxAttributes = 1024;
};

}  // namespace morvik::zip
