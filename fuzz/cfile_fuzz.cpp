// Fuzz entry for the two bottom layers of the reader: the bytes are opened as a compound
// file, every stream is read through, and the workbook stream is cut into records with the
// shared string table joined across CONTINUE records, as a load would.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "xls/BiffStream.h"
#include "xls/CFile.h"

namespace {

using namespace morvik::xls;

void ReadStreams(const TCFileStorage& root) {
    std::uint8_t buffer[1024];
    std::vector<const TCFileStorage*> pending{&root};  // no recursion: trees can be very deep
    while (!pending.empty()) {
        const TCFileStorage* storage = pending.back();
        pending.pop_back();
        for (const auto& item : storage->Items()) {
            if (auto* sub = dynamic_cast<TCFileStorage*>(item.get())) {
                pending.push_back(sub);
            } else if (auto* stream = dynamic_cast<TCFileStream*>(item.get())) {
                if (stream->Damaged()) continue;
                stream->SetPosition(0);
                while (stream->Read(buffer, sizeof buffer) == sizeof buffer) {
                }
                stream->Seek(-3, 2);
                stream->Read(buffer, 7);
            }
        }
    }
}

void ReadRecords(TCFileStream& stream) {
    TBIFFStream biff(stream);
    biff.Rewind();
    double last = -1;
    TRecordCursor cursor(biff, [&](double fraction) {
        if (fraction < 0 || fraction > 1) __builtin_trap();
        last = fraction;
    });
    std::vector<std::string> strings;
    while (cursor.NextRecord()) {
        TEasyStream& data = cursor.Data();
        switch (cursor.RecordId()) {
            case 0x00FC:  // SST: leaves the record after the table unconsumed
                ReadSharedStringTable(cursor, strings);
                continue;
            case 0x0204: {  // LABEL
                std::string text;
                data.Skip(6);
                ReadCountedString(data, 2, text);
                MarkedTextToUtf8(text);
                break;
            }
            case 0x0085: {  // BOUNDSHEET
                std::string name;
                data.Skip(6);
                ReadCountedString(data, 1, name);
                break;
            }
            default:
                data.Word();
                data.DWord();
                data.Double();
                break;
        }
        cursor.Consume();
    }
    for (const std::string& s : strings) {
        if (s.empty()) __builtin_trap();  // every stored string has its marker
        MarkedTextToUtf8(s);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TCFile file(std::span<const std::uint8_t>(data, size));
        ReadStreams(file.Root());
        TCFileStream* stream = file.Root().FindStream("Workbook");
        if (stream == nullptr) stream = file.Root().FindStream("Book");
        if (stream != nullptr) ReadRecords(*stream);
    } catch (const ECFileError&) {
        // The one way a damaged file may fail.
    }
    return 0;
}
