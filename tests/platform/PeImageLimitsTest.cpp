// The PE reader on images built to be expensive: many sections, export
// tables whose names all point at one long name. Such files are refused
// outright instead of costing minutes and hundreds of megabytes; images of
// the same shape within the limits still read completely.
#include "platform/Library.h"
#include "platform/PeImage.h"

#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

void Put16(std::string& b, size_t off, uint16_t v)
{
    b[off] = char(v);
    b[off + 1] = char(v >> 8);
}

void Put32(std::string& b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + size_t(i)] = char(v >> (8 * i));
}

// A PE32 library with `sections` sections, of which only the last holds
// data: the export directory, `pointers` name pointers and the names, where
// pointer i names names[i % names.size()]. `terminate` false leaves the last
// name without its terminator at the end of the section.
std::string Image(uint16_t sections, uint32_t pointers, const std::vector<std::string>& names, bool terminate = true)
{
    const uint32_t va = 0x1000;
    std::string data(40, '\0');
    Put32(data, 20, pointers);
    Put32(data, 24, pointers);
    Put32(data, 32, va + 40);
    size_t table = data.size();
    data.resize(table + 4 * size_t(pointers));
    std::vector<uint32_t> at;
    for (size_t i = 0; i < names.size(); ++i) {
        at.push_back(va + uint32_t(data.size()));
        data += names[i];
        if (terminate || i + 1 < names.size())
            data += '\0';
    }
    for (uint32_t i = 0; i < pointers; ++i)
        Put32(data, table + 4 * i, at[i % at.size()]);

    const size_t coff = 0x44, opt = coff + 20, sectionTable = opt + 0xE0;
    size_t raw = (sectionTable + size_t(sections) * 40 + 0x1FF) & ~size_t(0x1FF);
    std::string img(raw, '\0');
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3C, 0x40);
    img.replace(0x40, 4, std::string("PE\0\0", 4));
    Put16(img, coff, 0x014C);
    Put16(img, coff + 2, sections);
    Put16(img, coff + 16, 0xE0);
    Put16(img, coff + 18, 0x2102);
    Put16(img, opt, 0x10B);
    Put32(img, opt + 92, 16);
    Put32(img, opt + 96, va);  // export directory
    Put32(img, opt + 100, 40);
    for (uint16_t s = 0; s < sections; ++s) {
        size_t e = sectionTable + size_t(s) * 40;
        bool last = s + 1 == sections;
        Put32(img, e + 8, last ? uint32_t(data.size()) : 0x10);
        Put32(img, e + 12, last ? va : 0x70000000u + s * 0x1000u);
        Put32(img, e + 16, last ? uint32_t(data.size()) : 0);
        Put32(img, e + 20, last ? uint32_t(raw) : 0);
    }
    return img + data;
}

}  // namespace

TEST(PeImageLimits, SectionTablesBeyondTheLoadersLimitAreRefused)
{
    TestDir dir;
    dir.Write("96.dll", Image(96, 3, {"Alpha", "Beta", "Gamma"}));
    dir.Write("97.dll", Image(97, 3, {"Alpha", "Beta", "Gamma"}));
    std::vector<std::string> names;
    EXPECT_TRUE(plat::IsPeImage(dir / "96.dll"));
    ASSERT_TRUE(plat::ReadExportNames(dir / "96.dll", &names));
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));

    EXPECT_FALSE(plat::IsPeImage(dir / "97.dll"));
    EXPECT_FALSE(plat::ReadExportNames(dir / "97.dll", &names));
    EXPECT_EQ(plat::LoadLibrary(dir / "97.dll"), nullptr);
}

TEST(PeImageLimits, ExportNamesAreReadWithinTheirBound)
{
    TestDir dir;
    // The largest table there can be, of short names: read whole.
    std::vector<std::string> shortNames;
    for (int i = 0; i < 16; ++i)
        shortNames.push_back("Name" + std::to_string(i));
    dir.Write("wide.dll", Image(96, 65536, shortNames));
    std::vector<std::string> names;
    ASSERT_TRUE(plat::ReadExportNames(dir / "wide.dll", &names));
    ASSERT_EQ(names.size(), 65536u);
    EXPECT_EQ(names[0], "Name0");
    EXPECT_EQ(names[65535], "Name15");

    // The longest name there can be, 4095 characters, read whole.
    std::string longest(4095, 'L');
    dir.Write("long.dll", Image(2, 2, {longest, "x"}));
    ASSERT_TRUE(plat::ReadExportNames(dir / "long.dll", &names));
    EXPECT_EQ(names, (std::vector<std::string>{longest, "x"}));
    dir.Write("longer.dll", Image(2, 1, {longest + "L"}));
    EXPECT_FALSE(plat::ReadExportNames(dir / "longer.dll", &names));

    // 300 pointers at that one long name would be 1.2 MB of names.
    dir.Write("repeated.dll", Image(1, 300, {longest}));
    EXPECT_TRUE(plat::IsPeImage(dir / "repeated.dll"));
    EXPECT_FALSE(plat::ReadExportNames(dir / "repeated.dll", &names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(plat::LoadLibrary(dir / "repeated.dll"), nullptr);
    // 250 of them (1,024,000 bytes with their terminators) are still read.
    dir.Write("within.dll", Image(1, 250, {longest}));
    ASSERT_TRUE(plat::ReadExportNames(dir / "within.dll", &names));
    EXPECT_EQ(names.size(), 250u);

    // A name that runs to the end of its section without a terminator.
    dir.Write("open.dll", Image(1, 2, {"Closed", "Open"}, false));
    EXPECT_FALSE(plat::ReadExportNames(dir / "open.dll", &names));
}
