#include "XmlReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/Utf8.h"

namespace morvik::zip {
namespace {

constexpr std::size_t kInitialBuffer = 256u << 10;
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// Character classes of the tag scanner, one table lookup per byte: most of a sheet part is tags.
enum : std::uint8_t { kSpace = 1, kEndsName = 2, kInValue = 4 };
constexpr std::array<std::uint8_t, 256> MakeClasses() {
    std::array<std::uint8_t, 256> c{};
    for (unsigned char s : {' ', '\t', '\n', '\r'}) c[s] |= kSpace | kEndsName;
    for (unsigned char s : {'/', '>', '='}) c[s] |= kEndsName;
    // Inside a value: its quotes end it, and these need a look (decoding or refusal).
    for (unsigned char s : {'"', '\'', '&', '<', '\t', '\n', '\r'}) c[s] |= kInValue;
    return c;
}
constexpr auto kClasses = MakeClasses();

bool IsSpace(char c) { return kClasses[static_cast<unsigned char>(c)] & kSpace; }
bool EndsName(char c) { return kClasses[static_cast<unsigned char>(c)] & kEndsName; }

bool IsXmlChar(std::uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// UTF-16 bytes (an even count) to UTF-8 appended to `out`; a surrogate pair may be split
// between two calls.
void Utf16ToUtf8(std::string_view bytes, bool bigEndian, Utf16Decoder& decoder, std::string& out) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<std::uint8_t>(bytes[i]),
                   b = static_cast<std::uint8_t>(bytes[i + 1]);
        decoder.Append(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a), out);
    }
}

[[noreturn]] void NotUtf8() { throw EXmlError("XML part: its text is not valid UTF-8"); }

}  // namespace

void TXmlTextSource::Check(const char* bytes, std::size_t size) {
    if (!utf8_.Feed(std::string_view(bytes, size))) NotUtf8();
    if (size == 0 && !utf8_.AtBoundary()) NotUtf8();  // the part ends inside a character
}

std::size_t TXmlTextSource::Read(char* out, std::size_t size) {
    if (kind_ == Kind::Unknown) {
        // The mark is at most three bytes; a part shorter than that has none.
        char head[3];
        std::size_t have = 0;
        while (have < sizeof head) {
            const std::size_t n = source_->Read(head + have, sizeof head - have);
            if (n == 0) break;
            have += n;
        }
        const std::string_view h(head, have);
        if (h.starts_with("\xEF\xBB\xBF")) {
            kind_ = Kind::Utf8;
        } else if (h.starts_with("\xFF\xFE")) {
            kind_ = Kind::Utf16Le;
            raw_.assign(h.substr(2));
        } else if (h.starts_with("\xFE\xFF")) {
            kind_ = Kind::Utf16Be;
            raw_.assign(h.substr(2));
        } else if (h.starts_with(std::string_view("\0<", 2))) {
            // No mark, but a part begins with '<': its first two bytes tell the order.
            kind_ = Kind::Utf16Be;
            raw_.assign(h);
        } else if (h.starts_with(std::string_view("<\0", 2))) {
            kind_ = Kind::Utf16Le;
            raw_.assign(h);
        } else {
            kind_ = Kind::Utf8;
            pending_.assign(h);
        }
    }
    if (pendingAt_ < pending_.size()) {
        const std::size_t n = std::min(size, pending_.size() - pendingAt_);
        std::memcpy(out, pending_.data() + pendingAt_, n);
        pendingAt_ += n;
        if (kind_ == Kind::Utf8) Check(out, n);
        return n;
    }
    if (kind_ == Kind::Utf8) {
        const std::size_t n = source_->Read(out, size);
        if (n > 0 || size > 0) Check(out, n);
        return n;
    }
    while (!end_) {
        pending_.clear();
        pendingAt_ = 0;
        const std::size_t before = raw_.size();
        raw_.resize(before + 64 * 1024);
        const std::size_t n = source_->Read(raw_.data() + before, raw_.size() - before);
        raw_.resize(before + n);
        if (n == 0) end_ = true;
        const std::size_t even = raw_.size() & ~std::size_t{1};
        Utf16ToUtf8(std::string_view(raw_).substr(0, even), kind_ == Kind::Utf16Be, utf16_,
                    pending_);
        raw_.erase(0, even);
        if (end_) utf16_.Finish(pending_);
        if (!pending_.empty()) return Read(out, size);
    }
    return 0;
}

std::string XmlTextAsUtf8(std::string bytes) {
    const std::string_view h(bytes);
    const auto checked = [](std::string utf8) {
        if (!IsValidUtf8(utf8)) NotUtf8();
        return utf8;
    };
    if (h.starts_with("\xEF\xBB\xBF")) return checked(bytes.substr(3));
    const bool le = h.starts_with("\xFF\xFE"), be = h.starts_with("\xFE\xFF");
    const bool bareLe = h.starts_with(std::string_view("<\0", 2));
    const bool bareBe = h.starts_with(std::string_view("\0<", 2));
    if (!le && !be && !bareLe && !bareBe) return checked(std::move(bytes));
    const std::size_t skip = le || be ? 2 : 0;
    std::string out;
    Utf16Decoder decoder;
    Utf16ToUtf8(h.substr(skip, (h.size() - skip) & ~std::size_t{1}), be || bareBe, decoder, out);
    decoder.Finish(out);
    return out;
}

TXmlReader::TXmlReader(TByteSource& source, std::span<const TNamespace> namespaces,
                       std::size_t maxToken)
    : source_(&source), namespaces_(namespaces), maxToken_(std::max<std::size_t>(maxToken, 64)) {
    buffer_.resize(std::min(kInitialBuffer, maxToken_));
    pos_ = end_ = buffer_.data();
}

TXmlReader::TXmlReader(std::string_view part, std::span<const TNamespace> namespaces)
    : namespaces_(namespaces), maxToken_(part.size()) {
    pos_ = part.data();
    end_ = pos_ + part.size();
    eof_ = true;
}

void TXmlReader::Fail(const char* what) const { throw EXmlError(std::string("XML part: ") + what); }

const char* TXmlReader::Fill(const char* at, std::size_t count) {
    std::size_t have = static_cast<std::size_t>(end_ - at);
    while (have < count && !eof_) {
        char* base = buffer_.data();
        if (at != base) {
            std::memmove(base, at, have);
            at = base;
            end_ = base + have;
        }
        if (have == buffer_.size()) {
            if (buffer_.size() >= maxToken_) Fail("an element or a text is too long");
            buffer_.resize(std::min(buffer_.size() * 2, maxToken_));
            at = buffer_.data();
            end_ = at + have;
        }
        const std::size_t n = source_->Read(buffer_.data() + have, buffer_.size() - have);
        if (n == 0) eof_ = true;
        have += n;
        end_ = at + have;
    }
    pos_ = at;
    return at;
}

// Answers the offset of `what` from `start`, searching from `offset`; npos at the end of input.
// `start` follows the bytes when the buffer moves.
std::size_t TXmlReader::FindFrom(const char*& start, std::size_t offset, std::string_view what) {
    for (;;) {
        const std::size_t have = static_cast<std::size_t>(end_ - start);
        if (have >= offset + what.size()) {
            const std::string_view window(start, have);
            const std::size_t at = window.find(what, offset);
            if (at != std::string_view::npos) return at;
            offset = have - (what.size() - 1);
        }
        if (eof_) return std::string_view::npos;
        start = Fill(start, have + 1);
    }
}

int TXmlReader::IdOf(std::string_view uri) const {
    for (const TNamespace& n : namespaces_) {
        if (n.Uri == uri) return n.Id;
    }
    return kOtherNamespace;
}

int TXmlReader::Lookup(std::string_view prefix) const {
    // By the prefix's own stack of bindings: however many a part declares, a name is
    // resolved in one lookup.
    if (const auto it = scopes_.find(std::string(prefix));
        it != scopes_.end() && !it->second.empty())
        return it->second.back();
    if (prefix == "xml") return IdOf(kXmlNamespace);
    // What such a name means cannot be known: an element the reader looks for might hide
    // behind it.
    Fail("a name uses a prefix that no namespace declaration binds");
}

void TXmlReader::ResolveName(std::string_view qname, bool element, int& ns,
                             std::string_view& local) const {
    // Names are a few bytes: a plain scan beats a library search's call. Most have no prefix.
    std::size_t colon = 0;
    while (colon < qname.size() && qname[colon] != ':') ++colon;
    if (colon == qname.size()) {
        ns = element ? defaultNs_ : kNoNamespace;
        local = qname;
        return;
    }
    ResolvePrefixed(qname, colon, ns, local);
}

void TXmlReader::ResolvePrefixed(std::string_view qname, std::size_t colon, int& ns,
                                 std::string_view& local) const {
    local = qname.substr(colon + 1);
    const std::string_view prefix = qname.substr(0, colon);
    for (const auto& c : prefixCache_) {
        if (c.valid && c.prefix == prefix) {
            ns = c.id;
            return;
        }
    }
    ns = Lookup(prefix);
    auto& slot = prefixCache_[prefixCacheNext_++ % prefixCache_.size()];
    slot.valid = true;
    slot.prefix.assign(prefix);
    slot.id = ns;
}

void TXmlReader::Rebind() {
    const auto it = scopes_.find(std::string());
    defaultNs_ = it != scopes_.end() && !it->second.empty() ? it->second.back() : kNoNamespace;
    for (auto& c : prefixCache_) c.valid = false;
}

std::string_view TXmlReader::Decode(std::string_view raw, std::string& into, bool attribute) {
    into.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            // A line end is one LF whatever the file used; in a value it is a space.
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            into.push_back(attribute ? ' ' : '\n');
        } else if (attribute && (c == '\n' || c == '\t')) {
            into.push_back(' ');
        } else if (c != '&') {
            into.push_back(c);
        } else {
            const std::size_t semi = raw.find(';', i + 1);
            if (semi == std::string_view::npos) Fail("an entity reference is not closed");
            const std::string_view ref = raw.substr(i + 1, semi - i - 1);
            i = semi;
            if (ref == "lt") {
                into.push_back('<');
            } else if (ref == "gt") {
                into.push_back('>');
            } else if (ref == "amp") {
                into.push_back('&');
            } else if (ref == "quot") {
                into.push_back('"');
            } else if (ref == "apos") {
                into.push_back('\'');
            } else if (ref.size() >= 2 && ref[0] == '#') {
                const bool hex = ref[1] == 'x';
                const std::string_view digits = ref.substr(hex ? 2 : 1);
                if (digits.empty() || digits.size() > 8) Fail("a character reference is invalid");
                std::uint32_t cp = 0;
                for (char d : digits) {
                    std::uint32_t v;
                    if (d >= '0' && d <= '9') {
                        v = static_cast<std::uint32_t>(d - '0');
                    } else if (hex && d >= 'a' && d <= 'f') {
                        v = static_cast<std::uint32_t>(d - 'a' + 10);
                    } else if (hex && d >= 'A' && d <= 'F') {
                        v = static_cast<std::uint32_t>(d - 'A' + 10);
                    } else {
                        Fail("a character reference is invalid");
                    }
                    cp = cp * (hex ? 16 : 10) + v;
                }
                if (!IsXmlChar(cp)) Fail("a character reference is invalid");
                AppendUtf8(into, cp);
            } else {
                // Only the predefined entities exist: no DOCTYPE may declare more.
                Fail("an entity reference names no known entity");
            }
        }
    }
    return into;
}

TXmlReader::TToken TXmlReader::Next() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        PopElement();
        return TToken::EndTag;
    }
    for (;;) {
        const char* p = pos_;
        if (p == end_) {
            p = Fill(p, 1);
            if (p == end_) {
                if (!done_) Fail("the part ends before its last element");
                return TToken::End;
            }
        }
        if (*p != '<') {
            if (started_ && !done_) return ReadText(p);
            // Outside the root element only white space may stand.
            while (p != end_ && IsSpace(*p)) ++p;
            pos_ = p;
            if (p != end_) {
                if (*p != '<') Fail("text stands outside the root element");
            }
            continue;
        }
        p = Fill(p, 9);
        const std::string_view head(p,
                                    std::min<std::size_t>(9, static_cast<std::size_t>(end_ - p)));
        if (head.starts_with("<?")) {
            const std::size_t at = FindFrom(p, 2, "?>");
            if (at == std::string_view::npos) Fail("a processing instruction is not closed");
            if (!started_) CheckDeclaration(std::string_view(p + 2, at - 2));
            pos_ = p + at + 2;
            continue;
        }
        if (head.starts_with("<!--")) {
            const std::size_t at = FindFrom(p, 4, "-->");
            if (at == std::string_view::npos) Fail("a comment is not closed");
            pos_ = p + at + 3;
            continue;
        }
        if (head.starts_with("<![CDATA[")) {
            if (!started_ || done_) Fail("text stands outside the root element");
            const std::size_t at = FindFrom(p, 9, "]]>");
            if (at == std::string_view::npos) Fail("a CDATA section is not closed");
            text_ = std::string_view(p + 9, at - 9);
            pos_ = p + at + 3;
            return TToken::Text;
        }
        if (head.starts_with("<!")) Fail("DOCTYPE declarations are not accepted");
        if (head.starts_with("</")) {
            ReadEndTag(p);
            return TToken::EndTag;
        }
        if (done_) Fail("more than one root element");
        ReadStartTag(p);
        return TToken::StartTag;
    }
}

void TXmlReader::CheckDeclaration(std::string_view body) {
    if (!body.starts_with("xml") || body.size() < 4 || !IsSpace(body[3])) return;
    const std::size_t at = body.find("encoding");
    if (at == std::string_view::npos) return;
    std::size_t i = at + 8;
    while (i < body.size() && (IsSpace(body[i]) || body[i] == '=')) ++i;
    if (i == body.size() || (body[i] != '"' && body[i] != '\''))
        Fail("its declaration is malformed");
    const std::size_t close = body.find(body[i], i + 1);
    if (close == std::string_view::npos) Fail("its declaration is malformed");
    std::string name(body.substr(i + 1, close - i - 1));
    for (char& c : name) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    // The bytes reach this reader as UTF-8 whatever the part was: a UTF-16 part has been
    // converted by its byte order. ASCII is UTF-8 too. Anything else would be read as the
    // wrong characters.
    if (name == "utf-8" || name == "utf8" || name == "utf-16" || name == "utf-16le" ||
        name == "utf-16be" || name == "us-ascii" || name == "ascii")
        return;
    throw EXmlError("XML part: it is written in the encoding \"" + std::string(name.substr(0, 40)) +
                    "\", which is not read (only UTF-8 and UTF-16)");
}

TXmlReader::TToken TXmlReader::ReadText(const char* p) {
    const std::size_t at = FindFrom(p, 0, "<");
    if (at == std::string_view::npos) Fail("the part ends before its last element");
    const std::string_view raw(p, at);
    pos_ = p + at;
    bool plain = true;
    for (char c : raw) {
        if (c == '&' || c == '\r') {
            plain = false;
            break;
        }
    }
    text_ = plain ? raw : Decode(raw, textScratch_, false);
    return TToken::Text;
}

void TXmlReader::ReadStartTag(const char* p) {
    // Parsed from its '<' again whenever the tag runs past the bytes at hand.
    std::size_t i;
    bool empty = false;
    for (;;) {
        raw_.clear();
        const std::size_t have = static_cast<std::size_t>(end_ - p);
        i = 1;
        const auto more = [&]() { return i < have; };
        while (more() && !EndsName(p[i])) ++i;
        if (!more()) goto refill;
        qname_ = std::string_view(p + 1, i - 1);
        if (qname_.empty()) Fail("an element has no name");
        for (;;) {
            while (more() && IsSpace(p[i])) ++i;
            if (!more()) goto refill;
            if (p[i] == '>') {
                ++i;
                break;
            }
            if (p[i] == '/') {
                if (i + 1 >= have) goto refill;
                if (p[i + 1] != '>') Fail("an element's tag is malformed");
                i += 2;
                empty = true;
                break;
            }
            const std::size_t nameStart = i;
            while (more() && !EndsName(p[i])) ++i;
            if (!more()) goto refill;
            const std::string_view attrName(p + nameStart, i - nameStart);
            if (attrName.empty()) Fail("an element's tag is malformed");
            while (more() && IsSpace(p[i])) ++i;
            if (!more()) goto refill;
            if (p[i] != '=') Fail("an attribute has no value");
            ++i;
            while (more() && IsSpace(p[i])) ++i;
            if (!more()) goto refill;
            const char quote = p[i];
            if (quote != '"' && quote != '\'') Fail("an attribute value is not quoted");
            ++i;
            const std::size_t valueStart = i;
            bool decode = false;
            for (; more(); ++i) {
                const char c = p[i];
                if (!(kClasses[static_cast<unsigned char>(c)] & kInValue)) continue;
                if (c == quote) break;
                if (c == '<') Fail("an attribute value holds '<'");
                if (c != '"' && c != '\'') decode = true;
            }
            if (!more()) goto refill;
            if (raw_.size() == kMaxAttributes) Fail("an element has too many attributes");
            raw_.push_back({attrName, std::string_view(p + valueStart, i - valueStart), decode});
            ++i;
        }
        break;
    refill:
        if (eof_) Fail("the part ends inside an element's tag");
        // Twice what is at hand: the tag is parsed again from its '<', and a source that
        // hands out little at a time must not make a long tag cost its length squared.
        p = Fill(p, std::max(have + 1, std::min(2 * have, maxToken_)));
    }
    pos_ = p + i;
    CheckUnique();

    // Declarations first: they apply to the element's own name and attributes.
    const auto bindingsBefore = static_cast<std::uint32_t>(bindings_.size());
    for (const RawAttribute& a : raw_) {
        if (!a.qname.starts_with("xmlns")) continue;
        std::string_view prefix;
        if (a.qname.size() == 5) {
            prefix = {};
        } else if (a.qname[5] == ':') {
            prefix = a.qname.substr(6);
        } else {
            continue;
        }
        std::string scratch;
        const std::string_view uri = a.decode ? Decode(a.value, scratch, true) : a.value;
        bindings_.emplace_back(prefix);
        scopes_[bindings_.back()].push_back(uri.empty() ? kNoNamespace : IdOf(uri));
    }
    if (bindings_.size() != bindingsBefore) Rebind();

    ResolveName(qname_, true, ns_, name_);
    attributes_.clear();
    if (decoded_.size() < raw_.size()) decoded_.resize(raw_.size());
    for (std::size_t k = 0; k < raw_.size(); ++k) {
        const RawAttribute& a = raw_[k];
        if (a.qname.starts_with("xmlns") && (a.qname.size() == 5 || a.qname[5] == ':')) continue;
        // Filled in place: every cell's attributes pass here.
        TXmlAttribute& out = attributes_.emplace_back();
        ResolveName(a.qname, false, out.Ns, out.Name);
        out.Value = a.decode ? Decode(a.value, decoded_[k], true) : a.value;
    }

    if (open_.size() >= kMaxDepth) Fail("elements are nested too deeply");
    open_.push_back({static_cast<std::uint32_t>(openNames_.size()),
                     static_cast<std::uint32_t>(qname_.size()), bindingsBefore});
    openNames_.append(qname_);
    started_ = true;
    pendingEnd_ = empty;
}

void TXmlReader::CheckUnique() {
    // A repeated attribute would let whichever copy a reader looks at first decide.
    const std::size_t n = raw_.size();
    if (n < 2) return;
    if (n <= 16) {
        for (std::size_t a = 1; a < n; ++a)
            for (std::size_t b = 0; b < a; ++b)
                if (raw_[a].qname == raw_[b].qname) Fail("an element repeats an attribute");
        return;
    }
    std::vector<std::string_view> names;
    names.reserve(n);
    for (const RawAttribute& a : raw_) names.push_back(a.qname);
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end())
        Fail("an element repeats an attribute");
}

void TXmlReader::ReadEndTag(const char* p) {
    // An end tag is short and mostly at hand whole.
    std::size_t at = 2;
    const std::size_t have = static_cast<std::size_t>(end_ - p);
    while (at < have && p[at] != '>') ++at;
    if (at == have) at = FindFrom(p, 2, ">");
    if (at == std::string_view::npos) Fail("the part ends inside an element's tag");
    std::string_view qname(p + 2, at - 2);
    while (!qname.empty() && IsSpace(qname.back())) qname.remove_suffix(1);
    pos_ = p + at + 1;
    if (open_.empty()) Fail("an end tag has no element to close");
    const Open& top = open_.back();
    if (std::string_view(openNames_).substr(top.nameOffset, top.nameLength) != qname)
        Fail("an end tag does not match its element");
    ResolveName(qname, true, ns_, name_);
    attributes_.clear();
    PopElement();
}

void TXmlReader::PopElement() {
    const Open top = open_.back();
    open_.pop_back();
    openNames_.resize(top.nameOffset);
    if (bindings_.size() != top.bindings) {
        while (bindings_.size() > top.bindings) {
            scopes_[bindings_.back()].pop_back();
            bindings_.pop_back();
        }
        Rebind();
    }
    if (open_.empty()) done_ = true;
}

std::string_view TXmlReader::Attribute(int ns, std::string_view name, bool* found) const {
    for (const TXmlAttribute& a : attributes_) {
        if (a.Ns == ns && a.Name == name) {
            if (found) *found = true;
            return a.Value;
        }
    }
    if (found) *found = false;
    return {};
}

void TXmlReader::SkipElement() {
    const std::size_t depth = open_.size();
    if (depth == 0) return;
    for (;;) {
        const TToken t = Next();
        if (t == TToken::EndTag && open_.size() < depth) return;
        if (t == TToken::End) return;
    }
}

void TXmlReader::ReadElementText(std::string& out) {
    const std::size_t depth = open_.size();
    if (depth == 0) return;
    for (;;) {
        const TToken t = Next();
        if (t == TToken::Text) out.append(text_);
        if (t == TToken::EndTag && open_.size() < depth) return;
        if (t == TToken::End) return;
    }
}

}  // namespace morvik::zip
