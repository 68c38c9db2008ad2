#include "BiffStream.h"

#include <algorithm>

#include "XLSError.h"
#include "text/ByteReader.h"

namespace morvik::xls {

bool TBIFFStream::ReadRecordSlow() {
    // The reads below may load other bytes where the shown payload lies: the record keeps its
    // own copy, as a record cut short leaves its predecessor's bytes in place.
    record_.Data.Own();
    std::uint8_t header[4];
    const std::size_t got = stream_.Read(header, sizeof header);
    // A header cut short after its identifier still replaces the identifier, as two separate
    // reads of the two fields would.
    if (got >= 2) record_.RecordId = LoadU16(header);
    if (got < sizeof header) return false;
    const std::uint16_t length = LoadU16(header + 2);

    TEasyStream& data = record_.Data;
    data.SetPosition(0);
    const std::uint64_t size = stream_.Size();
    const std::uint64_t left = size > stream_.Position() ? size - stream_.Position() : 0;
    if (length > left) {
        // The length claims more than the stream holds: keep what there is and stand at the end,
        // as a short read would.
        data.SetSize(static_cast<std::size_t>(left));
        if (left > 0) stream_.Read(data.Data(), static_cast<std::size_t>(left));
        stream_.Seek(0, 2);
        return false;
    }
    if (length == 0) {
        data.SetSize(0);
        return true;
    }
    // Every byte is either read or zeroed here, so the buffer need not be cleared first.
    std::uint8_t* payload = data.SetSizeForOverwrite(length);
    const std::size_t read = stream_.Read(payload, length);
    if (read == length) return true;
    std::fill(payload + read, payload + length, std::uint8_t{0});
    return false;
}

bool TRecordCursor::NextRecordSlow() {
    // Once the stream has run out, the record left in the buffer is stale: offering it again
    // would dispatch it twice, or raise the repeat error for what is only a short file.
    if (ended_) return false;
    if (consumed_) {
        const bool ok = stream_.ReadRecord();
        consumed_ = false;
        repeats_ = 0;
        if (onProgress_) {
            const std::uint64_t size = stream_.Size();
            onProgress_(size == 0
                            ? 1.0
                            : static_cast<double>(stream_.Position()) / static_cast<double>(size));
        }
        if (!ok) ended_ = true;
        return ok;
    }
    if (++repeats_ > 1) throw EXLSError(kErrRecordUnreadable);
    return true;
}

bool TRecordCursor::FetchContinue() {
    consumed_ = true;
    return NextRecord() && RecordId() == kContinueRecordId;
}

namespace {

// Skips `total` bytes that may run on into CONTINUE records, which then carry no option
// byte of their own. False when the table ends first.
bool SkipAcross(TRecordCursor& cursor, std::uint64_t total) {
    std::uint64_t skipped = 0;
    while (skipped < total) {
        TEasyStream& data = cursor.Data();
        if (data.Remaining() <= 0) {
            if (!cursor.FetchContinue()) return false;
            continue;
        }
        const std::uint64_t chunk =
            std::min<std::uint64_t>(total - skipped, static_cast<std::uint64_t>(data.Remaining()));
        data.Skip(static_cast<std::int64_t>(chunk));
        skipped += chunk;
    }
    return true;
}

}  // namespace

bool ReadContinuedString(TRecordCursor& cursor, std::vector<std::string>& strings) {
    TEasyStream& data = cursor.Data();  // the one reused record buffer

    // A single left-over byte cannot hold a count; the string starts in the next record.
    if (data.Remaining() < 2 && !cursor.FetchContinue()) return false;
    const std::uint16_t count = data.Word();
    if (data.Remaining() <= 0 && !cursor.FetchContinue()) return false;
    const std::uint8_t options = data.Byte();
    std::uint16_t runs = 0;
    std::uint32_t extSize = 0;
    if (options & 0x08) runs = data.Word();
    if (options & 0x04) extSize = data.DWord();

    bool sixteenBit = (options & 0x01) != 0;
    bool wide = false;
    std::string text;
    std::size_t read = 0;
    bool ended = false;
    while (read < count) {
        if (data.Remaining() <= 0) {
            if (!cursor.FetchContinue()) {
                ended = true;
                break;
            }
            if (data.Size() == 0 && !cursor.FetchContinue()) {
                ended = true;
                break;
            }
            // A string split across records restates its width at the start of each CONTINUE.
            std::uint8_t width = 0;
            if (data.ReadByte(width)) sixteenBit = (width & 0x01) != 0;
        }
        const std::size_t available =
            data.Remaining() > 0 ? static_cast<std::size_t>(data.Remaining()) : 0;
        const std::size_t missing = count - read;
        std::string chunk;
        std::size_t k = 0;
        if (sixteenBit) {
            if (!wide) {
                text = Widen(text);
                wide = true;
            }
            k = std::min(available / 2, missing);
            if (k == 0) {
                // One odd byte left: the record counts as used up.
                data.Skip(static_cast<std::int64_t>(available));
                continue;
            }
            data.ReadString(2 * k, chunk);
        } else {
            k = std::min(available, missing);
            if (k == 0) continue;  // an empty CONTINUE after an empty one: fetch again
            data.ReadString(k, chunk);
            if (wide) chunk = Widen(chunk);
        }
        text += chunk;
        read += k;
    }

    std::string marked(1, wide ? kMarkWide : kMarkNarrow);
    marked += text;
    strings.push_back(std::move(marked));
    if (ended) return false;

    return SkipAcross(cursor, 4ull * runs) && SkipAcross(cursor, extSize);
}

void ReadSharedStringTable(TRecordCursor& cursor, std::vector<std::string>& strings) {
    cursor.Data().Skip(8);  // total and unique string counts: the records themselves tell
    while (ReadContinuedString(cursor, strings)) {
    }
}

}  // namespace morvik::xls
