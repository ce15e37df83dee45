// The PE image reader (version resource and export table) and the library
// layer on top of it, in two modes chosen by the low bit of the first byte:
// - raw: the rest is the image, read through IsPeImage,
//   ReadFixedFileVersion, ReadExportNames and LoadLibrary/GetProcAddress;
//   whatever the reader says of one image it must say consistently;
// - built: an image the fixture builds from a version and export names made
//   from the input must read back with exactly that version and those names.
#include "FuzzSupport.h"

#include "palmfixture/PalmFixture.h"
#include "platform/Library.h"
#include "platform/PeImage.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

void Raw(fuzz::Bytes& in)
{
    std::string path = fuzz::WriteScratchFile("palm.exe", in.Rest());
    bool isPe = plat::IsPeImage(path);
    plat::FixedFileVersion version;
    bool hasVersion = plat::ReadFixedFileVersion(path, &version);
    std::vector<std::string> names;
    bool hasExports = plat::ReadExportNames(path, &names);
    if ((hasVersion || hasExports) && !isPe)
        fuzz::Fail("a file that is no PE image gave a version or exports");
    plat::Library* lib = plat::LoadLibrary(path);
    // A library loads when it is a PE image whose export table can be read.
    if ((isPe && hasExports) != (lib != nullptr))
        fuzz::Fail("LoadLibrary disagrees with the image reader");
    if (lib) {
        for (const std::string& name : names)
            if (!plat::GetProcAddress(lib, name.c_str()))
                fuzz::Fail("an exported name does not bind", name);
        plat::GetProcAddress(lib, "PltGetUserCount");
        plat::FreeLibrary(lib);
    }
}

void Built(fuzz::Bytes& in)
{
    uint8_t flags = in.U8();
    uint16_t version[4] = {in.U16(), in.U16(), in.U16(), in.U16()};
    std::vector<std::string> exports;
    size_t count = in.U8() % 40;
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        size_t n = 1 + in.U8() % 40;
        for (size_t k = 0; k < n; ++k)
            name += char(0x21 + in.U8() % 94);
        exports.push_back(name);
    }
    bool withVersion = flags & 2;
    std::string image = palmfix::BuildPeImage(flags & 1, "x.dll", exports, withVersion ? version : nullptr);
    std::string path = fuzz::WriteScratchFile("built.dll", image);
    if (!plat::IsPeImage(path))
        fuzz::Fail("a built image is no PE image");
    plat::FixedFileVersion got;
    bool hasVersion = plat::ReadFixedFileVersion(path, &got);
    if (hasVersion != withVersion)
        fuzz::Fail("the version resource of a built image is read wrongly");
    if (withVersion && (got.fileVersionMS != (uint32_t(version[0]) << 16 | version[1]) ||
                        got.fileVersionLS != (uint32_t(version[2]) << 16 | version[3])))
        fuzz::Fail("a built image's version reads back otherwise");
    std::vector<std::string> names;
    if (!plat::ReadExportNames(path, &names))
        fuzz::Fail("a built image's exports cannot be read");
    // Only a library has an export table; its names are sorted, as the
    // loader's binary search needs.
    if (!(flags & 1))
        exports.clear();
    std::sort(exports.begin(), exports.end());
    if (names != exports)
        fuzz::Fail("a built image's exports read back otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Bytes in(data, size);
    if (in.U8() & 1)
        Built(in);
    else
        Raw(in);
    return 0;
}
