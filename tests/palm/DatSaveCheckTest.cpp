// A .dat save writes only over the file it loaded, and a failed save says
// why in the user's words. Another program's change between the load and
// the save (one byte of a record's text, the modification time alone, the
// bytes with the time put back, the size) refuses the save: the other
// program's edit survives, nothing is written and no backup made. A file in
// which nothing was deleted is not written at all. A data file that is a
// symbolic link stays one. Both .dat generations, through the four facades.
#include "PalmInfoTestEnv.h"

#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmReason.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

using infotest::PalmInstall;

namespace {

constexpr uint32_t kClassic = 40100;
constexpr uint32_t kEx = 40102;

// A text of a record that its file holds as it is (a field no shorter than
// four characters, which a one-byte change can be aimed at).
std::string_view TextOf(const CommAddr& r) { return r.LastName.View().size() >= 4 ? r.LastName.View() : r.FirstName.View(); }
std::string_view TextOf(const CommDate& r) { return r.Description.View(); }
std::string_view TextOf(const CommTask& r) { return r.Description.View(); }
std::string_view TextOf(const CommNote& r) { return r.Note.View(); }

std::string Host(const std::string& winPath) { return plat::ToHostPath(winPath); }

std::set<std::string> Entries(const std::string& hostDir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(hostDir))
        out.insert(e.path().filename().string());
    return out;
}

int64_t MtimeNs(const std::string& host)
{
    struct stat st {};
    EXPECT_EQ(::stat(host.c_str(), &st), 0);
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void SetMtimeNs(const std::string& host, int64_t ns)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = ns / 1000000000;
    times[1].tv_nsec = ns % 1000000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, host.c_str(), times, 0), 0);
}

// Another program writes the file in place (same inode, as a program that
// opens it for writing would).
void WriteInPlace(const std::string& host, const std::string& bytes)
{
    std::fstream f(host, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(bool(f));
}

/// Another program's change between the load and the save.
struct Edit {
    const char* name;
    std::function<void(const std::string& host, const std::string& aimedText)> apply;
};

std::vector<Edit> Edits()
{
    // One byte of the record's text, in place: the size stays.
    auto oneByte = [](const std::string& host, const std::string& text) {
        std::string bytes = infotest::ReadBytes(plat::ToWinPath(host));
        size_t at = bytes.find(text);
        ASSERT_NE(at, std::string::npos) << "the record's text is not in the file";
        bytes[at + 1] = bytes[at + 1] == 'x' ? 'y' : 'x';
        WriteInPlace(host, bytes);
    };
    return {
        {"one byte of a record's text", oneByte},
        {"the same byte, the modification time put back",
         [oneByte](const std::string& host, const std::string& text) {
             const int64_t was = MtimeNs(host);
             oneByte(host, text);
             SetMtimeNs(host, was);
         }},
        {"the modification time alone", [](const std::string& host, const std::string&) {
             SetMtimeNs(host, MtimeNs(host) + 10 * int64_t(1000000000));
         }},
        {"a byte added at the end, the time put back",
         [](const std::string& host, const std::string&) {
             const int64_t was = MtimeNs(host);
             std::ofstream(host, std::ios::binary | std::ios::app) << 'z';
             SetMtimeNs(host, was);
         }},
    };
}

class DatSaveCheck : public ::testing::Test {
protected:
    void Install(uint16_t minor, uint16_t build, uint32_t version)
    {
        // One installation at a time: each sets and restores the process's
        // Wine prefix and libraries.
        m_env.reset();
        m_env = std::make_unique<PalmInstall>(4, minor, build);
        std::string error;
        ASSERT_TRUE(palmfix::GenerateUserData(m_env->UserFolder(), version, {12, 2, 5}, palmfix::kGenAll, &error))
            << error;
        plat::ResetBackups();
    }

    std::string Folder(const std::string& rel) const
    {
        return std::filesystem::path(Host(m_env->UserFile(rel))).parent_path().string();
    }

    /// The edits of another program between a deletion and the save, each
    /// refused; then the run again (a new load) goes through.
    template <typename Info>
    void RefusesEveryOtherWriter(uint32_t version, const std::string& rel)
    {
        const std::string win = m_env->UserFile(rel);
        const std::string host = Host(win);
        const std::set<std::string> entries = Entries(Folder(rel));
        for (const Edit& edit : Edits()) {
            SCOPED_TRACE(rel + ": " + edit.name);
            Info info(version);
            ASSERT_TRUE(info.LoadByUser(int32_t(m_env->UserId())));
            ASSERT_GE(info.GetCommMgr()->Count(), 2u);
            auto* rec = info.GetCommMgr()->GetAt(1);
            const std::string text(TextOf(*rec));
            ASSERT_GE(text.size(), 4u);
            ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
            ASSERT_NO_FATAL_FAILURE(edit.apply(host, text));
            const std::string edited = infotest::ReadBytes(win);
            const int64_t editedTime = MtimeNs(host);

            m_env->ClearLog();
            EXPECT_FALSE(info.Save());
            EXPECT_EQ(info.SaveError(), kPmReasonChanged);
            EXPECT_TRUE(m_env->LogHas("no longer what was read")) << m_env->Log();
            // The other program's edit survives; nothing else appeared.
            EXPECT_TRUE(infotest::ReadBytes(win) == edited);
            EXPECT_EQ(MtimeNs(host), editedTime);
            EXPECT_EQ(Entries(Folder(rel)), entries);

            // The wizard run again: a new load of the edited file saves.
            Info again(version);
            ASSERT_TRUE(again.LoadByUser(int32_t(m_env->UserId())));
            ASSERT_TRUE(again.DeleteRecord(again.GetCommMgr()->GetAt(0)));
            ASSERT_TRUE(again.Save()) << again.SaveError();
            EXPECT_TRUE(again.SaveError().empty());
            ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(edited, win, 1));
            // The next edit starts from this file, without its backup.
            for (const std::string& e : Entries(Folder(rel)))
                if (!entries.count(e))
                    std::filesystem::remove(Folder(rel) + "/" + e);
            plat::ResetBackups();
        }
    }

    /// A save whose file nobody else touched goes through, and so does a
    /// later one of the same run (it finds what the first wrote); a change by
    /// another program after the first save refuses the second.
    template <typename Info>
    void SavesOfOneRun(uint32_t version, const std::string& rel)
    {
        SCOPED_TRACE(rel);
        const std::string win = m_env->UserFile(rel);
        Info info(version);
        ASSERT_TRUE(info.LoadByUser(int32_t(m_env->UserId())));
        ASSERT_GE(info.GetCommMgr()->Count(), 4u);
        const std::string original = infotest::ReadBytes(win);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
        ASSERT_TRUE(info.Save()) << info.SaveError();
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, win, 1));
        const std::string first = infotest::ReadBytes(win);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(1)));
        ASSERT_TRUE(info.Save()) << info.SaveError();
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(first, win, 1));

        const std::string second = infotest::ReadBytes(win);
        SetMtimeNs(Host(win), MtimeNs(Host(win)) + 5 * int64_t(1000000000));
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(2)));
        EXPECT_FALSE(info.Save());
        EXPECT_EQ(info.SaveError(), kPmReasonChanged);
        EXPECT_TRUE(infotest::ReadBytes(win) == second);
    }

    std::unique_ptr<PalmInstall> m_env;
};

}  // namespace

TEST_F(DatSaveCheck, ClassicFilesChangedByAnotherProgramAreNotWritten)
{
    ASSERT_NO_FATAL_FAILURE(Install(1, 0, kClassic));
    RefusesEveryOtherWriter<PmAddrInfo>(kClassic, "address\\address.dat");
    RefusesEveryOtherWriter<PmDateInfo>(kClassic, "datebook\\datebook.dat");
    RefusesEveryOtherWriter<PmTodoInfo>(kClassic, "todo\\todo.dat");
    RefusesEveryOtherWriter<PmMemoInfo>(kClassic, "memopad\\memopad.dat");
    SavesOfOneRun<PmAddrInfo>(kClassic, "address\\address.dat");
    SavesOfOneRun<PmMemoInfo>(kClassic, "memopad\\memopad.dat");
}

TEST_F(DatSaveCheck, ExFilesChangedByAnotherProgramAreNotWritten)
{
    ASSERT_NO_FATAL_FAILURE(Install(1, 2, kEx));
    RefusesEveryOtherWriter<PmAddrInfo>(kEx, "address\\address.dat");
    RefusesEveryOtherWriter<PmDateInfo>(kEx, "datebook\\datebook.dat");
    RefusesEveryOtherWriter<PmTodoInfo>(kEx, "todo\\todo.dat");
    RefusesEveryOtherWriter<PmMemoInfo>(kEx, "memopad\\memopad.dat");
    SavesOfOneRun<PmDateInfo>(kEx, "datebook\\datebook.dat");
    SavesOfOneRun<PmTodoInfo>(kEx, "todo\\todo.dat");
}

namespace {

/// A facade's Save with nothing deleted since the load: true, and the file
/// not touched (no rewrite, no backup, the same time), even while another
/// program holds it. Then one deletion: written.
template <typename Info>
void NothingDeletedIsNotWritten(const PalmInstall& env, uint32_t version, const std::string& rel)
{
    SCOPED_TRACE(rel);
    const std::string win = env.UserFile(rel);
    const std::string host = Host(win);
    const std::string dir = std::filesystem::path(host).parent_path().string();
    const std::string before = infotest::ReadBytes(win);
    const std::set<std::string> entries = Entries(dir);
    SetMtimeNs(host, MtimeNs(host) - 3 * int64_t(1000000000));
    const int64_t time = MtimeNs(host);

    Info info(version);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_TRUE(info.Save()) << info.SaveError();
    EXPECT_TRUE(info.SaveError().empty());
    {
        const int fd = ::open(host.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_TRUE(info.Save()) << info.SaveError();
        ::close(fd);
    }
    EXPECT_TRUE(infotest::ReadBytes(win) == before);
    EXPECT_EQ(MtimeNs(host), time);
    EXPECT_EQ(Entries(dir), entries);

    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
    ASSERT_TRUE(info.Save()) << info.SaveError();
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(before, win, 1));
    EXPECT_EQ(Entries(dir).size(), entries.size() + 1);  // its backup
}

/// A failed save's reason in the user's words, each the file left as it
/// was without a backup; then the save goes through and the reason is gone.
template <typename Info>
void ReasonsOfAFailedSave(const PalmInstall& env, uint32_t version, const std::string& rel)
{
    SCOPED_TRACE(rel);
    const std::string win = env.UserFile(rel);
    const std::string host = Host(win);
    const std::string dir = std::filesystem::path(host).parent_path().string();
    const std::string before = infotest::ReadBytes(win);
    const std::set<std::string> entries = Entries(dir);
    plat::ResetBackups();

    Info info(version);
    EXPECT_TRUE(info.SaveFile().empty());
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.SaveFile(), host);
    EXPECT_EQ(info.SaveFile().find('\\'), std::string::npos);
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
    EXPECT_TRUE(info.DeleteError().empty());

    auto expectRefused = [&](const char* what, const std::string& reason) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(info.Save());
        EXPECT_EQ(info.SaveError(), reason);
        EXPECT_TRUE(infotest::ReadBytes(win) == before);
        EXPECT_EQ(Entries(dir), entries);
    };
    {
        // Another opener holds the file without sharing.
        const int fd = ::open(host.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        expectRefused("held", kPmReasonHeld);
        ::close(fd);
    }
    auto withFaults = [&](const char* what, const std::function<void(plat::FileFaults&)>& set,
                          const std::string& reason) {
        plat::FileFaults f;
        set(f);
        plat::ScopedFileFaults scoped(f);
        expectRefused(what, reason);
    };
    withFaults("full disk", [](auto& f) { f.diskFreeBytes = 0; }, "No space left on device");
    withFaults("folder not writable", [](auto& f) { f.failTempCreate = true; }, "Permission denied");
    withFaults("backup unreadable", [](auto& f) { f.failBackupRead = true; }, "Input/output error");
    // The file removed since the load: nothing is made in its place.
    const std::string aside = host + ".aside";
    std::filesystem::rename(host, aside);
    EXPECT_FALSE(info.Save());
    EXPECT_EQ(info.SaveError(), kPmReasonChanged);
    EXPECT_FALSE(std::filesystem::exists(host));
    std::filesystem::rename(aside, host);

    ASSERT_TRUE(info.Save()) << info.SaveError();
    EXPECT_TRUE(info.SaveError().empty());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(before, win, 1));
    info.Reset();
    EXPECT_TRUE(info.SaveFile().empty());
    EXPECT_FALSE(info.Save());
    EXPECT_FALSE(info.SaveError().empty());
}

}  // namespace

TEST_F(DatSaveCheck, NothingDeletedNothingWritten)
{
    ASSERT_NO_FATAL_FAILURE(Install(1, 0, kClassic));
    NothingDeletedIsNotWritten<PmAddrInfo>(*m_env, kClassic, "address\\address.dat");
    NothingDeletedIsNotWritten<PmDateInfo>(*m_env, kClassic, "datebook\\datebook.dat");
    ASSERT_NO_FATAL_FAILURE(Install(1, 2, kEx));
    NothingDeletedIsNotWritten<PmTodoInfo>(*m_env, kEx, "todo\\todo.dat");
    NothingDeletedIsNotWritten<PmMemoInfo>(*m_env, kEx, "memopad\\memopad.dat");
}

TEST_F(DatSaveCheck, AFailedSaveSaysWhy)
{
    ASSERT_NO_FATAL_FAILURE(Install(1, 0, kClassic));
    ReasonsOfAFailedSave<PmTodoInfo>(*m_env, kClassic, "todo\\todo.dat");
    ReasonsOfAFailedSave<PmMemoInfo>(*m_env, kClassic, "memopad\\memopad.dat");
    ASSERT_NO_FATAL_FAILURE(Install(1, 2, kEx));
    ReasonsOfAFailedSave<PmAddrInfo>(*m_env, kEx, "address\\address.dat");
    ReasonsOfAFailedSave<PmDateInfo>(*m_env, kEx, "datebook\\datebook.dat");
}

// A data file that is a link into another folder stays a link: the file it
// leads to gets the deletion, its backup lies beside it, and the facade names
// the file as the user knows it (the link).
TEST_F(DatSaveCheck, ALinkedDataFileStaysALink)
{
    for (uint32_t version : {kClassic, kEx}) {
        SCOPED_TRACE(version);
        ASSERT_NO_FATAL_FAILURE(Install(1, version == kEx ? 2 : 0, version));
        const std::string win = m_env->UserFile("memopad\\memopad.dat");
        const std::string link = Host(win);
        const std::string folder = std::filesystem::path(link).parent_path().string();
        const std::string shared = folder + "/../../shared";
        std::filesystem::create_directories(shared);
        const std::string target = shared + "/memopad.dat";
        std::filesystem::rename(link, target);
        ASSERT_EQ(::symlink("../../shared/memopad.dat", link.c_str()), 0);
        const std::string before = infotest::ReadBytes(win);

        PmMemoInfo info(version);
        ASSERT_TRUE(info.LoadByUser(int32_t(m_env->UserId())));
        EXPECT_EQ(info.SaveFile(), link);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
        ASSERT_TRUE(info.Save()) << info.SaveError();
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(before, win, 1));
        EXPECT_EQ(Entries(folder), std::set<std::string>({"memopad.dat"}));
        std::set<std::string> beside = Entries(shared);
        ASSERT_EQ(beside.size(), 2u);
        beside.erase("memopad.dat");
        ASSERT_EQ(beside.size(), 1u);
        EXPECT_TRUE(infotest::ReadBytes(plat::ToWinPath(shared + "/" + *beside.begin())) == before);

        // A later save of the run, through the link again, finds its own write.
        const std::string saved = infotest::ReadBytes(win);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(1)));
        ASSERT_TRUE(info.Save()) << info.SaveError();
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(saved, win, 1));
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
}
