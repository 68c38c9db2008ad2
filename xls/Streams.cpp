#include "Streams.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "text/ByteReader.h"
#include "text/Cp1250.h"

namespace morvik::xls {

std::size_t TEasyStream::Available(std::size_t n) const {
    const std::int64_t left = Remaining();
    if (left <= 0) return 0;
    return std::min(n, static_cast<std::size_t>(left));
}

bool TEasyStream::ReadBuffer(void* destination, std::size_t n) {
    auto* out = static_cast<std::uint8_t*>(destination);
    if (out == nullptr) return n == 0;
    const std::size_t got = Available(n);
    if (got > 0) std::memcpy(out, Begin() + position_, got);
    if (got < n) std::memset(out + got, 0, n - got);
    position_ += static_cast<std::int64_t>(got);
    return got == n;
}

bool TEasyStream::ReadByte(std::uint8_t& value) { return ReadBuffer(&value, 1); }

// A partly read value is not a number anyone wrote: it reads as 0.
bool TEasyStream::ReadWord(std::uint16_t& value) {
    std::uint8_t raw[2];
    const bool ok = ReadBuffer(raw, sizeof raw);
    value = ok ? LoadU16(raw) : 0;
    return ok;
}

bool TEasyStream::ReadDWord(std::uint32_t& value) {
    std::uint8_t raw[4];
    const bool ok = ReadBuffer(raw, sizeof raw);
    value = ok ? LoadU32(raw) : 0;
    return ok;
}

bool TEasyStream::ReadDouble(double& value) {
    std::uint8_t raw[8];
    const bool ok = ReadBuffer(raw, sizeof raw);
    value = ok ? std::bit_cast<double>(LoadU64(raw)) : 0.0;
    return ok;
}

bool TEasyStream::ReadString(std::size_t n, std::string& out) {
    if (Available(n) != n) return false;
    out.assign(reinterpret_cast<const char*>(Begin() + position_), n);
    position_ += static_cast<std::int64_t>(n);
    return true;
}

void TEasyStream::Skip(std::int64_t n) {
    // The payload is at most 64 KiB, so only a hostile count can push the sum out of range.
    if (n > 0 && position_ > INT64_MAX - n) {
        position_ = INT64_MAX;
        return;
    }
    SetPosition(position_ + n);
}

std::uint8_t TEasyStream::Byte() {
    std::uint8_t v = 0;
    ReadByte(v);
    return v;
}

std::uint16_t TEasyStream::Word() {
    std::uint16_t v = 0;
    ReadWord(v);
    return v;
}

std::uint32_t TEasyStream::DWord() {
    std::uint32_t v = 0;
    ReadDWord(v);
    return v;
}

double TEasyStream::Double() {
    double v = 0;
    ReadDouble(v);
    return v;
}

std::string Widen(std::string_view narrow) {
    std::string out;
    out.reserve(narrow.size() * 2);
    for (char c : narrow) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::u16string MarkedTextToWide(std::string_view marked) {
    std::u16string out;
    if (marked.empty()) return out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(marked.data()) + 1;
    const std::size_t n = marked.size() - 1;
    if (marked[0] == kMarkWide) {
        out.reserve(n / 2);
        for (std::size_t i = 0; i + 1 < n; i += 2)
            out.push_back(static_cast<char16_t>(LoadU16(p + i)));
    } else {
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(p[i]));
    }
    return out;
}

std::string MarkedTextToUtf8(std::string_view marked) {
    return Utf16ToUtf8(MarkedTextToWide(marked));
}

bool ReadCountedString(TEasyStream& data, int countBytes, std::string& marked) {
    marked.assign(1, kMarkNarrow);
    std::size_t count = 0;
    if (countBytes == 1) {
        std::uint8_t c = 0;
        if (!data.ReadByte(c)) return false;
        count = c;
    } else {
        std::uint16_t c = 0;
        if (!data.ReadWord(c)) return false;
        count = c;
    }
    std::uint8_t options = 0;
    if (!data.ReadByte(options)) return false;
    const bool wide = (options & 0x01) != 0;
    std::string chars;
    if (!data.ReadString(wide ? 2 * count : count, chars)) return false;
    marked.assign(1, wide ? kMarkWide : kMarkNarrow);
    marked += chars;
    return true;
}

}  // namespace morvik::xls
