#include "TrueType.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Error.h"

namespace morvik::pdf {
namespace {

// Big-endian reads inside [0, size) of a byte string; a read that does not fit gives 0 and
// marks the view bad, so a run of fields is checked once.
class View {
  public:
    View(const std::string& bytes, std::size_t offset, std::size_t length)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset), size_(length) {}

    std::size_t Size() const { return size_; }
    bool Ok() const { return ok_; }
    bool Fits(std::size_t at, std::size_t n) const { return at <= size_ && n <= size_ - at; }
    std::uint8_t U8(std::size_t at) {
        if (!Fits(at, 1)) return static_cast<std::uint8_t>(Bad());
        return data_[at];
    }
    std::uint16_t U16(std::size_t at) {
        if (!Fits(at, 2)) return Bad();
        return static_cast<std::uint16_t>(data_[at] << 8 | data_[at + 1]);
    }
    std::int16_t S16(std::size_t at) { return static_cast<std::int16_t>(U16(at)); }
    std::uint32_t U32(std::size_t at) {
        if (!Fits(at, 4)) return Bad();
        return static_cast<std::uint32_t>(data_[at]) << 24 | data_[at + 1] << 16 |
               data_[at + 2] << 8 | data_[at + 3];
    }
    const std::uint8_t* At(std::size_t at) const { return data_ + at; }

  private:
    std::uint16_t Bad() {
        ok_ = false;
        return 0;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    bool ok_ = true;
};

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}
void Set16(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v >> 8 & 0xFF);
    out[at + 1] = static_cast<char>(v & 0xFF);
}
void Set32(std::string& out, std::size_t at, std::uint32_t v) {
    Set16(out, at, v >> 16);
    Set16(out, at + 2, v & 0xFFFF);
}

std::uint32_t Tag(const char* tag) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(tag[0])) << 24 |
           static_cast<unsigned char>(tag[1]) << 16 | static_cast<unsigned char>(tag[2]) << 8 |
           static_cast<unsigned char>(tag[3]);
}

// The checksum of a table: its bytes as big-endian 32-bit words, the last padded with zeros.
std::uint32_t Checksum(std::string_view bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        std::uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word =
                word << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// Component records of a composite glyph.
constexpr std::uint16_t kWordArguments = 0x0001, kScale = 0x0008, kMoreComponents = 0x0020,
                        kXYScale = 0x0040, kTwoByTwo = 0x0080, kInstructions = 0x0100;

std::size_t ComponentSize(std::uint16_t flags) {
    std::size_t n = 4 + ((flags & kWordArguments) ? 4 : 2);
    if (flags & kScale) n += 2;
    if (flags & kXYScale) n += 4;
    if (flags & kTwoByTwo) n += 8;
    return n;
}

}  // namespace

TrueTypeFont::Table TrueTypeFont::Find(const char* tag) const {
    const std::uint32_t t = Tag(tag);
    for (const auto& [key, table] : tables_)
        if (key == t) return table;
    return {};
}

TrueTypeFont::TrueTypeFont(std::string bytes, std::string name)
    : bytes_(std::move(bytes)), name_(std::move(name)) {
    const auto refuse = [&](const std::string& why) {
        throw PdfError(PdfError::Kind::FontUnusable, name_, why);
    };
    View file(bytes_, 0, bytes_.size());
    const std::uint32_t version = file.U32(0);
    if (version != 0x00010000 && version != Tag("true"))
        refuse(version == Tag("OTTO") ? "it has no TrueType outlines" : "it is no TrueType font");
    const std::uint16_t count = file.U16(4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 12 + 16 * i;
        const std::uint32_t tag = file.U32(at), offset = file.U32(at + 8),
                            length = file.U32(at + 12);
        if (!file.Ok()) refuse("its table directory is cut short");
        // A table outside the file is as good as absent.
        if (file.Fits(offset, length)) tables_.push_back({tag, Table{offset, length}});
    }
    for (const char* required : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cmap"})
        if (Find(required).length == 0) refuse(std::string("it has no '") + required + "' table");

    const Table headT = Find("head"), hheaT = Find("hhea"), maxpT = Find("maxp"),
                hmtxT = Find("hmtx"), locaT = Find("loca");
    glyf_ = Find("glyf");
    View head(bytes_, headT.offset, headT.length), hhea(bytes_, hheaT.offset, hheaT.length),
        maxp(bytes_, maxpT.offset, maxpT.length), hmtx(bytes_, hmtxT.offset, hmtxT.length),
        loca(bytes_, locaT.offset, locaT.length);
    unitsPerEm_ = head.U16(18);
    longOffsets_ = head.S16(50) == 1;
    glyphCount_ = maxp.U16(4);
    const std::uint16_t metricCount = hhea.U16(34);
    if (!head.Ok() || !hhea.Ok() || !maxp.Ok() || head.Size() < 54 || hhea.Size() < 36)
        refuse("its header tables are cut short");
    if (unitsPerEm_ < 16 || unitsPerEm_ > 16384) refuse("its em is out of range");
    if (glyphCount_ == 0 || metricCount == 0 || metricCount > glyphCount_ ||
        !hmtx.Fits(0, 4u * metricCount))
        refuse("its horizontal metrics do not match its glyphs");

    // Metrics: the advances of the last full record repeat for the glyphs after it.
    horizontal_.resize(glyphCount_);
    advance_.resize(glyphCount_);
    for (std::size_t g = 0; g < glyphCount_; ++g) {
        const std::size_t last = std::min<std::size_t>(g, metricCount - 1u);
        const std::int16_t side = g < metricCount
                                      ? hmtx.S16(4 * g + 2)
                                      : (hmtx.Fits(4u * metricCount + 2 * (g - metricCount), 2)
                                             ? hmtx.S16(4u * metricCount + 2 * (g - metricCount))
                                             : 0);
        horizontal_[g] = {static_cast<std::int16_t>(hmtx.U16(4 * last)), side};
        advance_[g] = static_cast<double>(hmtx.U16(4 * last)) / unitsPerEm_;
    }

    // Glyph offsets; ones past the table or running backwards leave their glyph empty.
    glyphStart_.resize(static_cast<std::size_t>(glyphCount_) + 1);
    for (std::size_t g = 0; g <= glyphCount_; ++g) {
        std::uint32_t offset = longOffsets_ ? loca.U32(4 * g) : 2u * loca.U16(2 * g);
        glyphStart_[g] = std::min(offset, glyf_.length);
    }

    const double scale = 1000.0 / unitsPerEm_;
    metrics_.box = {head.S16(36) * scale, head.S16(38) * scale, head.S16(40) * scale,
                    head.S16(42) * scale};
    metrics_.ascent = hhea.S16(4) * scale;
    metrics_.descent = hhea.S16(6) * scale;
    metrics_.capHeight = metrics_.ascent;
    if (const Table os2T = Find("OS/2"); os2T.length >= 90) {
        View os2(bytes_, os2T.offset, os2T.length);
        if (os2.U16(0) >= 2) metrics_.capHeight = os2.S16(88) * scale;
    }
    if (const Table postT = Find("post"); postT.length >= 16) {
        View post(bytes_, postT.offset, postT.length);
        metrics_.italicAngle = static_cast<std::int32_t>(post.U32(4)) / 65536.0;
        metrics_.fixedPitch = post.U32(12) != 0;
    }

    // The PostScript name (name 6), kept to the characters a PDF name may hold plainly.
    if (const Table nameT = Find("name"); nameT.length >= 6) {
        View names(bytes_, nameT.offset, nameT.length);
        const std::uint16_t records = names.U16(2), strings = names.U16(4);
        for (std::size_t i = 0; i < records && postScriptName_.empty(); ++i) {
            const std::size_t at = 6 + 12 * i;
            const std::uint16_t platform = names.U16(at), id = names.U16(at + 6),
                                length = names.U16(at + 8), offset = names.U16(at + 10);
            if (!names.Ok() || id != 6 || !names.Fits(strings + std::size_t{offset}, length))
                continue;
            const std::uint8_t* s = names.At(strings + std::size_t{offset});
            const std::size_t step = platform == 1 ? 1 : 2;
            for (std::size_t k = step - 1; k < length; k += step) {
                const char c = static_cast<char>(s[k]);
                if ((step == 1 || s[k - 1] == 0) &&
                    (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'))
                    postScriptName_ += c;
            }
        }
    }
    if (postScriptName_.empty()) postScriptName_ = "Font";

    ReadCharacterMap();
}

void TrueTypeFont::ReadCharacterMap() {
    const Table cmapT = Find("cmap");
    View cmap(bytes_, cmapT.offset, cmapT.length);
    // The best Unicode subtable: all of Unicode (format 12) before the basic plane (format 4).
    std::size_t best = 0;
    int bestScore = 0;
    const std::uint16_t count = cmap.U16(2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t platform = cmap.U16(4 + 8 * i), encoding = cmap.U16(6 + 8 * i);
        const std::uint32_t offset = cmap.U32(8 + 8 * i);
        if (!cmap.Ok()) break;
        const std::uint16_t format = cmap.U16(offset);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        const int score = !unicode ? 0 : format == 12 ? 2 : format == 4 ? 1 : 0;
        if (cmap.Ok() && score > bestScore) bestScore = score, best = offset;
    }
    if (bestScore == 0) throw PdfError(PdfError::Kind::FontUnusable, name_, "it maps no Unicode");

    basic_.assign(0x10000, 0);
    const auto glyphOf = [&](std::uint32_t g) -> std::uint16_t {
        return g < glyphCount_ ? static_cast<std::uint16_t>(g) : 0;
    };
    if (bestScore == 2) {
        const std::uint32_t groups = cmap.U32(best + 12);
        char32_t previous = 0;
        for (std::uint32_t i = 0; i < groups && cmap.Fits(best + 16 + 12 * std::size_t{i}, 12);
             ++i) {
            const std::size_t at = best + 16 + 12 * std::size_t{i};
            const char32_t first = cmap.U32(at), last = cmap.U32(at + 4);
            const std::uint32_t glyph = cmap.U32(at + 8);
            // Groups run in order without overlap; what breaks the order ends the map, which
            // bounds the work by the range of Unicode.
            if (first > last || last > 0x10FFFF || (i > 0 && first <= previous)) break;
            previous = last;
            for (char32_t c = first; c <= std::min<char32_t>(last, 0xFFFF); ++c)
                basic_[c] = glyphOf(glyph + (c - first));
            if (last > 0xFFFF) {
                const char32_t from = std::max<char32_t>(first, 0x10000);
                supplementary_.push_back({from, last, glyph + (from - first)});
            }
        }
    } else {
        const std::size_t segments = cmap.U16(best + 6) / 2;
        const std::size_t ends = best + 14, starts = ends + 2 * segments + 2,
                          deltas = starts + 2 * segments, ranges = deltas + 2 * segments;
        std::uint32_t next = 0;  // segments run in order: each character is filled once
        for (std::size_t s = 0; s < segments; ++s) {
            const std::uint16_t end = cmap.U16(ends + 2 * s), start = cmap.U16(starts + 2 * s),
                                delta = cmap.U16(deltas + 2 * s), range = cmap.U16(ranges + 2 * s);
            if (!cmap.Ok() || start > end || end < next) break;
            for (std::uint32_t c = std::max<std::uint32_t>(start, next); c <= end; ++c) {
                std::uint16_t g = 0;
                if (range == 0) {
                    g = static_cast<std::uint16_t>(c + delta);
                } else {
                    const std::size_t at = ranges + 2 * s + range + 2 * (c - start);
                    g = cmap.U16(at);
                    if (g != 0) g = static_cast<std::uint16_t>(g + delta);
                }
                basic_[c] = glyphOf(g);
            }
            next = std::uint32_t{end} + 1;
        }
    }

    character_.assign(glyphCount_, 0);
    for (char32_t c = 1; c < 0x10000; ++c)
        if (const std::uint16_t g = basic_[c]; g != 0 && character_[g] == 0) character_[g] = c;
    for (const Group& group : supplementary_)
        for (char32_t c = group.first; c <= group.last; ++c) {
            const std::uint32_t g = group.glyph + (c - group.first);
            if (g >= glyphCount_) break;
            if (character_[g] == 0) character_[g] = c;
        }
}

std::uint16_t TrueTypeFont::Glyph(char32_t c) const {
    if (c < 0x10000) return basic_[c];
    const auto it = std::upper_bound(supplementary_.begin(), supplementary_.end(), c,
                                     [](char32_t v, const Group& g) { return v < g.first; });
    if (it == supplementary_.begin()) return 0;
    const Group& g = *std::prev(it);
    if (c > g.last) return 0;
    const std::uint32_t glyph = g.glyph + (c - g.first);
    return glyph < glyphCount_ ? static_cast<std::uint16_t>(glyph) : 0;
}

char32_t TrueTypeFont::CharacterOf(std::uint16_t glyph) const {
    return glyph < character_.size() ? character_[glyph] : 0;
}

// A glyph's outline without its hinting instructions; empty when it is empty or damaged.
std::string TrueTypeFont::Outline(std::uint16_t glyph) const {
    const std::uint32_t begin = glyphStart_[glyph], end = glyphStart_[glyph + 1u];
    if (end <= begin) return {};
    View g(bytes_, glyf_.offset + std::size_t{begin}, end - begin);
    const std::string_view all(reinterpret_cast<const char*>(g.At(0)), g.Size());
    const std::int16_t contours = g.S16(0);
    if (!g.Ok()) return {};
    if (contours >= 0) {
        const std::size_t lengthAt = 10 + 2 * std::size_t(contours);
        const std::uint16_t instructions = g.U16(lengthAt);
        const std::size_t rest = lengthAt + 2 + instructions;
        if (!g.Ok() || rest > g.Size()) return {};
        // The points' flags and coordinates, to their exact end: the padding after them is
        // the font's own and is replaced by ours.
        const std::size_t points = contours == 0 ? 0 : g.U16(lengthAt - 2) + std::size_t{1};
        std::size_t at = rest, xBytes = 0, yBytes = 0;
        for (std::size_t n = 0; n < points && g.Ok();) {
            const std::uint8_t flags = g.U8(at++);
            std::size_t repeat = 1;
            if (flags & 0x08) repeat += g.U8(at++);
            repeat = std::min(repeat, points - n);
            n += repeat;
            xBytes += repeat * ((flags & 0x02) ? 1 : (flags & 0x10) ? 0 : 2);
            yBytes += repeat * ((flags & 0x04) ? 1 : (flags & 0x20) ? 0 : 2);
        }
        const std::size_t end = at + xBytes + yBytes;
        if (!g.Ok() || end > g.Size()) return {};
        std::string out(all.substr(0, lengthAt));
        Put16(out, 0);
        out += all.substr(rest, end - rest);
        return out;
    }
    std::size_t at = 10;
    for (;;) {
        const std::uint16_t flags = g.U16(at);
        const std::size_t size = ComponentSize(flags);
        if (!g.Ok() || !g.Fits(at, size)) return {};
        at += size;
        if (!(flags & kMoreComponents)) break;
    }
    return std::string(all.substr(0, at));
}

std::string TrueTypeFont::Subset(std::vector<std::uint16_t>& glyphs) const {
    // The glyphs and, through composites, the glyphs they are built from.
    std::vector<bool> wanted(glyphCount_, false);
    wanted[0] = true;
    std::vector<std::uint16_t> work;
    for (const std::uint16_t g : glyphs)
        if (g < glyphCount_ && !wanted[g]) wanted[g] = true, work.push_back(g);
    std::vector<std::string> outlines(glyphCount_);
    const auto outline = [&](std::uint16_t g) -> std::string& {
        if (outlines[g].empty()) outlines[g] = Outline(g);
        return outlines[g];
    };
    work.push_back(0);
    while (!work.empty()) {
        const std::uint16_t g = work.back();
        work.pop_back();
        const std::string& o = outline(g);
        View v(o, 0, o.size());
        if (o.empty() || v.S16(0) >= 0) continue;
        for (std::size_t at = 10;; at += ComponentSize(v.U16(at))) {
            const std::uint16_t flags = v.U16(at), part = v.U16(at + 2);
            if (part < glyphCount_ && !wanted[part]) wanted[part] = true, work.push_back(part);
            if (!(flags & kMoreComponents)) break;
        }
    }
    glyphs.clear();
    std::vector<std::uint16_t> renumbered(glyphCount_, 0);
    for (std::uint32_t g = 0; g < glyphCount_; ++g)
        if (wanted[g]) {
            renumbered[g] = static_cast<std::uint16_t>(glyphs.size());
            glyphs.push_back(static_cast<std::uint16_t>(g));
        }
    const std::size_t n = glyphs.size();

    std::string glyf, loca, hmtx;
    for (const std::uint16_t g : glyphs) {
        Put32(loca, static_cast<std::uint32_t>(glyf.size()));
        Put16(hmtx, static_cast<std::uint16_t>(horizontal_[g][0]));
        Put16(hmtx, static_cast<std::uint16_t>(horizontal_[g][1]));
        std::string o = outline(g);
        View v(o, 0, o.size());
        if (!o.empty() && v.S16(0) < 0) {
            std::size_t at = 10;
            for (;;) {
                const std::uint16_t flags = v.U16(at);
                Set16(o, at, flags & ~kInstructions);
                const std::uint16_t part = v.U16(at + 2);
                Set16(o, at + 2, part < glyphCount_ ? renumbered[part] : 0);
                if (!(flags & kMoreComponents)) break;
                at += ComponentSize(flags);
            }
        }
        glyf += o;
        glyf.append((4 - glyf.size() % 4) % 4, '\0');
    }
    Put32(loca, static_cast<std::uint32_t>(glyf.size()));

    const auto original = [&](const char* tag) {
        const Table t = Find(tag);
        return bytes_.substr(t.offset, t.length);
    };
    std::string head = original("head").substr(0, 54);
    Set32(head, 8, 0);   // the whole font's checksum, set below
    Set16(head, 50, 1);  // 32-bit glyph offsets
    std::string hhea = original("hhea").substr(0, 36);
    Set16(hhea, 34, static_cast<std::uint32_t>(n));
    std::string maxp = original("maxp");
    maxp.resize(maxp.size() >= 32 ? 32 : 6);
    Set16(maxp, 4, static_cast<std::uint32_t>(n));
    std::string post;  // version 3: no glyph names
    Put32(post, 0x00030000);
    if (const Table t = Find("post"); t.length >= 32)
        post += bytes_.substr(t.offset + 4, 28);
    else
        post.append(28, '\0');

    // Tables in the order of their tags, as the directory lists them.
    const std::pair<const char*, const std::string*> tables[] = {
        {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea}, {"hmtx", &hmtx},
        {"loca", &loca}, {"maxp", &maxp}, {"post", &post}};
    const std::uint16_t count = std::size(tables);
    std::uint16_t power = 1, log2 = 0;
    while (power * 2u <= count) power = static_cast<std::uint16_t>(power * 2), ++log2;
    std::string font;
    Put32(font, 0x00010000);
    Put16(font, count);
    Put16(font, power * 16u);
    Put16(font, log2);
    Put16(font, count * 16u - power * 16u);
    std::size_t offset = 12 + 16 * std::size_t{count}, headAt = 0;
    for (const auto& [tag, bytes] : tables) {
        Put32(font, Tag(tag));
        Put32(font, Checksum(*bytes));
        Put32(font, static_cast<std::uint32_t>(offset));
        Put32(font, static_cast<std::uint32_t>(bytes->size()));
        if (std::strcmp(tag, "head") == 0) headAt = offset;
        offset += (bytes->size() + 3) / 4 * 4;
    }
    for (const auto& [tag, bytes] : tables) {
        font += *bytes;
        font.append((4 - bytes->size() % 4) % 4, '\0');
    }
    Set32(font, headAt + 8, 0xB1B0AFBA - Checksum(font));
    return font;
}

}  // namespace morvik::pdf
