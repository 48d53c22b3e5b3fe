// Feeds arbitrary bytes to the UTF-8 and UTF-16 readers and converters and
// checks that what they give back is well formed and round-trips.
#include "menus/SysUnicode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
    const std::u16string wide = Utf8TextToWide(bytes);
    if (wide.size() > bytes.size()) std::abort();
    const std::string utf8 = WideToUtf8Text(wide);
    // Well-formed text survives both ways unchanged.
    if (Utf8TextToWide(utf8) != wide) std::abort();

    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t before = pos;
        const TCodePoint c = Utf8GetChar(bytes, pos);
        if (pos <= before || pos > bytes.size() || c > MaximumUTF16 || (c >= 0xD800 && c <= 0xDFFF))
            std::abort();
    }
    // The same bytes read as UTF-16 units.
    std::u16string units(Size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(Data[2 * i] | (Data[2 * i + 1] << 8));
    char buffer[8];
    for (pos = 0; pos < units.size();) {
        const TCodePoint c = Utf16GetChar(units, pos);
        std::size_t at = 0;
        if (!Utf8SetChar(buffer, at, c) || at == 0 || at > 4) std::abort();
    }
    return 0;
}
