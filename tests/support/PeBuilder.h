#pragma once
// A minimal program file of the portable executable format holding the
// given resources (one section, ".rsrc"), for the icon and version readers.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TTestResource {
    std::uint32_t Type;
    std::uint32_t Id;
    std::vector<std::uint8_t> Data;
};

inline void TestPut(std::vector<std::uint8_t>& B, std::size_t At, std::uint32_t V, int N) {
    if (B.size() < At + N) B.resize(At + N);
    for (int i = 0; i < N; ++i)
        B[At + i] = std::uint8_t(V >> (8 * i));
}

inline std::vector<std::uint8_t> BuildPeFile(const std::vector<TTestResource>& Resources) {
    constexpr std::uint32_t SectionRva = 0x1000, SectionFile = 0x200;
    std::map<std::uint32_t, std::vector<const TTestResource*>> byType;
    for (const TTestResource& r : Resources)
        byType[r.Type].push_back(&r);
    // Resource tree: root, a directory per type, a language directory and a
    // data entry per resource, then the data.
    std::vector<std::uint8_t> s;
    std::size_t off = 16 + 8 * byType.size();
    std::map<std::uint32_t, std::size_t> typeDir;
    for (auto& [type, list] : byType) {
        typeDir[type] = off;
        off += 16 + 8 * list.size();
    }
    std::map<const TTestResource*, std::size_t> langDir, dataEntry, data;
    for (auto& [type, list] : byType)
        for (const TTestResource* r : list) {
            langDir[r] = off;
            off += 24;
            dataEntry[r] = off;
            off += 16;
        }
    for (auto& [type, list] : byType)
        for (const TTestResource* r : list) {
            off = (off + 3) & ~std::size_t(3);
            data[r] = off;
            off += r->Data.size();
        }
    s.resize(off);
    TestPut(s, 14, std::uint32_t(byType.size()), 2);
    std::size_t i = 0;
    for (auto& [type, list] : byType) {
        TestPut(s, 16 + 8 * i, type, 4);
        TestPut(s, 20 + 8 * i, 0x80000000u | std::uint32_t(typeDir[type]), 4);
        ++i;
        TestPut(s, typeDir[type] + 14, std::uint32_t(list.size()), 2);
        std::size_t j = 0;
        for (const TTestResource* r : list) {
            TestPut(s, typeDir[type] + 16 + 8 * j, r->Id, 4);
            TestPut(s, typeDir[type] + 20 + 8 * j, 0x80000000u | std::uint32_t(langDir[r]), 4);
            ++j;
            TestPut(s, langDir[r] + 14, 1, 2);
            TestPut(s, langDir[r] + 16, 0x409, 4);
            TestPut(s, langDir[r] + 20, std::uint32_t(dataEntry[r]), 4);
            TestPut(s, dataEntry[r], SectionRva + std::uint32_t(data[r]), 4);
            TestPut(s, dataEntry[r] + 4, std::uint32_t(r->Data.size()), 4);
            std::copy(r->Data.begin(), r->Data.end(), s.begin() + std::ptrdiff_t(data[r]));
        }
    }
    std::vector<std::uint8_t> f(SectionFile, 0);
    f[0] = 'M', f[1] = 'Z';
    TestPut(f, 0x3C, 0x40, 4);
    TestPut(f, 0x40, 0x00004550, 4); // "PE\0\0"
    TestPut(f, 0x44, 0x14C, 2);      // machine
    TestPut(f, 0x46, 1, 2);          // one section
    TestPut(f, 0x54, 224, 2);        // optional header size
    const std::size_t opt = 0x58;
    TestPut(f, opt, 0x10B, 2);                // 32-bit optional header
    TestPut(f, opt + 92, 16, 4);              // data directories
    TestPut(f, opt + 96 + 16, SectionRva, 4); // resource table
    TestPut(f, opt + 96 + 20, std::uint32_t(s.size()), 4);
    const std::size_t sec = opt + 224;
    for (int k = 0; k < 5; ++k)
        f[sec + k] = std::uint8_t(".rsrc"[k]);
    TestPut(f, sec + 8, std::uint32_t(s.size()), 4);
    TestPut(f, sec + 12, SectionRva, 4);
    TestPut(f, sec + 16, std::uint32_t(s.size()), 4);
    TestPut(f, sec + 20, SectionFile, 4);
    f.insert(f.end(), s.begin(), s.end());
    return f;
}

// A version record: "VS_VERSION_INFO" with its 52-byte fixed part.
inline std::vector<std::uint8_t> BuildVersionResource(std::uint32_t FileMS, std::uint32_t FileLS) {
    std::vector<std::uint8_t> v;
    TestPut(v, 2, 52, 2);
    const std::string key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i)
        TestPut(v, 6 + 2 * i, std::uint8_t(key[i]), 2);
    TestPut(v, 6 + 2 * key.size(), 0, 2);
    const std::size_t value = 40; // 38 bytes of header and key, aligned to 4
    TestPut(v, value, 0xFEEF04BD, 4);
    TestPut(v, value + 4, 0x00010000, 4);
    TestPut(v, value + 8, FileMS, 4);
    TestPut(v, value + 12, FileLS, 4);
    TestPut(v, value + 48, 0, 4);
    TestPut(v, 0, std::uint32_t(v.size()), 2);
    return v;
}
