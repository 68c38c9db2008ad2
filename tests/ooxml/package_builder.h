// Zip archives and workbook packages built in memory for the tests: every field a writer
// would set, each one open to being spoiled by a test.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace morvik::testing {

struct ZipItem {
    std::string name;
    std::string data;
    bool deflate = true;
    std::uint16_t flags = 0;
    std::uint16_t method = 0xFFFF;   // as written; 0xFFFF: 8 or 0 as `deflate` says
    std::int64_t declaredSize = -1;  // the directory's size; -1: the true one
    std::int64_t crcOverride = -1;
};

inline std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Local header, data, ..., central directory, end record: what every zip writer puts down.
inline std::string BuildZip(const std::vector<ZipItem>& items) {
    std::string out, directory;
    for (const ZipItem& item : items) {
        const std::string data = item.deflate ? RawDeflate(item.data) : item.data;
        const auto crc = item.crcOverride >= 0
                             ? static_cast<std::uint32_t>(item.crcOverride)
                             : static_cast<std::uint32_t>(
                                   crc32(0, reinterpret_cast<const Bytef*>(item.data.data()),
                                         static_cast<uInt>(item.data.size())));
        const auto size = static_cast<std::uint32_t>(
            item.declaredSize >= 0 ? item.declaredSize
                                   : static_cast<std::int64_t>(item.data.size()));
        const std::uint16_t method = item.method != 0xFFFF ? item.method : item.deflate ? 8 : 0;
        const auto offset = static_cast<std::uint32_t>(out.size());
        Put32(out, 0x04034b50);
        Put16(out, 20);  // version needed
        Put16(out, item.flags);
        Put16(out, method);
        Put32(out, 0);  // time and date
        Put32(out, crc);
        Put32(out, static_cast<std::uint32_t>(data.size()));
        Put32(out, size);
        Put16(out, static_cast<std::uint32_t>(item.name.size()));
        Put16(out, 0);  // extra length
        out += item.name;
        out += data;

        Put32(directory, 0x02014b50);
        Put16(directory, 20);  // made by
        Put16(directory, 20);  // needed
        Put16(directory, item.flags);
        Put16(directory, method);
        Put32(directory, 0);
        Put32(directory, crc);
        Put32(directory, static_cast<std::uint32_t>(data.size()));
        Put32(directory, size);
        Put16(directory, static_cast<std::uint32_t>(item.name.size()));
        Put16(directory, 0);  // extra
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, 0);  // external attributes
        Put32(directory, offset);
        directory += item.name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);  // this disk
    Put16(out, 0);  // directory's disk
    Put16(out, static_cast<std::uint32_t>(items.size()));
    Put16(out, static_cast<std::uint32_t>(items.size()));
    Put32(out, static_cast<std::uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);  // comment length
    return out;
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A workbook package: the sheets' XML by name in order, plus any parts given (which replace
// the defaults of the same name). Sheet i is xl/worksheets/sheet<i+1>.xml.
inline std::string BuildXlsx(const std::vector<std::pair<std::string, std::string>>& sheets,
                             std::map<std::string, std::string> parts = {},
                             const std::string& workbookPr = "") {
    std::string sheetList, rels;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheetList +=
            "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n +
                "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                "worksheet\" Target=\"worksheets/sheet" +
                n + ".xml\"/>";
        parts.try_emplace("xl/worksheets/sheet" + n + ".xml",
                          std::string("<worksheet xmlns=\"") + kMainNs + "\"><sheetData>" +
                              sheets[i].second + "</sheetData></worksheet>");
    }
    rels +=
        "<Relationship Id=\"rS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "<Relationship Id=\"rT\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/styles\" Target=\"/xl/styles.xml\"/>";
    parts.try_emplace("_rels/.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "relationships\"><Relationship Id=\"r1\" Type=\"http://schemas."
                      "openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                      "Target=\"xl/workbook.xml\"/></Relationships>");
    parts.try_emplace("xl/workbook.xml", std::string("<workbook xmlns=\"") + kMainNs +
                                             "\" xmlns:r=\"" + kRelNs + "\">" + workbookPr +
                                             "<sheets>" + sheetList + "</sheets></workbook>");
    parts.try_emplace("xl/_rels/workbook.xml.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "relationships\">" +
                          rels + "</Relationships>");
    std::vector<ZipItem> items;
    items.push_back({"[Content_Types].xml", "<Types/>"});
    for (auto& [name, data] : parts) items.push_back({name, data});
    return BuildZip(items);
}

}  // namespace morvik::testing
