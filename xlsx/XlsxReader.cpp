// The package around the worksheets: where the workbook part is, its relationships, sheets,
// styles and shared strings; the worksheets themselves are read by WorksheetParser and go into
// the model through FillSheets.
#include "XlsxReader.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SheetFill.h"
#include "WorksheetParser.h"
#include "XlsxCommon.h"
#include "text/Cp1250.h"
#include "xls/XLSFormatStr.h"
#include "xls/XLSReader.h"
#include "xls/XLSWorkbook.h"
#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

namespace morvik::xlsx {
namespace {

using xls::TCellValue;
using xls::TWorkbook;
using zip::Quoted;
using zip::TXmlReader;
using Token = TXmlReader::TToken;

// Each sheet's name is checked against all before it; no real workbook comes near.
constexpr std::size_t kMaxSheets = 4096;
// Each entry costs a cell value however few bytes of XML it took ("<si/>"), so the table is
// bounded; real workbooks hold thousands of distinct texts, rarely a million.
constexpr std::size_t kMaxSharedStrings = std::size_t{1} << 22;

struct Relationship {
    std::string id, type, target;
    bool external = false;
};

bool TypeIs(const Relationship& rel, std::string_view kind) {
    // Transitional and strict types differ before the last '/' only.
    const auto slash = rel.type.rfind('/');
    return slash != std::string::npos && std::string_view(rel.type).substr(slash + 1) == kind;
}

// The folder of a part name, with its trailing '/'; empty for a part at the root.
std::string FolderOf(std::string_view part) {
    const auto slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship target resolved against the folder of its source part, "." and ".." taken out.
// Only ever compared with entry names; nothing is opened by it.
std::string ResolveTarget(std::string_view folder, std::string_view target) {
    std::string joined = !target.empty() && target[0] == '/'
                             ? std::string(target.substr(1))
                             : std::string(folder) + std::string(target);
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(piece);
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

std::string RelsPartOf(std::string_view part) {
    const auto slash = part.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? "" : part.substr(0, slash + 1);
    const std::string_view name = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(name) + ".rels";
}

// A part's XML read as it inflates: neither its declared size nor one huge token costs
// memory before the part is refused.
class PartXml {
  public:
    explicit PartXml(std::unique_ptr<zip::TZipStream> stream)
        : stream_(std::move(stream)), utf8_(*stream_), xml_(utf8_, kNamespaces) {}
    TXmlReader& Xml() { return xml_; }

  private:
    std::unique_ptr<zip::TZipStream> stream_;
    zip::TXmlTextSource utf8_;
    TXmlReader xml_;
};

class Reader {
  public:
    Reader(std::span<const std::uint8_t> bytes, TWorkbook& workbook, std::uint64_t threadedFrom)
        : archive_(bytes),
          workbook_(workbook),
          threadedFrom_(threadedFrom),
          budget_(kModelBudget + kModelBudgetPerByte * static_cast<std::int64_t>(bytes.size())) {
        context_.budget = &budget_;
    }

    void Run();

  private:
    std::vector<Relationship> ReadRelationships(const std::string& part);
    // Null for a part that is missing (when not `required`) or empty.
    std::unique_ptr<PartXml> OpenPart(const std::string& name, bool required);
    void ReadWorkbookPart(const std::string& part);
    void ReadStyles(const std::string& part);
    void ReadSharedStrings(const std::string& part);

    zip::TZipArchive archive_;
    TWorkbook& workbook_;
    std::uint64_t threadedFrom_;
    struct SheetEntry {
        std::u16string name;
        std::string relId;
        bool hasRelId = false;
    };
    std::vector<SheetEntry> sheets_;
    SheetContext context_;
    std::vector<TCellValue> sharedStrings_;
    std::atomic<std::int64_t> budget_;
};

std::unique_ptr<PartXml> Reader::OpenPart(const std::string& name, bool required) {
    const zip::TZipEntry* entry = archive_.Find(name);
    if (entry == nullptr) {
        if (required) Fail("The workbook's part \"" + name + "\" is missing from the file.");
        return nullptr;
    }
    if (entry->Size == 0 && !required) return nullptr;
    return std::make_unique<PartXml>(archive_.Open(*entry));
}

std::vector<Relationship> Reader::ReadRelationships(const std::string& part) {
    std::vector<Relationship> out;
    const auto xml = OpenPart(RelsPartOf(part), false);
    if (xml == nullptr) return out;
    TXmlReader& r = xml->Xml();
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag || r.Name() != "Relationship" || r.Depth() != 2) continue;
        Relationship rel;
        rel.id = r.Attribute(zip::kNoNamespace, "Id");
        rel.type = r.Attribute(zip::kNoNamespace, "Type");
        rel.target = r.Attribute(zip::kNoNamespace, "Target");
        rel.external = r.Attribute(zip::kNoNamespace, "TargetMode") == "External";
        out.push_back(std::move(rel));
    }
    return out;
}

void Reader::Run() {
    // The workbook part is where the package's own relationships say; the usual name when
    // they are missing or unreadable.
    std::string workbookPart;
    std::vector<Relationship> packageRels;
    try {
        packageRels = ReadRelationships("");
    } catch (const zip::EXmlError&) {
        // Damaged package relationships only hide where the workbook is; look where it
        // usually is.
    }
    for (const Relationship& rel : packageRels) {
        if (TypeIs(rel, "officeDocument") && !rel.external) {
            workbookPart = ResolveTarget("", rel.target);
            break;
        }
    }
    if (workbookPart.empty() || archive_.Find(workbookPart) == nullptr) {
        if (archive_.Find("xl/workbook.xml") == nullptr)
            Fail("The file is a zip archive but no Excel workbook: it has no workbook part.");
        workbookPart = "xl/workbook.xml";
    }
    ReadWorkbookPart(workbookPart);
    const std::vector<Relationship> rels = ReadRelationships(workbookPart);
    const std::string folder = FolderOf(workbookPart);

    workbook_.Clear();
    workbook_.XFs().BeginLoad();
    for (const Relationship& rel : rels) {
        if (!rel.external && TypeIs(rel, "styles")) {
            ReadStyles(ResolveTarget(folder, rel.target));
            break;
        }
    }
    // Every cell's style index must name an entry; a workbook without styles has one.
    if (workbook_.XFs().Count() == 0) {
        workbook_.XFs().Scratch();
        workbook_.XFs().AppendScratch();
        context_.xfIsDate.assign(1, false);
    }
    // Entries the sheets add later (a date's default format) are new ones: these stay as read.
    for (std::size_t i = 0; i < context_.xfIsDate.size(); ++i)
        context_.xfIsPlain.push_back(xls::IsPlain(workbook_.XFs().Get(static_cast<int>(i))));
    for (const Relationship& rel : rels) {
        if (!rel.external && TypeIs(rel, "sharedStrings")) {
            ReadSharedStrings(ResolveTarget(folder, rel.target));
            break;
        }
    }
    context_.sharedStrings =
        std::make_shared<const std::vector<TCellValue>>(std::move(sharedStrings_));

    if (sheets_.empty()) Fail("There are no sheets in the workbook.");
    std::unordered_map<std::string_view, const Relationship*> byId;
    for (const Relationship& r : rels) {
        if (!byId.emplace(r.id, &r).second)
            Fail("The workbook's relationships give the id " + Quoted(r.id) + " twice.");
    }
    // Per sheet its worksheet part; empty for chart and dialog sheets, which keep their place
    // in the order without cells. A sheet whose link is broken would read as an empty sheet
    // and its landmarks as missing: it is refused.
    std::vector<std::string> parts;
    std::unordered_map<std::string, std::size_t> sheetOfPart;
    for (const SheetEntry& entry : sheets_) {
        const std::string sheet = "The workbook's sheet \"" + Utf16ToUtf8(entry.name) + "\" ";
        // An empty id is a writer's way to say the sheet has no part (a hidden sheet of
        // nothing); without the attribute the link is broken.
        if (!entry.hasRelId) Fail(sheet + "names no part of the file.");
        if (entry.relId.empty()) {
            parts.emplace_back();
            continue;
        }
        const auto found = byId.find(entry.relId);
        if (found == byId.end()) Fail(sheet + "names a part the workbook does not list.");
        const Relationship& rel = *found->second;
        if (rel.external) Fail(sheet + "lies outside the file.");
        if (TypeIs(rel, "worksheet")) {
            parts.push_back(ResolveTarget(folder, rel.target));
            // One part read for many sheets would cost its size as many times.
            if (!sheetOfPart.emplace(parts.back(), parts.size()).second)
                Fail(sheet + "shares its part with another sheet.");
        } else if (TypeIs(rel, "chartsheet") || TypeIs(rel, "dialogsheet") ||
                   TypeIs(rel, "macrosheet") || TypeIs(rel, "xlMacrosheet") ||
                   TypeIs(rel, "xlIntlMacrosheet")) {
            parts.emplace_back();
        } else {
            Fail(sheet + "names a part that is no sheet.");
        }
    }
    std::vector<std::u16string> names;
    for (const SheetEntry& entry : sheets_) names.push_back(entry.name);
    FillSheets(archive_, context_, workbook_, names, parts, threadedFrom_);
}

void Reader::ReadWorkbookPart(const std::string& part) {
    const auto xml = OpenPart(part, true);
    TXmlReader& r = xml->Xml();
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag) continue;
        if (IsMain(r, "workbookPr")) {
            const std::string_view v = r.Attribute(zip::kNoNamespace, "date1904");
            context_.date1904 = v == "1" || v == "true";
        } else if (IsMain(r, "sheet")) {
            if (sheets_.size() >= kMaxSheets)
                Fail("The workbook has more sheets than can be read.");
            const std::string_view name = r.Attribute(zip::kNoNamespace, "name");
            bool hasRelId = false;
            const std::string_view relId = r.Attribute(kDocRel, "id", &hasRelId);
            sheets_.push_back({Utf8ToUtf16(name), std::string(relId), hasRelId});
        } else if (IsMain(r, "definedNames") || IsMain(r, "extLst")) {
            r.SkipElement();
        }
    }
}

void Reader::ReadStyles(const std::string& part) {
    const auto xml = OpenPart(part, false);
    if (xml == nullptr) return;
    auto& formats = workbook_.FormatStrings();
    auto& xfs = workbook_.XFs();
    TXmlReader& r = xml->Xml();
    bool inCellXfs = false;
    std::unordered_map<int, bool> dateByPosition;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (IsMain(r, "cellXfs")) inCellXfs = false;
            continue;
        }
        if (t != Token::StartTag) continue;
        if (IsMain(r, "numFmt")) {
            std::int64_t id;
            if (!ParseIndex(r.Attribute(zip::kNoNamespace, "numFmtId"), id) || id > 0xFFFF)
                continue;
            dateByPosition.clear();  // a code given anew may change its class
            formats.SetFormat(static_cast<std::uint16_t>(id),
                              std::string(r.Attribute(zip::kNoNamespace, "formatCode")));
        } else if (IsMain(r, "cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && IsMain(r, "xf")) {
            std::int64_t id = 0;
            ParseIndex(r.Attribute(zip::kNoNamespace, "numFmtId"), id);
            xls::TXFEntry& entry = xfs.Scratch();
            const int position =
                id <= 0xFFFF ? formats.IndexOfCode(static_cast<std::uint16_t>(id)) : -1;
            entry.NumberFormat = static_cast<std::uint16_t>(position < 0 ? 0 : position);
            xfs.AppendScratch();
            // The same rule as the Excel 97 reader: the built-in code's class, else the pattern's.
            // Once per format: thousands of entries may share one long pattern.
            bool isDate = false;
            if (position >= 0) {
                const auto [known, added] = dateByPosition.try_emplace(position, false);
                if (added) {
                    const xls::TNumberFormat& format = formats.Get(position);
                    const std::string_view kind = xls::ClassifyBuiltinFormat(format.Code);
                    known->second = !kind.empty() ? kind == "date"
                                                  : !format.Pattern.empty() &&
                                                        xls::FormatTextIsDate(format.Pattern);
                }
                isDate = known->second;
            }
            context_.xfIsDate.push_back(isDate);
            r.SkipElement();
        } else if (IsMain(r, "cellStyleXfs") || IsMain(r, "fonts") || IsMain(r, "fills") ||
                   IsMain(r, "borders") || IsMain(r, "dxfs") || IsMain(r, "extLst")) {
            r.SkipElement();
        }
    }
}

void Reader::ReadSharedStrings(const std::string& part) {
    const zip::TZipEntry* entry = archive_.Find(part);
    if (entry == nullptr) return;
    auto stream = archive_.Open(*entry);
    zip::TXmlTextSource utf8(*stream);
    TXmlReader r(utf8, kNamespaces);
    std::string text;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag || !IsMain(r, "si")) continue;
        if (sharedStrings_.size() >= kMaxSharedStrings)
            Fail("The workbook has more shared strings than can be read.");
        text.clear();
        // Each entry costs a value however few bytes it took ("<si/>").
        Spend(budget_, kCellCost);
        if (!ReadInlineString(r, text, true)) {
            sharedStrings_.emplace_back();  // too long: refused where a cell shows it
            continue;
        }
        Spend(budget_, 2 * static_cast<std::int64_t>(text.size()));
        std::u16string units = UnescapeText(Utf8ToUtf16(text));
        sharedStrings_.push_back(
            units.size() > kMaxText ? TCellValue() : TCellValue::CompactText(std::move(units)));
    }
}

}  // namespace

bool LooksLikeXlsx(std::span<const std::uint8_t> bytes) {
    if (!zip::TZipArchive::LooksLikeZip(bytes)) return false;
    try {
        zip::TZipArchive archive(bytes);
        return archive.Find("xl/workbook.xml") != nullptr ||
               archive.Find("[Content_Types].xml") != nullptr;
    } catch (const Error&) {
        return false;
    }
}

void ReadXlsx(std::span<const std::uint8_t> bytes, TWorkbook& workbook,
              std::uint64_t threadedFrom) {
    // Excel wraps a password-protected workbook in a compound file.
    constexpr std::uint8_t kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes.size() >= sizeof kCompound &&
        std::equal(std::begin(kCompound), std::end(kCompound), bytes.begin()))
        Fail(
            "The file is no Office Open XML workbook but a compound file: an Excel 97 workbook, or "
            "a password-protected workbook, which is not supported.");
    Reader reader(bytes, workbook, threadedFrom);
    reader.Run();
}

}  // namespace morvik::xlsx
