#include "app/ApputilFacadeSet.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"
#include "platform/File.h"
#include "platform/FileCheck.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <cstring>
#include <new>

namespace {

const char* const kAppNames[kPmAppCount] = {"Palm Desktop Contacts", "Palm Desktop Calendar", "Palm Desktop Tasks",
                                            "Palm Desktop Notes"};

const char kNoReason[] = "No data of this application could be read for this user.";

bool IsGeneration(int32_t gen) { return gen == kPmGenClassic || gen == kPmGenEx || gen == kPmGenEx2; }

bool Chosen(int32_t appFlag, int32_t app) { return ((appFlag >> app) & 1) != 0; }

// Loads one application and tells how it went. A facade's own result is not
// enough: the notes and tasks facades report a load that read nothing as
// success, and an unknown version leaves no generation behind. What the
// loaders logged as critical meanwhile is the reason in words.
template <typename Info>
PmLoadResult LoadOne(int32_t app, Info* info, int32_t user, bool reset)
{
    PmLoadResult result;
    result.Tried = true;
    CxLogCapture capture;
    if (reset)
        info->Reset();
    bool loaded = info->LoadByUser(user);
    result.Failed = !loaded || !IsGeneration(info->LoadedGeneration());
    if (result.Failed) {
        result.Reason = capture.Messages().empty() ? std::string(kNoReason) : capture.Text();
        const int32_t gen = info->ChosenGeneration();
        // A 6.x database that was opened and refused says itself what is
        // wrong with it; for the other cases the file is looked at here.
        if (!info->LoadFailureWords().empty())
            result.Words = info->LoadFailureWords();
        else
            result.Words = IsGeneration(gen)
                               ? PmLoadFailureWords(PmAppDataFile(app, gen, uint32_t(user)), result.Reason)
                               : "the installed Palm Desktop version is not one this program can read, so nothing "
                                 "was read or changed.";
    } else
        result.Warnings = capture.Text();
    return result;
}

template <typename T>
void DropList(CxList<T>*& list)
{
    if (!list)
        return;
    list->Clear(false);  // the items belong to the managers
    delete list;
    list = nullptr;
}

template <typename T>
void DropFacade(T*& facade)
{
    delete facade;
    facade = nullptr;
}

}  // namespace

bool PmFacadeSet::Build(int32_t user, int32_t appFlag)
{
    Release();

    m_pAddr = new (std::nothrow) PmAddrInfo();
    m_pDate = new (std::nothrow) PmDateInfo();
    m_pTodo = new (std::nothrow) PmTodoInfo();
    m_pMemo = new (std::nothrow) PmMemoInfo();
    if (!m_pAddr || !m_pDate || !m_pTodo || !m_pMemo) {
        CXLOG(0, "Failed to create the Palm Desktop data objects.");
        Release();
        return false;
    }

    if (Chosen(appFlag, kPmAppAddr)) {
        TellProgress(kPmAppAddr);
        m_Load[kPmAppAddr] = LoadOne(kPmAppAddr, m_pAddr, user, false);
        Stamp(kPmAppAddr, m_pAddr, user);
    }
    if (Chosen(appFlag, kPmAppDate)) {
        TellProgress(kPmAppDate);
        m_Load[kPmAppDate] = LoadOne(kPmAppDate, m_pDate, user, false);
        Stamp(kPmAppDate, m_pDate, user);
    }
    if (Chosen(appFlag, kPmAppTodo)) {
        TellProgress(kPmAppTodo);
        m_Load[kPmAppTodo] = LoadOne(kPmAppTodo, m_pTodo, user, false);
        Stamp(kPmAppTodo, m_pTodo, user);
    }
    if (Chosen(appFlag, kPmAppMemo)) {
        TellProgress(kPmAppMemo);
        m_Load[kPmAppMemo] = LoadOne(kPmAppMemo, m_pMemo, user, false);
        Stamp(kPmAppMemo, m_pMemo, user);
    }

    m_pAddrDups = new (std::nothrow) CxList<CommAddr>();
    m_pDateDups = new (std::nothrow) CxList<CommDate>();
    m_pTodoDups = new (std::nothrow) CxList<CommTask>();
    m_pMemoDups = new (std::nothrow) CxList<CommNote>();
    if (!m_pAddrDups || !m_pDateDups || !m_pTodoDups || !m_pMemoDups) {
        CXLOG(0, "Failed to create the duplicate lists.");
        Release();
        return false;
    }
    return true;
}

void PmFacadeSet::Reload(int32_t user, int32_t appFlag)
{
    if (Chosen(appFlag, kPmAppAddr) && m_pAddr)
        ReloadOne(kPmAppAddr, m_pAddr, m_pAddrDups, user);
    if (Chosen(appFlag, kPmAppDate) && m_pDate)
        ReloadOne(kPmAppDate, m_pDate, m_pDateDups, user);
    if (Chosen(appFlag, kPmAppTodo) && m_pTodo)
        ReloadOne(kPmAppTodo, m_pTodo, m_pTodoDups, user);
    if (Chosen(appFlag, kPmAppMemo) && m_pMemo)
        ReloadOne(kPmAppMemo, m_pMemo, m_pMemoDups, user);
}

template <typename Info, typename Rec>
void PmFacadeSet::ReloadOne(int32_t app, Info* info, CxList<Rec>* dups, int32_t user)
{
    if (dups)
        dups->Clear(false);
    TellProgress(app);
    // What the last load read is kept when it is still what the file holds:
    // the same user, no deletion since, the file's size, modification time
    // and change counter as they were, and the file free to be opened as a
    // load would open it (one held by another program fails the load, so
    // that nothing is offered for deletion that could not be saved). The
    // records are then as a load would make them again, but for their
    // marks, which are cleared.
    const LoadStamp& was = m_Stamp[app];
    plat::FileStamp now;
    plat::ExclusiveFile probe;
    if (was.valid && was.user == user && !info->ChangedSinceLoad() && info->LoadedFile() == was.file &&
        plat::StampFile(was.file, &now) && now == was.stamp && probe.Open(was.file, plat::Access::Read, false)) {
        probe.Close();
        auto* mgr = info->GetCommMgr();
        for (uint32_t i = 0; i < mgr->Count(); ++i)
            mgr->RecordAt(i)->Trailer.MarkFlags = 0;
        CXLOG(2, "%s unchanged since it was loaded: %s", kAppNames[app], was.file.c_str());
        return;
    }
    m_Load[app] = LoadOne(app, info, user, true);
    Stamp(app, info, user);
}

template <typename Info>
void PmFacadeSet::Stamp(int32_t app, Info* info, int32_t user)
{
    LoadStamp& s = m_Stamp[app];
    s = LoadStamp();
    if (m_Load[app].Failed)
        return;
    s.file = info->LoadedFile();
    s.user = user;
    s.valid = !s.file.empty() && plat::StampFile(s.file, &s.stamp);
}

void PmFacadeSet::TellProgress(int32_t app)
{
    if (m_Progress)
        m_Progress(app);
}

void PmFacadeSet::Release()
{
    DropFacade(m_pAddr);
    DropFacade(m_pDate);
    DropFacade(m_pTodo);
    DropFacade(m_pMemo);
    DropList(m_pAddrDups);
    DropList(m_pDateDups);
    DropList(m_pTodoDups);
    DropList(m_pMemoDups);
    for (PmLoadResult& r : m_Load)
        r = PmLoadResult{};
    for (LoadStamp& s : m_Stamp)
        s = LoadStamp{};
}

std::string PmAppDataFile(int32_t app, int32_t gen, uint32_t user)
{
    static const char* const kDat[kPmAppCount] = {"address\\address.dat", "datebook\\datebook.dat", "todo\\todo.dat",
                                                  "memopad\\memopad.dat"};
    static const char* const kMdb[kPmAppCount] = {"address\\Address.mdb", "datebook\\DateBook.mdb",
                                                  "todo\\Todolist.mdb", "memopad\\MemoPad.mdb"};
    if (app < 0 || app >= kPmAppCount || !IsGeneration(gen))
        return std::string();
    char folder[1024] = {};
    if (!GetUserDataPath(user, folder))
        return std::string();
    return std::string(folder) + (gen == kPmGenEx2 ? kMdb[app] : kDat[app]);
}

std::string PmLoadFailureWords(const std::string& file, const std::string& reason)
{
    if (file.empty())
        return "the data folder of this Palm Desktop user could not be found, so nothing was read or changed.";
    const std::string host = plat::ToHostPath(file);
    std::string why = plat::WhyCannotOpen(file);
    if (why == "another program has it open")
        return host + " is open in another program (Palm Desktop or HotSync). Close it and run the wizard again; "
                      "nothing was read or changed.";
    if (!why.empty())
        return host + " could not be opened: " + why + ". Nothing was read or changed.";
    // The file opens but its content was refused: say how long it is and,
    // where the loader said so, where its reading stopped.
    std::string words = host + " is damaged or incomplete";
    int64_t size = plat::HostFileSize(file);
    std::string where;
    static const char* const kMarks[] = {"file position: ", "position: "};
    for (const char* mark : kMarks) {
        size_t at = reason.find(mark);
        if (at != std::string::npos) {
            size_t b = at + std::strlen(mark), e = b;
            while (e < reason.size() && reason[e] >= '0' && reason[e] <= '9')
                ++e;
            if (e > b)
                where = reason.substr(b, e - b);
            break;
        }
    }
    if (size >= 0) {
        words += " (it is " + std::to_string(size) + " bytes long";
        if (!where.empty())
            words += "; reading stopped at byte " + where;
        words += ")";
    }
    words += ": it does not hold what a Palm Desktop data file holds there. Nothing of it was read or changed. "
             "Restore a backup copy of it, or open it in Palm Desktop and let it repair the file.";
    return words;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Makes every missing level of a folder, from the root down. Levels that
// exist are passed by; the folder itself must end up a folder.
bool CreateLevels(const std::string& folder)
{
    for (size_t i = 1; i < folder.size(); ++i) {
        if (!IsSeparator(folder[i]) || IsSeparator(folder[i - 1]))
            continue;
        std::string level = folder.substr(0, i);
        if (level.size() == 2 && level[1] == ':')
            continue;  // a drive
        if (plat::HostExists(plat::ToHostPath(level)))
            continue;
        if (!plat::CreateFolder(level))
            return false;
    }
    return plat::CreateFolder(folder);
}

}  // namespace

bool PmFacadeSet::TextsUtf8(int32_t app) const
{
    int32_t gen = kPmGenNone;
    switch (app) {
    case kPmAppAddr: gen = m_pAddr ? m_pAddr->LoadedGeneration() : kPmGenNone; break;
    case kPmAppDate: gen = m_pDate ? m_pDate->LoadedGeneration() : kPmGenNone; break;
    case kPmAppTodo: gen = m_pTodo ? m_pTodo->LoadedGeneration() : kPmGenNone; break;
    case kPmAppMemo: gen = m_pMemo ? m_pMemo->LoadedGeneration() : kPmGenNone; break;
    default: break;
    }
    return gen == kPmGenEx2;
}

bool FindSettingsFolder(std::string* folder)
{
    if (!folder)
        return false;
    folder->clear();

    std::string base = plat::CommonAppDataFolder();
    if (base.empty())
        return false;
    while (!base.empty() && IsSeparator(base.back()))
        base.pop_back();

    // The settings file and the log are named inside this folder in texts of
    // 259 characters; a longer folder would cut their names and send them to
    // another file, so it is refused before anything is made.
    const std::string below = "\\brellon\\Tarnwick\\";
    const size_t longestName = sizeof("appdebug.log") - 1;
    if (base.size() + below.size() + longestName > 259)
        return false;

    if (!base.empty() && !CreateLevels(base))
        return false;
    std::string path = base + "\\brellon";
    if (!plat::CreateFolder(path))
        return false;
    path += "\\Tarnwick";
    if (!plat::CreateFolder(path))
        return false;
    *folder = path + "\\";
    return true;
}

bool HoldInstanceLock(const std::string& folder, plat::ExclusiveFile* lock)
{
    if (!lock)
        return false;
    return lock->Open(folder + "tarnwick.lock", plat::Access::ReadWrite, true);
}
