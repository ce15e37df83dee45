#include "platform/PeImage.h"

#include "platform/WinPath.h"

#include <cstdio>
#include <cstring>

namespace plat {

namespace {

// Images larger than this are not read (no Palm file comes near it).
constexpr size_t kMaxImage = 256u << 20;
// The Windows loader takes at most 96 sections; an image with more is not
// one it would load. Every RVA is looked up in the section table, so the
// limit also keeps a hostile table from making each lookup long.
constexpr uint16_t kMaxSections = 96;
// Export names are read up to this many bytes in all (the libraries the
// program binds export a few dozen short names); a table that names more is
// not read, rather than filling memory with one long name repeated.
constexpr size_t kMaxExportNameBytes = 1u << 20;

class PeView {
public:
    bool Load(const std::string& winPath)
    {
        std::string host = ToHostPath(winPath);
        FILE* f = std::fopen(host.c_str(), "rb");
        if (!f)
            return false;
        bool ok = std::fseek(f, 0, SEEK_END) == 0;
        long size = ok ? std::ftell(f) : -1;
        ok = ok && size >= 0 && size_t(size) <= kMaxImage && std::fseek(f, 0, SEEK_SET) == 0;
        if (ok) {
            m_data.resize(size_t(size));
            ok = std::fread(m_data.data(), 1, m_data.size(), f) == m_data.size();
        }
        std::fclose(f);
        return ok && Parse();
    }

    // File offset of `len` bytes at an RVA, inside one section's raw data;
    // *left, when asked for, receives the bytes from there to the end of
    // that raw data (within the file).
    bool RvaToOffset(uint32_t rva, uint32_t len, size_t* offset, size_t* left = nullptr) const
    {
        for (const Section& s : m_sections) {
            uint64_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva < s.va || uint64_t(rva) >= uint64_t(s.va) + extent)
                continue;
            uint64_t off = uint64_t(s.rawOffset) + (rva - s.va);
            uint64_t end = off + len;
            uint64_t limit = uint64_t(s.rawOffset) + s.rawSize;
            if (limit > m_data.size())
                limit = m_data.size();
            if (end > limit)
                return false;
            *offset = size_t(off);
            if (left)
                *left = size_t(limit - off);
            return true;
        }
        return false;
    }

    bool Directory(unsigned index, uint32_t* rva, uint32_t* size) const
    {
        if (index >= m_dirs.size() || m_dirs[index].first == 0)
            return false;
        *rva = m_dirs[index].first;
        *size = m_dirs[index].second;
        return true;
    }

    bool U16(size_t off, uint16_t* v) const
    {
        if (off + 2 > m_data.size())
            return false;
        *v = uint16_t(m_data[off] | (m_data[off + 1] << 8));
        return true;
    }

    bool U32(size_t off, uint32_t* v) const
    {
        if (off + 4 > m_data.size())
            return false;
        *v = uint32_t(m_data[off]) | uint32_t(m_data[off + 1]) << 8 | uint32_t(m_data[off + 2]) << 16 |
             uint32_t(m_data[off + 3]) << 24;
        return true;
    }

    // U32 at an RVA.
    bool RvaU32(uint32_t rva, uint32_t* v) const
    {
        size_t off;
        return RvaToOffset(rva, 4, &off) && U32(off, v);
    }

    // NUL-terminated text at an RVA, within its section, of at most 4095
    // characters. The section is looked up once for the whole text.
    bool RvaText(uint32_t rva, std::string* out) const
    {
        out->clear();
        size_t off, left;
        if (!RvaToOffset(rva, 1, &off, &left))
            return false;
        if (left > 4096)
            left = 4096;
        const unsigned char* p = m_data.data() + off;
        const void* end = std::memchr(p, 0, left);
        if (!end)
            return false;
        out->assign(reinterpret_cast<const char*>(p), size_t(static_cast<const unsigned char*>(end) - p));
        return true;
    }

    const std::vector<unsigned char>& Data() const { return m_data; }

private:
    struct Section {
        uint32_t virtualSize, va, rawSize, rawOffset;
    };

    bool Parse()
    {
        uint16_t mz, magic, nSections, optSize;
        uint32_t peOff, sig, nDirs;
        if (!U16(0, &mz) || mz != 0x5A4D || !U32(0x3C, &peOff) || !U32(peOff, &sig) || sig != 0x00004550)
            return false;
        size_t coff = size_t(peOff) + 4;
        if (!U16(coff + 2, &nSections) || !U16(coff + 16, &optSize) || nSections > kMaxSections)
            return false;
        size_t opt = coff + 20;
        if (!U16(opt, &magic))
            return false;
        size_t dirCountOff, dirsOff;
        if (magic == 0x10B) {
            dirCountOff = opt + 92;
            dirsOff = opt + 96;
        } else if (magic == 0x20B) {
            dirCountOff = opt + 108;
            dirsOff = opt + 112;
        } else {
            return false;
        }
        if (!U32(dirCountOff, &nDirs))
            return false;
        if (nDirs > 16)
            nDirs = 16;
        if (dirsOff + size_t(nDirs) * 8 > opt + optSize)
            return false;
        for (uint32_t i = 0; i < nDirs; ++i) {
            uint32_t rva, size;
            if (!U32(dirsOff + i * 8, &rva) || !U32(dirsOff + i * 8 + 4, &size))
                return false;
            m_dirs.emplace_back(rva, size);
        }
        size_t table = opt + optSize;
        for (uint16_t i = 0; i < nSections; ++i) {
            Section s;
            size_t e = table + size_t(i) * 40;
            if (!U32(e + 8, &s.virtualSize) || !U32(e + 12, &s.va) || !U32(e + 16, &s.rawSize) ||
                !U32(e + 20, &s.rawOffset))
                return false;
            m_sections.push_back(s);
        }
        return true;
    }

    std::vector<unsigned char> m_data;
    std::vector<std::pair<uint32_t, uint32_t>> m_dirs;
    std::vector<Section> m_sections;
};

constexpr unsigned kExportDir = 0;
constexpr unsigned kResourceDir = 2;
constexpr uint32_t kRtVersion = 16;

// Finds the entry of a resource directory: by id, or the first one when id
// is 0. The result is the entry's OffsetToData field.
bool ResourceEntry(const PeView& pe, uint32_t base, uint32_t dirOffset, uint32_t id, uint32_t* target)
{
    size_t off;
    if (!pe.RvaToOffset(base + dirOffset, 16, &off))
        return false;
    uint16_t named = 0, ids = 0;
    pe.U16(off + 12, &named);
    pe.U16(off + 14, &ids);
    uint32_t total = uint32_t(named) + ids;
    for (uint32_t i = 0; i < total; ++i) {
        size_t e;
        if (!pe.RvaToOffset(base + dirOffset + 16 + i * 8, 8, &e))
            return false;
        uint32_t name = 0, data = 0;
        pe.U32(e, &name);
        pe.U32(e + 4, &data);
        if (id == 0 || (!(name & 0x80000000u) && name == id)) {
            *target = data;
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsPeImage(const std::string& winPath)
{
    PeView pe;
    return pe.Load(winPath);
}

bool ReadFixedFileVersion(const std::string& winPath, FixedFileVersion* out)
{
    if (!out)
        return false;
    *out = FixedFileVersion();
    PeView pe;
    uint32_t base, size;
    if (!pe.Load(winPath) || !pe.Directory(kResourceDir, &base, &size))
        return false;
    // Type, then name, then language; the lower two levels take the first entry.
    uint32_t level = 0;
    if (!ResourceEntry(pe, base, 0, kRtVersion, &level) || !(level & 0x80000000u))
        return false;
    if (!ResourceEntry(pe, base, level & 0x7FFFFFFFu, 0, &level) || !(level & 0x80000000u))
        return false;
    if (!ResourceEntry(pe, base, level & 0x7FFFFFFFu, 0, &level) || (level & 0x80000000u))
        return false;
    uint32_t dataRva, dataSize;
    if (!pe.RvaU32(base + level, &dataRva) || !pe.RvaU32(base + level + 4, &dataSize))
        return false;
    size_t off;
    if (dataSize < 40 + 52 || !pe.RvaToOffset(dataRva, dataSize, &off))
        return false;
    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding
    // to 32 bits, then the VS_FIXEDFILEINFO as the root block's value.
    uint16_t length, valueLength;
    pe.U16(off, &length);
    pe.U16(off + 2, &valueLength);
    static const char kKey[] = "VS_VERSION_INFO";
    for (size_t i = 0; i <= std::strlen(kKey); ++i) {
        uint16_t ch = 0;
        pe.U16(off + 6 + i * 2, &ch);
        if (ch != uint16_t(kKey[i]))
            return false;
    }
    uint32_t signature;
    if (length > dataSize || valueLength < 52 || !pe.U32(off + 40, &signature) || signature != 0xFEEF04BDu)
        return false;
    pe.U32(off + 48, &out->fileVersionMS);
    pe.U32(off + 52, &out->fileVersionLS);
    pe.U32(off + 56, &out->productVersionMS);
    pe.U32(off + 60, &out->productVersionLS);
    return true;
}

bool ReadExportNames(const std::string& winPath, std::vector<std::string>* names)
{
    if (!names)
        return false;
    names->clear();
    PeView pe;
    if (!pe.Load(winPath))
        return false;
    uint32_t rva, size;
    if (!pe.Directory(kExportDir, &rva, &size))
        return true;
    uint32_t count, namesRva;
    if (!pe.RvaU32(rva + 24, &count) || !pe.RvaU32(rva + 32, &namesRva))
        return false;
    if (count > 65536)
        return false;
    size_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t nameRva;
        std::string name;
        if (!pe.RvaU32(namesRva + i * 4, &nameRva) || !pe.RvaText(nameRva, &name))
            return false;
        total += name.size() + 1;
        if (total > kMaxExportNameBytes) {
            names->clear();
            return false;
        }
        names->push_back(name);
    }
    return true;
}

}  // namespace plat
