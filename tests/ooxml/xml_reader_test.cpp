// The XML pull reader: tokens of well-formed parts, from memory and in pieces, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "zip/XmlReader.h"

namespace morvik::zip {
namespace {

constexpr TNamespace kNs[] = {{"urn:a", 1}, {"urn:b", 2}, {"urn:b-strict", 2}};

// Hands out its text a few bytes at a time, so tokens straddle every refill.
class Trickle final : public TByteSource {
  public:
    Trickle(std::string text, std::size_t step) : text_(std::move(text)), step_(step) {}
    std::size_t Read(char* out, std::size_t size) override {
        const std::size_t n = std::min({size, step_, text_.size() - at_});
        std::memcpy(out, text_.data() + at_, n);
        at_ += n;
        return n;
    }

  private:
    std::string text_;
    std::size_t step_, at_ = 0;
};

// Tokens as "<ns:name a=v ...>", "</ns:name>", "'text'".
std::string Render(TXmlReader& r) {
    std::string out;
    for (TXmlReader::TToken t; (t = r.Next()) != TXmlReader::TToken::End;) {
        if (t == TXmlReader::TToken::StartTag) {
            out += "<" + std::to_string(r.Ns()) + ":" + std::string(r.Name());
            for (const auto& a : r.Attributes())
                out += " " + std::to_string(a.Ns) + ":" + std::string(a.Name) + "=" +
                       std::string(a.Value);
            out += ">";
        } else if (t == TXmlReader::TToken::EndTag) {
            out += "</" + std::to_string(r.Ns()) + ":" + std::string(r.Name()) + ">";
        } else {
            out += "'" + std::string(r.Text()) + "'";
        }
    }
    return out;
}

TEST(XmlReader, TokensAgreeFromMemoryAndInPieces) {
    struct Case {
        const char* xml;
        const char* tokens;
    } cases[] = {
        {"<?xml version='1.0'?>\n<!-- c --><a xmlns='urn:a' x=\"1\"><b/></a>\n",
         "<1:a -1:x=1><1:b></1:b></1:a>"},
        {"<p:a xmlns:p='urn:b' xmlns:q='urn:b-strict' p:x='1' q:y='2'><q:b/></p:a>",
         "<2:a 2:x=1 2:y=2><2:b></2:b></2:a>"},
        // A redeclared prefix holds inside its element only; unknown URIs are 0.
        {"<p:a xmlns:p='urn:a'><p:b xmlns:p='urn:zzz'/><p:c/></p:a>",
         "<1:a><0:b></0:b><1:c></1:c></1:a>"},
        {"<?xml version='1.0' encoding='UTF-8'?><a>\xC5\xBE\xE2\x82\xAC\xF0\x9F\x98\x80</a>",
         "<-1:a>'\xC5\xBE\xE2\x82\xAC\xF0\x9F\x98\x80'</-1:a>"},
        {"<a>x &lt;&amp;&gt;&quot;&apos; &#65;&#x10437;\r\ny<![CDATA[<&>]]></a>",
         "<-1:a>'x <&>\"' A\xF0\x90\x90\xB7\ny''<&>'</-1:a>"},
        {"<a v='a&#10;b\tc&amp;'/>", "<-1:a -1:v=a\nb c&></-1:a>"},
        {"\xEF\xBB\xBF<a>t</a>", "<-1:a>'t'</-1:a>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        const std::string text = XmlTextAsUtf8(c.xml);
        TXmlReader memory(text, kNs);
        EXPECT_EQ(Render(memory), c.tokens);
        for (std::size_t step : {1u, 3u, 1000u}) {
            Trickle raw(c.xml, step);
            TXmlTextSource utf8(raw);
            TXmlReader pieces(utf8, kNs);
            EXPECT_EQ(Render(pieces), c.tokens) << step;
        }
    }
}

TEST(XmlReader, Utf16PartsReadAsUtf8) {
    const std::string le("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18);
    const std::string be("\0<\0a\0>\0\xE9\0<\0/\0a\0>", 16);
    for (const std::string& bytes : {le, be}) {
        const std::string text = XmlTextAsUtf8(bytes);
        TXmlReader memory(text, kNs);
        EXPECT_EQ(Render(memory), "<-1:a>'\xC3\xA9'</-1:a>");
        Trickle raw(bytes, 3);
        TXmlTextSource utf8(raw);
        TXmlReader pieces(utf8, kNs);
        EXPECT_EQ(Render(pieces), "<-1:a>'\xC3\xA9'</-1:a>");
    }
}

TEST(XmlReader, MalformedPartsAreRefusedWithTheirMessage) {
    struct Case {
        const char* xml;
        const char* message;
    } cases[] = {
        {"<!DOCTYPE a [<!ENTITY x 'y'>]><a>&x;</a>",
         "XML part: DOCTYPE declarations are not accepted"},
        {"<a>&x;</a>", "XML part: an entity reference names no known entity"},
        {"<a>&#0;</a>", "XML part: a character reference is invalid"},
        {"<a>&amp</a>", "XML part: an entity reference is not closed"},
        {"<a><b></a></b>", "XML part: an end tag does not match its element"},
        {"<a><b>", "XML part: the part ends before its last element"},
        {"<a x=1/>", "XML part: an attribute value is not quoted"},
        {"<a x='<'/>", "XML part: an attribute value holds '<'"},
        {"<a/><b/>", "XML part: more than one root element"},
        {"x<a/>", "XML part: text stands outside the root element"},
        {"<a", "XML part: the part ends inside an element's tag"},
        // What a reader could only guess at: which copy counts, what a prefix means, which
        // characters the bytes are.
        {"<a x='1' y='2' x='3'/>", "XML part: an element repeats an attribute"},
        {"<a><u:d/></a>", "XML part: a name uses a prefix that no namespace declaration binds"},
        {"<?xml version='1.0' encoding='windows-1250'?><a>x</a>",
         "XML part: it is written in the encoding \"windows-1250\", which is not read (only "
         "UTF-8 and UTF-16)"},
        {"<a>\xC3</a>", "XML part: its text is not valid UTF-8"},
        {"<a>\xED\xA0\x80</a>", "XML part: its text is not valid UTF-8"},  // a surrogate
        {"<a>\xE0\x80\xAF</a>", "XML part: its text is not valid UTF-8"},  // overlong '/'
        {"<a>\xF4\x90\x80\x80</a>", "XML part: its text is not valid UTF-8"},
        {"<a>x\xE2\x82", "XML part: its text is not valid UTF-8"},  // ends inside one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        for (std::size_t step : {1u, 1000u}) {
            Trickle bytes(c.xml, step);
            TXmlTextSource raw(bytes);
            TXmlReader r(raw, kNs);
            try {
                Render(r);
                ADD_FAILURE() << "accepted";
            } catch (const EXmlError& e) {
                EXPECT_STREQ(e.what(), c.message);
            }
        }
    }
}

TEST(XmlReader, LongTagsFromASlowSourceCostTheirLength) {
    // A 2 MB tag handed out 100 bytes at a time: parsing the tag again after every read would
    // take hours.
    std::string tag = "<a";
    for (int i = 0; i < 1000; ++i)
        tag += " x" + std::to_string(i) + "='" + std::string(2000, 'v') + "'";
    Trickle raw(tag + "/>", 100);
    TXmlReader r(raw, kNs);
    ASSERT_EQ(r.Next(), TXmlReader::TToken::StartTag);
    EXPECT_EQ(r.Attributes().size(), 1000u);
    // Attributes cost far more than their bytes: an element may have only so many.
    std::string many = "<a";
    for (std::size_t i = 0; i <= TXmlReader::kMaxAttributes; ++i)
        many += " x" + std::to_string(i) + "='1'";
    Trickle manyRaw(many + "/>", 100);
    TXmlReader tooMany(manyRaw, kNs);
    EXPECT_THROW(tooMany.Next(), EXmlError);
}

TEST(XmlReader, ManyNamespaceDeclarationsCostTheirLength) {
    // Prefixes declared, each used once, then 100,000 children each declaring the
    // default namespace anew: a name resolved by walking the declarations would take hours.
    // (As many prefixes as one element's attributes may be.)
    std::string doc = "<a";
    for (int i = 0; i < 500; ++i) doc += " xmlns:p" + std::to_string(i) + "='urn:a'";
    for (int i = 0; i < 500; ++i) doc += " p" + std::to_string(i) + ":x='1'";
    doc += ">";
    for (int i = 0; i < 100'000; ++i) doc += "<b xmlns='urn:b'/>";
    doc += "</a>";
    TXmlReader r(doc, kNs);
    ASSERT_EQ(r.Next(), TXmlReader::TToken::StartTag);
    ASSERT_EQ(r.Attributes().size(), 500u);
    EXPECT_EQ(r.Attributes().back().Ns, 1);
    int children = 0;
    for (TXmlReader::TToken t; (t = r.Next()) != TXmlReader::TToken::End;) {
        if (t == TXmlReader::TToken::StartTag && r.Ns() == 2) ++children;
    }
    EXPECT_EQ(children, 100'000);
}

TEST(XmlReader, TokensAndNestingAreBounded) {
    Trickle longText("<a>" + std::string(5000, 'x') + "</a>", 512);
    TXmlReader small(longText, kNs, 1024);
    EXPECT_THROW(Render(small), EXmlError);

    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<a>";
    TXmlReader nested(deep, kNs);
    EXPECT_THROW(Render(nested), EXmlError);
}

}  // namespace
}  // namespace morvik::zip
