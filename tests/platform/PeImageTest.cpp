#include "platform/Library.h"
#include "platform/PeImage.h"

#include "palmfixture/PalmFixture.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(PeImage, ReadsTheFixedFileVersion)
{
    TestDir dir;
    const uint16_t v[4] = {6, 2, 65535, 7};
    dir.Write("palm.exe", palmfix::BuildPeImage(false, "palm.exe", {}, v));
    plat::FixedFileVersion info;
    ASSERT_TRUE(plat::ReadFixedFileVersion(dir / "palm.exe", &info));
    EXPECT_EQ(info.fileVersionMS, 0x00060002u);
    EXPECT_EQ(info.fileVersionLS, 0xFFFF0007u);

    dir.Write("nover.exe", palmfix::BuildPeImage(false, "nover.exe", {}, nullptr));
    EXPECT_TRUE(plat::IsPeImage(dir / "nover.exe"));
    EXPECT_FALSE(plat::ReadFixedFileVersion(dir / "nover.exe", &info));
    EXPECT_EQ(info.fileVersionMS, 0u);
    EXPECT_FALSE(plat::ReadFixedFileVersion(dir / "missing.exe", &info));
}

TEST(PeImage, DamagedImagesAreRefusedSafely)
{
    TestDir dir;
    const uint16_t v[4] = {4, 1, 2, 3};
    std::string good = palmfix::BuildPeImage(true, "x.dll", {"A", "B"}, v);
    dir.Write("text.dll", "MZ this is not an image");
    dir.Write("empty.dll", "");
    EXPECT_FALSE(plat::IsPeImage(dir / "text.dll"));
    EXPECT_FALSE(plat::IsPeImage(dir / "empty.dll"));

    // Every cut of a good image fails or reads the right thing; none crashes.
    plat::FixedFileVersion info;
    std::vector<std::string> names;
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        dir.Write("cut.dll", good.substr(0, cut));
        if (plat::ReadFixedFileVersion(dir / "cut.dll", &info)) {
            EXPECT_EQ(info.fileVersionMS, 0x00040001u);
        }
        if (plat::ReadExportNames(dir / "cut.dll", &names) && !names.empty()) {
            EXPECT_EQ(names.size(), 2u);
        }
    }
    // A wrong signature in the fixed information is no version.
    std::string bad = good;
    size_t sig = bad.find(std::string("\xbd\x04\xef\xfe", 4));
    ASSERT_NE(sig, std::string::npos);
    bad[sig] = 0;
    dir.Write("badsig.dll", bad);
    EXPECT_FALSE(plat::ReadFixedFileVersion(dir / "badsig.dll", &info));
    // An export name pointer into nowhere fails the export read.
    std::string wild = good;
    size_t dllName = wild.find("x.dll");
    ASSERT_NE(dllName, std::string::npos);
    // The name pointer table follows the function table; point the first name far away.
    uint32_t rvaOfName = uint32_t(0x1000 + dllName - 0x200 + 6);
    std::string needle(reinterpret_cast<const char*>(&rvaOfName), 4);
    size_t ptr = wild.find(needle);
    ASSERT_NE(ptr, std::string::npos);
    wild[ptr + 2] = '\x7f';
    dir.Write("wild.dll", wild);
    EXPECT_FALSE(plat::ReadExportNames(dir / "wild.dll", &names));
}

TEST(Library, LoadsPeImagesAndBindsExportedNamesOnly)
{
    TestDir dir;
    dir.Write("lib.dll", palmfix::BuildPeImage(true, "lib.dll", {"Zeta", "Alpha", "Mid"}, nullptr));
    dir.Write("fake.dll", "not a library");

    EXPECT_EQ(plat::LoadLibrary(dir / "missing.dll"), nullptr);
    EXPECT_EQ(plat::LoadLibrary(dir / "fake.dll"), nullptr);
    EXPECT_EQ(plat::LoadLibrary(""), nullptr);

    // A doubled separator, as "%s\%s" makes of a folder ending in '\'.
    plat::Library* lib = plat::LoadLibrary(dir.Path() + "/\\LIB.DLL");
    ASSERT_NE(lib, nullptr);
    void* alpha = plat::GetProcAddress(lib, "Alpha");
    void* zeta = plat::GetProcAddress(lib, "Zeta");
    EXPECT_NE(alpha, nullptr);
    EXPECT_NE(zeta, nullptr);
    EXPECT_NE(alpha, zeta);
    EXPECT_EQ(plat::GetProcAddress(lib, "alpha"), nullptr);  // export names are exact
    EXPECT_EQ(plat::GetProcAddress(lib, "Beta"), nullptr);
    EXPECT_EQ(plat::GetProcAddress(nullptr, "Alpha"), nullptr);

    std::string expected = dir.Path() + "\\LIB.DLL";
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(plat::LibraryFileName(lib), expected);
    plat::FreeLibrary(lib);
    plat::FreeLibrary(nullptr);
}
