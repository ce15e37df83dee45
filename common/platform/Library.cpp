#include "platform/Library.h"

#include "platform/PeImage.h"
#include "platform/WinPath.h"

#include <memory>
#include <vector>

namespace plat {

struct Library {
    std::string fileName;
    std::vector<std::string> exports;
    // One byte per export: the addresses of these bytes are the bound handles.
    std::unique_ptr<char[]> slots;
};

namespace {

std::string NormalizeModuleName(const std::string& path)
{
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        // A UNC path keeps its two leading separators.
        if (c == '\\' && !out.empty() && out.back() == '\\' && i > 1)
            continue;
        out += c;
    }
    return out;
}

}  // namespace

Library* LoadLibrary(const std::string& winPath)
{
    if (winPath.empty())
        return nullptr;
    auto lib = std::make_unique<Library>();
    if (!IsPeImage(winPath) || !ReadExportNames(winPath, &lib->exports))
        return nullptr;
    lib->fileName = NormalizeModuleName(winPath);
    lib->slots = std::make_unique<char[]>(lib->exports.size() + 1);
    return lib.release();
}

void* GetProcAddress(Library* lib, const char* name)
{
    if (!lib || !name)
        return nullptr;
    for (size_t i = 0; i < lib->exports.size(); ++i)
        if (lib->exports[i] == name)
            return &lib->slots[i];
    return nullptr;
}

void FreeLibrary(Library* lib)
{
    delete lib;
}

std::string LibraryFileName(const Library* lib)
{
    return lib ? lib->fileName : std::string();
}

}  // namespace plat
