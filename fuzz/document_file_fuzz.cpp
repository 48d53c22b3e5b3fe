// Arbitrary bytes read as a banner document file. Any Exception is a clean
// refusal; anything else (a crash, an out-of-bounds read, a leak) is a fault.
// What was read must also write back out.
#include "banner/BannerDocument.h"
#include "banner/DocumentFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TBannerDocument Document;
    try {
        ReadBannerDocument(Document, std::string_view(reinterpret_cast<const char*>(Data), Size));
        (void)BannerDocumentBytes(Document);
    } catch (const Exception&) {
    }
    return 0;
}
