// What a save replaces and what it compares with: a data file that is a
// symbolic link stays one (the file it leads to is replaced and backed up
// where it lies), the digest that tells whether a file still holds the bytes
// read, and the no-sharing open's reasons.
#include "platform/File.h"
#include "platform/WinPath.h"

#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Read(const std::string& host)
{
    std::string out;
    plat::ReadWholeFile(plat::ToWinPath(host), &out);
    return out;
}

bool IsLink(const std::string& host)
{
    struct stat st;
    return ::lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LinkText(const std::string& host)
{
    char buf[4096];
    ssize_t n = ::readlink(host.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, size_t(n));
}

/// The entries of a folder.
std::set<std::string> Entries(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

/// The entries of `dir` that are backups of `name` ("<name>.<stamp>.bak").
std::vector<std::string> BackupsOf(const std::string& dir, const std::string& name)
{
    std::vector<std::string> out;
    for (const std::string& e : Entries(dir))
        if (e.size() > name.size() + 4 && e.compare(0, name.size() + 1, name + ".") == 0 &&
            e.compare(e.size() - 4, 4, ".bak") == 0)
            out.push_back(dir + "/" + e);
    return out;
}

}  // namespace

// The file a link leads to is replaced where it lies: the temporary file and
// the backup beside it, the link left as it was (the same text), whether the
// link is relative, leads into another folder, is absolute or leads through
// another link.
TEST(SaveTarget, ALinkStaysALink)
{
    struct Case {
        const char* name;
        const char* link;    ///< the path the program is given, under the test folder
        const char* target;  ///< the file itself, under the test folder
        const char* text;    ///< the link's text ("" for an absolute link to the target)
        const char* via;     ///< a second link the first leads to, or none
    };
    const Case cases[] = {
        {"relative, same folder", "user/address.dat", "user/address-real.dat", "address-real.dat", nullptr},
        {"relative, another folder", "user/address.dat", "elsewhere/data/address.dat", "../elsewhere/data/address.dat",
         nullptr},
        {"absolute, another folder", "user/address.dat", "elsewhere/address.dat", "", nullptr},
        {"through a second link", "user/address.dat", "store/address.dat", "../hop/address.dat", "hop/address.dat"},
    };
    const std::string original = "the original bytes " + std::string(200, 'o');
    const std::string replaced = "the new bytes " + std::string(300, 'n');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        plat::ResetBackups();
        dir.Write(c.target, original);
        dir.MakeDir("user");
        const std::string link = dir / c.link;
        const std::string target = dir / c.target;
        std::string text = *c.text ? c.text : target;
        if (c.via) {
            dir.MakeDir("hop");
            ASSERT_EQ(::symlink("../store/address.dat", (dir / c.via).c_str()), 0);
        }
        ASSERT_EQ(::symlink(text.c_str(), link.c_str()), 0);
        const std::string targetDir = std::filesystem::path(target).parent_path().string();
        const std::string name = std::filesystem::path(target).filename().string();

        std::string error;
        int errnum = -1;
        ASSERT_TRUE(plat::ReplaceFileContents(plat::ToWinPath(link), replaced.data(), replaced.size(), &error, &errnum))
            << error;
        EXPECT_TRUE(IsLink(link));
        EXPECT_EQ(LinkText(link), text);
        EXPECT_FALSE(IsLink(target));
        EXPECT_EQ(Read(target), replaced);
        std::vector<std::string> backups = BackupsOf(targetDir, name);
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(Read(backups[0]), original);
        // Named by the link as by the file, once per process.
        EXPECT_EQ(plat::BackupPathOf(plat::ToWinPath(link)), backups[0]);
        EXPECT_EQ(plat::BackupPathOf(plat::ToWinPath(target)), backups[0]);
        ASSERT_TRUE(plat::ReplaceFileContents(plat::ToWinPath(link), original.data(), original.size(), &error));
        EXPECT_EQ(plat::BackupPathOf(plat::ToWinPath(link)), backups[0]);
        EXPECT_EQ(BackupsOf(targetDir, name).size(), 1u);
        ASSERT_TRUE(plat::ReplaceFileContents(plat::ToWinPath(link), replaced.data(), replaced.size(), &error));
        // Beside the file: the file and its backup, nothing left over; beside
        // the link (when elsewhere): the link alone.
        std::set<std::string> expected = {name, std::filesystem::path(backups[0]).filename().string()};
        const bool apart = targetDir != dir / "user";
        if (!apart)
            expected.insert("address.dat");
        EXPECT_EQ(Entries(targetDir), expected);
        if (apart) {
            EXPECT_EQ(Entries(dir / "user"), std::set<std::string>({"address.dat"}));
        }

        // A database changed in place is copied beside the file too.
        plat::ResetBackups();
        std::filesystem::remove(backups[0]);
        ASSERT_TRUE(plat::BackupOnce(plat::ToWinPath(link), &error, &errnum)) << error;
        backups = BackupsOf(targetDir, name);
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(Read(backups[0]), replaced);
        EXPECT_EQ(plat::BackupPathOf(plat::ToWinPath(link)), backups[0]);
        EXPECT_TRUE(IsLink(link));
        if (apart) {
            EXPECT_EQ(Entries(dir / "user"), std::set<std::string>({"address.dat"}));
        }
    }
}

// A link that leads nowhere is no file to replace: nothing is made, and the
// error number says the file is not there.
TEST(SaveTarget, ADanglingLinkIsNotReplaced)
{
    TestDir dir;
    plat::ResetBackups();
    const std::string link = dir / "address.dat";
    ASSERT_EQ(::symlink("gone/address.dat", link.c_str()), 0);
    std::string error;
    int errnum = 0;
    EXPECT_FALSE(plat::ReplaceFileContents(plat::ToWinPath(link), "x", 1, &error, &errnum));
    EXPECT_EQ(errnum, ENOENT);
    EXPECT_FALSE(plat::BackupOnce(plat::ToWinPath(link), &error, &errnum));
    EXPECT_EQ(errnum, ENOENT);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"address.dat"}));
    EXPECT_EQ(LinkText(link), "gone/address.dat");
}

// Bytes given in pieces of any sizes digest as given whole; a change of any
// one byte, of the length by a zero byte, or of the order gives another value.
TEST(SaveTarget, TheDigestSeesEveryByte)
{
    std::mt19937 random(7);
    std::string bytes(10007, '\0');
    for (char& b : bytes)
        b = char(random());
    const uint64_t whole = plat::ContentDigest::Of(bytes.data(), bytes.size());
    for (size_t piece : {size_t(1), size_t(3), size_t(31), size_t(32), size_t(33), size_t(4096)}) {
        plat::ContentDigest d;
        for (size_t at = 0; at < bytes.size(); at += piece)
            d.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(d.Value(), whole) << "pieces of " << piece;
    }
    std::set<uint64_t> seen = {whole};
    for (size_t at : {size_t(0), size_t(17), size_t(5000), bytes.size() - 1}) {
        std::string changed = bytes;
        changed[at] = char(changed[at] ^ 1);
        EXPECT_TRUE(seen.insert(plat::ContentDigest::Of(changed.data(), changed.size())).second) << "byte " << at;
    }
    std::string longer = bytes + '\0';
    EXPECT_TRUE(seen.insert(plat::ContentDigest::Of(longer.data(), longer.size())).second);
    std::string swapped = bytes;
    std::swap(swapped[100], swapped[101]);
    ASSERT_NE(swapped, bytes);
    EXPECT_TRUE(seen.insert(plat::ContentDigest::Of(swapped.data(), swapped.size())).second);
    // Short runs (no full stripe) too.
    EXPECT_NE(plat::ContentDigest::Of("", 0), plat::ContentDigest::Of("\0", 1));
    EXPECT_NE(plat::ContentDigest::Of("ab", 2), plat::ContentDigest::Of("ba", 2));
}

// The no-sharing open says why it failed; the open file's stamp and digest
// are those of its bytes, read without moving the position.
TEST(SaveTarget, TheOpenFileTellsWhatItHolds)
{
    TestDir dir;
    const std::string content(70000, 'q');
    dir.Write("memopad.dat", content);
    const std::string win = plat::ToWinPath(dir / "memopad.dat");
    plat::ExclusiveFile held;
    ASSERT_TRUE(held.Open(win, plat::Access::ReadWrite, false));
    plat::ExclusiveFile second;
    errno = 0;
    EXPECT_FALSE(second.Open(win, plat::Access::Read, false));
    EXPECT_EQ(errno, EWOULDBLOCK);
    errno = 0;
    EXPECT_FALSE(second.Open(plat::ToWinPath(dir.Path()), plat::Access::Read, false));
    EXPECT_EQ(errno, EISDIR);

    ASSERT_TRUE(held.Seek(5));
    uint64_t digest = 0, size = 0;
    ASSERT_TRUE(held.DigestAll(&digest, &size));
    EXPECT_EQ(size, content.size());
    EXPECT_EQ(digest, plat::ContentDigest::Of(content.data(), content.size()));
    EXPECT_EQ(held.Tell(), 5);
    plat::FileStamp open, named;
    ASSERT_TRUE(held.Stamp(&open));
    ASSERT_TRUE(plat::StampFile(win, &named));
    EXPECT_EQ(open, named);
    EXPECT_EQ(open.size, content.size());
}

// A new file appears whole under its name or not at all, and never takes the
// place of a file that has the name: a full disk, a failed flush or an
// existing file leave the folder as it was.
TEST(SaveTarget, NewFileIsWholeOrAbsentAndReplacesNothing)
{
    TestDir dir;
    const std::string content = "line one\nline two, \"quoted\"\n" + std::string(5000, 'x');
    const std::string path = dir / "report.txt";
    std::string error;
    int errnum = 0;
    ASSERT_TRUE(plat::WriteNewFile(plat::ToWinPath(path), content.data(), content.size(), &error, &errnum)) << error;
    EXPECT_EQ(Read(path), content);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"report.txt"}));

    EXPECT_FALSE(plat::WriteNewFile(plat::ToWinPath(path), "other", 5, &error, &errnum));
    EXPECT_EQ(errnum, EEXIST);
    EXPECT_EQ(Read(path), content);

    plat::FileFaults full;
    full.diskFreeBytes = 100;
    plat::FileFaults noFlush;
    noFlush.failSync = true;
    for (const plat::FileFaults& f : {full, noFlush}) {
        plat::ScopedFileFaults faults(f);
        EXPECT_FALSE(plat::WriteNewFile(plat::ToWinPath(dir / "second.txt"), content.data(), content.size(), &error,
                                        &errnum));
        EXPECT_EQ(errnum, f.failSync ? EIO : ENOSPC) << error;
        EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"report.txt"}));
    }
}
