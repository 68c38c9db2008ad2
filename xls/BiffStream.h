// The workbook stream cut into records, the record cursor the reader drives, and the
// shared string table's strings that run on into CONTINUE records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CFile.h"
#include "Streams.h"
#include "text/ByteReader.h"

namespace morvik::xls {

inline constexpr std::uint16_t kContinueRecordId = 0x003C;

// The current record: its identifier and its payload, positioned at 0 after each load.
class TBIFFRecord {
  public:
    std::uint32_t RecordId = 0;
    TEasyStream Data;
};

// Reads the records of a workbook stream one at a time into one reused record.
class TBIFFStream {
  public:
    // The stream is not owned and must outlive this object.
    explicit TBIFFStream(TCFileStream& stream) : stream_(stream) {}

    // Loads the next record; false when its header or payload cannot be read in full.
    bool ReadRecord() {
        // Most records lie whole in the bytes the stream has loaded: the payload is shown where
        // it lies. Only this object reads the stream, so the bytes stay until the next call.
        std::size_t available = 0;
        const std::uint8_t* header = stream_.Peek(available);
        if (available >= 4) {
            const std::size_t length = LoadU16(header + 2);
            if (length <= available - 4) {
                record_.RecordId = LoadU16(header);
                record_.Data.View(header + 4, length);
                stream_.SkipPeeked(4 + length);
                return true;
            }
        }
        return ReadRecordSlow();
    }
    TBIFFRecord& Record() { return record_; }
    const TBIFFRecord& Record() const { return record_; }

    std::uint64_t Size() const { return stream_.Size(); }
    std::uint64_t Position() const { return stream_.Position(); }
    // Back to the first record; "Can not set stream position" if that fails.
    void Rewind() { stream_.SetPosition(0); }

  private:
    bool ReadRecordSlow();

    TCFileStream& stream_;
    TBIFFRecord record_;
};

using TProgressEvent = std::function<void(double)>;

// One record at a time, with read-ahead: a handler that looked at the next record (to see
// whether it is a CONTINUE) leaves it unconsumed, and the next NextRecord offers it again
// instead of reading on.
class TRecordCursor {
  public:
    explicit TRecordCursor(TBIFFStream& stream, TProgressEvent onProgress = {})
        : stream_(stream), onProgress_(std::move(onProgress)) {}

    // The next record to dispatch; false at the end of the stream. Raises
    // std::runtime_error("Error: BIFF record can not be processed") when the same record
    // is offered a second time without being consumed.
    bool NextRecord() {
        // The usual turn, inline: the last record was consumed, nobody watches the progress
        // and the stream goes on.
        if (consumed_ && !ended_ && !onProgress_) {
            const bool ok = stream_.ReadRecord();
            consumed_ = false;
            repeats_ = 0;
            if (!ok) ended_ = true;
            return ok;
        }
        return NextRecordSlow();
    }
    // Consumes the current record and fetches the next; true when that is a CONTINUE.
    bool FetchContinue();

    // Every handler calls this when it is done with its record.
    void Consume() { consumed_ = true; }
    bool Consumed() const { return consumed_; }

    TBIFFRecord& Record() { return stream_.Record(); }
    std::uint32_t RecordId() const { return stream_.Record().RecordId; }
    TEasyStream& Data() { return stream_.Record().Data; }
    TBIFFStream& Stream() { return stream_; }

  private:
    bool NextRecordSlow();

    TBIFFStream& stream_;
    TProgressEvent onProgress_;
    bool consumed_ = true;
    bool ended_ = false;
    int repeats_ = 0;
};

// Reads one string of the shared string table at the cursor's payload position, joining
// CONTINUE records as needed, and appends it to `strings` as marked text. False when the
// table has ended: the record fetched last is then current and unconsumed, and a string
// cut short by the end has been stored as far as it went.
bool ReadContinuedString(TRecordCursor& cursor, std::vector<std::string>& strings);

// The whole SST handler: skips the two counts, then reads strings until the table ends.
// Leaves the record after the table current and unconsumed.
void ReadSharedStringTable(TRecordCursor& cursor, std::vector<std::string>& strings);

}  // namespace morvik::xls
