#include "Csv.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace morvik::core {
void AppendCsvField(std::string& out, std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!quote) {
        out += ValidUtf8(text);
        return;
    }
    out += '"';
    for (char c : ValidUtf8(text)) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string CsvNumber(double value) {
    if (!std::isfinite(value)) return {};
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendCsvField(out, fields[i]);
    }
    out += "\r\n";
    return out;
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    std::size_t line = 1;
    std::size_t i = 0;
    const auto fail = [&](std::string_view what) {
        throw ECsvError("Line " + std::to_string(line) + ": " + std::string(what));
    };
    const auto endRecord = [&] {
        record.push_back(std::move(field));
        field.clear();
        const bool blank = record.size() == 1 && record[0].empty();
        if (!blank) records.push_back(std::move(record));
        record.clear();
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' && field.empty()) {
            const std::size_t startLine = line;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    line = startLine;
                    fail("a quoted field is never closed");
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++line;
                field += text[i++];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                fail("text after a closing quote");
            continue;
        }
        if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (c == '\r' || c == '\n') {
            endRecord();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            ++line;
        } else {
            field += c;
            ++i;
        }
    }
    if (!field.empty() || !record.empty()) endRecord();
    return records;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : ValidUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

}  // namespace morvik::core
