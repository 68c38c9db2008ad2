// What the units of the .xlsx reader share: the vocabulary's namespaces, the limits that hold
// across parts, the model's budget and the error. Inside the reader only.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "XlsxReader.h"
#include "zip/SpreadsheetXml.h"
#include "zip/XmlReader.h"

namespace morvik::xlsx {

// Namespace ids: the transitional and the strict spelling of each vocabulary share one.
enum : int { kMain = 1, kDocRel = 2, kPackageRel = 3 };
constexpr zip::TNamespace kNamespaces[] = {
    {"http://schemas.openxmlformats.org/spreadsheetml/2006/main", kMain},
    {"http://purl.oclc.org/ooxml/spreadsheetml/main", kMain},
    {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", kDocRel},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships", kDocRel},
    {"http://schemas.openxmlformats.org/package/2006/relationships", kPackageRel},
};

constexpr std::size_t kMaxText = zip::kMaxCellText;
using zip::kCellCost;
using zip::kModelBudget;
using zip::kModelBudgetPerByte;

[[noreturn]] inline void Fail(const std::string& message) { throw EXlsxError(message); }

// Elements of the spreadsheet vocabulary; a part written without its namespace is read too.
inline bool IsMain(const zip::TXmlReader& r, std::string_view name) {
    return (r.Ns() == kMain || r.Ns() == zip::kNoNamespace) && r.Name() == name;
}

// An index or a count as the file writes it: a whole number, however spelled ("3", "3.0").
inline bool ParseIndex(std::string_view text, std::int64_t& out) {
    double v;
    if (!zip::ParseXmlNumber(text, v) || v < 0 || v > 4e9 || v != std::floor(v)) return false;
    out = static_cast<std::int64_t>(v);
    return true;
}

// Takes `cost` from the model's budget, shared by the threads that parse sheets.
inline void Spend(std::atomic<std::int64_t>& budget, std::int64_t cost) {
    if (cost > 0 && budget.fetch_sub(cost) < cost)
        Fail("The workbook holds more than a file of its size can: it is damaged or crafted.");
}

}  // namespace morvik::xlsx
