// xlsdump: prints what the reader sees in a workbook file: Excel 97 (.xls), Office Open XML
// (.xlsx, .xlsm) or OpenDocument (.ods), told apart by the file's content, not its name.
//
//   xlsdump FILE            one JSON object: {"sheets": [{"name", "cells": [...]}, ...]}
//   xlsdump --summary FILE  cells=<cells holding a value> numsum=<sum of non-date numbers>
//
// A file that cannot be loaded prints the reader's message on stderr and exits with 1.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ods/OdsReader.h"
#include "text/Error.h"
#include "xls/XLSFile.h"
#include "xlsx/XlsxReader.h"
#include "zip/ZipArchive.h"

namespace {

using morvik::xls::TCell;
using morvik::xls::TCellValue;
using morvik::xls::TVarType;

std::string_view KindName(TVarType kind) {
    switch (kind) {
        case TVarType::Empty:
            return "empty";
        case TVarType::Smallint:
            return "smallint";
        case TVarType::Integer:
            return "integer";
        case TVarType::Single:
            return "single";
        case TVarType::Double:
            return "double";
        case TVarType::Currency:
            return "currency";
        case TVarType::Date:
            return "date";
        case TVarType::OleStr:
            return "olestr";
        case TVarType::Boolean:
            return "boolean";
        case TVarType::Byte:
            return "byte";
        case TVarType::String:
            return "string";
    }
    return "empty";
}

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

// Shortest text that reads back as the same double; JSON has no NaN or infinity.
void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

void AppendValue(std::string& out, const TCell& cell) {
    const TCellValue& v = cell.Value();
    switch (v.Kind()) {
        case TVarType::Empty:
            out += "null";
            break;
        case TVarType::Boolean:
            out += *v.As<bool>() ? "true" : "false";
            break;
        case TVarType::OleStr:
        case TVarType::String:
            AppendString(out, cell.DisplayText());
            break;
        default:
            AppendNumber(out, v.AsDouble());
            break;
    }
}

int Dump(const morvik::xls::TWorkbook& workbook) {
    std::string out = "{\"sheets\": [";
    const auto& sheets = workbook.Sheets();
    for (int s = 0; s < sheets.Count(); ++s) {
        auto& sheet = sheets.Items(s);
        out += s == 0 ? "\n" : ",\n";
        out += "  {\"name\": ";
        AppendString(out, sheet.NameUtf8());
        out += ", \"cells\": [";
        const auto& cells = sheet.Cells();
        for (int i = 0; i < cells.Count(); ++i) {
            const TCell& cell = cells.Items(i);
            out += i == 0 ? "\n" : ",\n";
            out += "    {\"row\": " + std::to_string(cell.Row()) +
                   ", \"col\": " + std::to_string(cell.Col()) + ", \"kind\": ";
            AppendString(out, KindName(cell.Value().Kind()));
            out += ", \"value\": ";
            AppendValue(out, cell);
            out += ", \"text\": ";
            AppendString(out, cell.DisplayText());
            out += ", \"formula\": ";
            AppendString(out, cell.Formula());
            out += '}';
        }
        out += cells.Count() == 0 ? "]}" : "\n  ]}";
    }
    out += sheets.Count() == 0 ? "]}\n" : "\n]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// Loads the file into `file` by what its bytes are.
void Load(morvik::xls::TXLSFile& file, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof head);
    const std::span<const std::uint8_t> magic(reinterpret_cast<const std::uint8_t*>(head),
                                              static_cast<std::size_t>(in.gcount()));
    if (!in.is_open() || !morvik::zip::TZipArchive::LooksLikeZip(magic)) {
        // A package whose first bytes are damaged is no compound file either: say what it is
        // not, rather than the compound file reader's message.
        std::string extension = std::filesystem::path(path).extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool compound = magic.size() == 4 && magic[0] == 0xD0 && magic[1] == 0xCF &&
                              magic[2] == 0x11 && magic[3] == 0xE0;
        if (in.is_open() && !compound &&
            (extension == ".xlsx" || extension == ".xlsm" || extension == ".ods"))
            throw morvik::Error("The file is no zip package (its first bytes are damaged), so no " +
                                extension + " workbook.");
        file.LoadFromFile(path);  // a compound file, or the reader's own message
        return;
    }
    in.seekg(0, std::ios::end);
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (morvik::ods::LooksLikeOds(bytes)) {
        morvik::ods::ReadOds(bytes, file.Workbook());
    } else if (morvik::xlsx::LooksLikeXlsx(bytes)) {
        morvik::xlsx::ReadXlsx(bytes, file.Workbook());
    } else {
        // The zip layer's own message when the archive is damaged, else this one.
        morvik::zip::TZipArchive archive(bytes);
        throw morvik::Error(
            "The file is a zip archive but no workbook: it holds neither "
            "an Excel workbook part nor an OpenDocument spreadsheet.");
    }
}

int Summary(const morvik::xls::TWorkbook& workbook) {
    unsigned long cells = 0;
    double total = 0.0;
    const auto& sheets = workbook.Sheets();
    for (int s = 0; s < sheets.Count(); ++s) {
        const auto& items = sheets.Items(s).Cells();
        for (int i = 0; i < items.Count(); ++i) {
            const TCellValue& v = items.Items(i).Value();
            if (v.IsEmpty()) continue;
            ++cells;
            if (v.IsNumber() && v.Kind() != TVarType::Date) total += v.AsDouble();
        }
    }
    std::printf("cells=%lu numsum=%.6f\n", cells, total);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool summary = argc == 3 && std::string_view(argv[1]) == "--summary";
    if (argc != 2 && !summary) {
        std::fprintf(stderr, "usage: xlsdump [--summary] FILE\n");
        return 2;
    }
    try {
        // The workbook is left to the end of the process: taking apart hundreds of thousands
        // of cells one by one would cost a tool that exits right away a good part of its run.
        auto file = std::make_unique<morvik::xls::TXLSFile>();
        Load(*file, argv[argc - 1]);
        const int rc = summary ? Summary(file->Workbook()) : Dump(file->Workbook());
        std::fflush(stdout);
        std::_Exit(std::ferror(stdout) ? 1 : rc);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
