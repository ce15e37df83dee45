#include "platform/Library.h"
#include "platform/UserLibrary.h"

#include "palmfixture/PalmFixture.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

struct LoadedUserData {
    explicit LoadedUserData(const TestDir& dir, const std::string& sub = "")
    {
        std::string folder = sub.empty() ? dir.Path() : dir / sub;
        std::filesystem::create_directories(folder);
        palmfix::WriteFile(folder + "/UserData.dll", palmfix::BuildPeImage(true, "UserData.dll", {"UmGetUserCount"}, nullptr));
        lib = plat::LoadLibrary(folder + "/UserData.dll");
    }
    ~LoadedUserData() { plat::FreeLibrary(lib); }
    plat::Library* lib = nullptr;
};

std::string WinForm(std::string host)
{
    std::replace(host.begin(), host.end(), '/', '\\');
    return host;
}

}  // namespace

TEST(UserLibrary, IdIsFnv1aOfTheLowerCasedName)
{
    EXPECT_EQ(plat::UserIdForName(""), 2166136261u);
    EXPECT_EQ(plat::UserIdForName("a"), 0xE40C292Cu);
    EXPECT_EQ(plat::UserIdForName("foobar"), 0xBF9CF968u);
    EXPECT_EQ(plat::UserIdForName("FooBar"), 0xBF9CF968u);
}

TEST(UserLibrary, UsersAreSubfoldersWithAnApplicationFolderInNameOrder)
{
    TestDir dir;
    dir.MakeDir("smithj/ADDRESS");
    dir.MakeDir("Brown/MemoPad");
    dir.MakeDir("alice/todo");
    dir.MakeDir("alice/datebook");
    dir.MakeDir("NoApps/other");
    dir.Write("FileOnly/todo", "a file, not a folder");
    dir.Write("address", "a file at the root");
    LoadedUserData ud(dir);
    ASSERT_NE(ud.lib, nullptr);

    ASSERT_EQ(plat::UmGetUserCount(ud.lib), 3);
    const char* expected[] = {"alice", "Brown", "smithj"};
    for (int16_t i = 0; i < 3; ++i) {
        uint32_t id = 0;
        ASSERT_EQ(plat::UmGetUserID(ud.lib, i, &id), 0);
        EXPECT_EQ(id, plat::UserIdForName(expected[i]));
        char name[64];
        uint16_t size = sizeof(name);
        ASSERT_EQ(plat::UmGetUserName(ud.lib, id, name, &size), 0);
        EXPECT_STREQ(name, expected[i]);
        char folder[256];
        size = sizeof(folder);
        ASSERT_EQ(plat::UmGetUserDirectory(ud.lib, id, folder, &size), 0);
        EXPECT_STREQ(folder, expected[i]);
    }
    uint32_t id = 0;
    EXPECT_EQ(plat::UmGetUserID(ud.lib, 3, &id), -1);
    EXPECT_EQ(plat::UmGetUserID(ud.lib, -1, &id), -1);
    char name[64];
    uint16_t size = sizeof(name);
    EXPECT_EQ(plat::UmGetUserName(ud.lib, 12345, name, &size), -1);

    // A name cut to the buffer is terminated and reported.
    char small[4];
    size = sizeof(small);
    EXPECT_EQ(plat::UmGetUserName(ud.lib, plat::UserIdForName("smithj"), small, &size), -2);
    EXPECT_STREQ(small, "smi");
    EXPECT_EQ(size, 7);
}

TEST(UserLibrary, RootIsTheLoadFolderWithItsBackslash)
{
    TestDir dir;
    LoadedUserData ud(dir, "Palm");
    ASSERT_NE(ud.lib, nullptr);
    char root[260];
    uint16_t size = sizeof(root);
    ASSERT_NE(plat::UmGetRootDirectory(ud.lib, root, &size), 0);
    EXPECT_EQ(std::string(root), WinForm(dir / "Palm") + "\\");
    EXPECT_EQ(plat::UmGetUserCount(ud.lib), 0);

    char tiny[4];
    size = sizeof(tiny);
    EXPECT_EQ(plat::UmGetRootDirectory(ud.lib, tiny, &size), 0);
    EXPECT_EQ(plat::UmGetRootDirectory(nullptr, root, &size), 0);
    EXPECT_EQ(plat::UmGetUserCount(nullptr), -100);

    // The folder gone after loading: no users can be listed.
    std::filesystem::remove_all(dir / "Palm");
    EXPECT_EQ(plat::UmGetUserCount(ud.lib), -1);
}
