#include "FuzzSupport.h"

#include "misc/CxDebugUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fuzz {

namespace {

std::string g_scratch;

void RemoveScratch()
{
    if (g_scratch.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(g_scratch, ec);
}

}  // namespace

void Setup()
{
    if (!g_scratch.empty())
        return;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnwick-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        Fail("cannot make the scratch folder", pattern);
    g_scratch = pattern + "/";
    std::atexit(RemoveScratch);

    // The log writes its level-0 lines whatever the switch says; they go to
    // the scratch folder, and the log's own rotation (kRotateSize) keeps the
    // file and its one ".old.log" bounded however long the run.
    TheLog().SetFolder(g_scratch.c_str());
    TheLog().SetEnabled(false);
    TheLog().SetLevel(0);

    // Nothing a target runs may look at the user's Wine prefix or settings.
    std::string wine = g_scratch + "wine";
    std::string data = g_scratch + "data";
    std::filesystem::create_directories(wine);
    std::filesystem::create_directories(data);
    setenv("WINEPREFIX", wine.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
}

const std::string& Scratch()
{
    Setup();
    return g_scratch;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size)
{
    std::string path = Scratch() + name;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Fail("cannot create a scratch file", path);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            Fail("cannot write a scratch file", path);
        }
        done += size_t(n);
    }
    if (::close(fd) != 0)
        Fail("cannot close a scratch file", path);
    return path;
}

std::string WriteScratchFile(const std::string& name, const std::string& data)
{
    return WriteScratchFile(name, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

std::string ReadScratchFile(const std::string& hostPath)
{
    FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f)
        Fail("cannot open a scratch file", hostPath);
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad)
        Fail("cannot read a scratch file", hostPath);
    return out;
}

void RemoveScratchFile(const std::string& hostPath)
{
    std::filesystem::path p(hostPath);
    std::error_code ec;
    std::filesystem::remove(p, ec);
    std::string prefix = p.filename().string() + ".";
    for (const auto& entry : std::filesystem::directory_iterator(p.parent_path(), ec))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            std::filesystem::remove(entry.path(), ec);
}

void Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "fuzz invariant broken: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzz
