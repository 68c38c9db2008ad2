// Arbitrary bytes as a zip archive: the directory, every entry inflated (within small limits)
// and each entry's bytes pulled through the XML reader. Our own errors are clean refusals;
// crashes, hangs, sanitizer reports and any other exception are findings.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

namespace {

constexpr morvik::zip::TNamespace kNs[] = {{"urn:a", 1}};

void Tokens(const std::string& text) {
    using morvik::zip::TXmlReader;
    const std::string utf8 = morvik::zip::XmlTextAsUtf8(text);
    TXmlReader r(utf8, kNs);
    for (int i = 0; i < 1'000'000 && r.Next() != TXmlReader::TToken::End; ++i) {
        (void)r.Attribute(1, "a");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using morvik::zip::TZipArchive;
    morvik::zip::TZipLimits limits;
    limits.MaxEntrySize = 64u << 20;
    limits.MaxTotalSize = 128u << 20;
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        TZipArchive archive(bytes, limits);
        for (const auto& entry : archive.Entries()) {
            try {
                (void)archive.Find(entry.Name);
                Tokens(archive.ReadAll(entry));
            } catch (const morvik::Error&) {
            }
        }
    } catch (const morvik::Error&) {
    }
    // The same bytes as one XML part, in memory and streamed.
    try {
        Tokens(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const morvik::Error&) {
    }
    return 0;
}
