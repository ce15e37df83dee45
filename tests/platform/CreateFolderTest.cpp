#include "platform/File.h"
#include "platform/WinPath.h"

#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(CreateFolderTest, MakesOneLevelWhoseParentExists)
{
    TestDir dir;
    std::string base = plat::ToWinPath(dir.Path());

    EXPECT_TRUE(plat::CreateFolder(base + "\\one"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "one"));
    // Already there: still a success, and what is inside stays.
    dir.Write("one/keep.txt", "kept");
    EXPECT_TRUE(plat::CreateFolder(base + "\\one"));
    EXPECT_TRUE(std::filesystem::exists(dir / "one/keep.txt"));
    // A trailing separator, and '/' as the separator.
    EXPECT_TRUE(plat::CreateFolder(base + "\\one\\two\\"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "one/two"));
    EXPECT_TRUE(plat::CreateFolder(base + "/one/two/three"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "one/two/three"));
    // A level that exists in another case is that level, as on Windows.
    EXPECT_TRUE(plat::CreateFolder(base + "\\ONE\\Two\\four"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "one/two/four"));
}

TEST(CreateFolderTest, RefusesWhatIsNoFolderLevel)
{
    TestDir dir;
    std::string base = plat::ToWinPath(dir.Path());

    // The parent is missing: only one level is made, as CreateDirectoryA does.
    EXPECT_FALSE(plat::CreateFolder(base + "\\a\\b"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    // A file stands at the path, or where the parent should be.
    dir.Write("file", "x");
    EXPECT_FALSE(plat::CreateFolder(base + "\\file"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "file"));
    EXPECT_FALSE(plat::CreateFolder(base + "\\file\\sub"));
    EXPECT_FALSE(plat::CreateFolder(""));
}
