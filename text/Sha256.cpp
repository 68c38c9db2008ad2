#include "Sha256.h"

#include <cstring>
#include <fstream>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define MORVIK_SHA_INSTRUCTIONS 1
#endif

#include "Platform.h"

namespace morvik {
namespace {

constexpr std::array<std::uint32_t, 64> kRound{
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

#ifdef MORVIK_SHA_INSTRUCTIONS
bool HasShaInstructions() {
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
        const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
        if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
        return ssse3 && sse41 && (b & (1u << 29));
    }();
    return has;
}

// The x86 SHA extensions: two rounds per instruction, the state kept as ABEF and CDGH.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaInstructionBlocks(
    std::array<std::uint32_t, 8>& h, const unsigned char* p, std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[0])), 0xB1);
    __m128i state1 =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&h[4])), 0x1B);
    __m128i state0 = _mm_alignr_epi8(t, state1, 8);
    state1 = _mm_blend_epi16(state1, t, 0xF0);
    for (; count > 0; --count, p += 64) {
        const __m128i save0 = state0, save1 = state1;
        __m128i w[4];
        for (int i = 0; i < 16; ++i) {
            // w[i % 4] holds the schedule's words 4i..4i+3; before the update, those of i-4.
            if (i < 4) {
                w[i] = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), byteSwap);
            } else {
                __m128i& next = w[i % 4];
                next = _mm_sha256msg1_epu32(next, w[(i + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(w[(i + 3) % 4], w[(i + 2) % 4], 4));
                next = _mm_sha256msg2_epu32(next, w[(i + 3) % 4]);
            }
            __m128i m = _mm_add_epi32(
                w[i % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * i])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, m);
            m = _mm_shuffle_epi32(m, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, m);
        }
        state0 = _mm_add_epi32(state0, save0);
        state1 = _mm_add_epi32(state1, save1);
    }
    t = _mm_shuffle_epi32(state0, 0x1B);
    state1 = _mm_shuffle_epi32(state1, 0xB1);
    state0 = _mm_blend_epi16(t, state1, 0xF0);
    state1 = _mm_alignr_epi8(state1, t, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[0]), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&h[4]), state1);
}
#endif

}  // namespace

Sha256::Sha256(bool hardware)
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
#ifdef MORVIK_SHA_INSTRUCTIONS
    hardware_ = hardware && HasShaInstructions();
#else
    (void)hardware;
#endif
}

void Sha256::Blocks(const unsigned char* p, std::size_t count) {
#ifdef MORVIK_SHA_INSTRUCTIONS
    if (hardware_) {
        ShaInstructionBlocks(h_, p, count);
        return;
    }
#endif
    for (; count > 0; --count, p += 64) {
        std::array<std::uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i) {
            w[i] = (std::uint32_t{p[4 * i]} << 24) | (std::uint32_t{p[4 * i + 1]} << 16) |
                   (std::uint32_t{p[4 * i + 2]} << 8) | std::uint32_t{p[4 * i + 3]};
        }
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
                      h = h_[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) +
                                     ((e & f) ^ (~e & g)) + kRound[i] + w[i];
            const std::uint32_t t2 =
                (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h_[0] += a;
        h_[1] += b;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
        h_[5] += f;
        h_[6] += g;
        h_[7] += h;
    }
}

void Sha256::Update(std::string_view bytes) {
    length_ += bytes.size();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    if (buffered_ > 0) {
        const std::size_t take = std::min(n, 64 - buffered_);
        std::memcpy(buffer_.data() + buffered_, p, take);
        buffered_ += take;
        p += take;
        n -= take;
        if (buffered_ < 64) return;
        Blocks(buffer_.data(), 1);
        buffered_ = 0;
    }
    Blocks(p, n / 64);
    p += n / 64 * 64;
    n %= 64;
    std::memcpy(buffer_.data(), p, n);
    buffered_ = n;
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    const std::uint64_t bits = length_ * 8;
    // 0x80, zeros up to 56 bytes of the last block, then the length in bits, big-endian.
    std::string pad(1, '\x80');
    pad.append((buffered_ < 56 ? 55 - buffered_ : 119 - buffered_), '\0');
    for (int i = 7; i >= 0; --i) pad += static_cast<char>((bits >> (8 * i)) & 0xff);
    Update(pad);
    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * j));
    return out;
}

namespace {
std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t byte : digest) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}
}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return Hex(hash.Finish());
}

std::optional<FileDigest> Sha256OfFile(const std::string& utf8Path) {
    std::ifstream in(platform::PathFromUtf8(utf8Path), std::ios::binary);
    if (!in) return std::nullopt;
    Sha256 hash;
    FileDigest digest;
    std::string block(1 << 16, '\0');
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        hash.Update(std::string_view(block.data(), got));
        digest.size += got;
    }
    if (in.bad()) return std::nullopt;
    digest.sha256 = Hex(hash.Finish());
    return digest;
}

}  // namespace morvik
