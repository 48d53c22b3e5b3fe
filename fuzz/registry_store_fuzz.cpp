// Parses arbitrary bytes as a registry store file. Whatever was kept must
// write out and read back to the very same text.
#include "platform/system/RegistryStore.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TRegStoreKey root;
    ParseRegistryStore(bytes, root);
    std::string text = SerializeRegistryStore(root);
    TRegStoreKey again;
    if (!ParseRegistryStore(text, again)) __builtin_trap();
    if (SerializeRegistryStore(again) != text) __builtin_trap();
    return 0;
}
