// Bucket checksum of the hash tables: a CRC-32 variant.
#pragma once

#include <cstdint>
#include <string_view>

namespace morvik::xls {

// The register starts at 0x0FFFFFFF (seven F digits) and the result is not inverted. Hash
// buckets chosen by this value must stay exactly as they are, so this is deliberately not the
// textbook CRC-32 (which starts at 0xFFFFFFFF and inverts at the end).
inline constexpr std::uint32_t kCrc32Seed = 0x0FFFFFFFu;

// Reflected CRC-32 (polynomial 0xEDB88320) of `bytes`, from kCrc32Seed, no final inversion.
// The empty key answers kCrc32Seed.
std::uint32_t Crc32(std::string_view bytes);

}  // namespace morvik::xls
