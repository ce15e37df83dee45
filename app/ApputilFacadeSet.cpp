#include "app/ApputilFacadeSet.h"

#include "misc/CxDebugUtil.h"
#include "platform/File.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <new>

namespace {

const char kNoReason[] = "No data of this application could be read for this user.";

bool IsGeneration(int32_t gen) { return gen == kPmGenClassic || gen == kPmGenEx || gen == kPmGenEx2; }

bool Chosen(int32_t appFlag, int32_t app) { return ((appFlag >> app) & 1) != 0; }

// Loads one application and tells how it went. A facade's own result is not
// enough: the notes and tasks facades report a load that read nothing as
// success, and an unknown version leaves no generation behind. What the
// loaders logged as critical meanwhile is the reason in words.
template <typename Info>
PmLoadResult LoadOne(Info* info, int32_t user, bool reset)
{
    PmLoadResult result;
    result.Tried = true;
    CxLogCapture capture;
    if (reset)
        info->Reset();
    bool loaded = info->LoadByUser(user);
    result.Failed = !loaded || !IsGeneration(info->LoadedGeneration());
    if (result.Failed)
        result.Reason = capture.Messages().empty() ? std::string(kNoReason) : capture.Text();
    else
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
        m_Load[kPmAppAddr] = LoadOne(m_pAddr, user, false);
    }
    if (Chosen(appFlag, kPmAppDate)) {
        TellProgress(kPmAppDate);
        m_Load[kPmAppDate] = LoadOne(m_pDate, user, false);
    }
    if (Chosen(appFlag, kPmAppTodo)) {
        TellProgress(kPmAppTodo);
        m_Load[kPmAppTodo] = LoadOne(m_pTodo, user, false);
    }
    if (Chosen(appFlag, kPmAppMemo)) {
        TellProgress(kPmAppMemo);
        m_Load[kPmAppMemo] = LoadOne(m_pMemo, user, false);
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
    if (Chosen(appFlag, kPmAppAddr) && m_pAddr) {
        if (m_pAddrDups)
            m_pAddrDups->Clear(false);
        TellProgress(kPmAppAddr);
        m_Load[kPmAppAddr] = LoadOne(m_pAddr, user, true);
    }
    if (Chosen(appFlag, kPmAppDate) && m_pDate) {
        if (m_pDateDups)
            m_pDateDups->Clear(false);
        TellProgress(kPmAppDate);
        m_Load[kPmAppDate] = LoadOne(m_pDate, user, true);
    }
    if (Chosen(appFlag, kPmAppTodo) && m_pTodo) {
        if (m_pTodoDups)
            m_pTodoDups->Clear(false);
        TellProgress(kPmAppTodo);
        m_Load[kPmAppTodo] = LoadOne(m_pTodo, user, true);
    }
    if (Chosen(appFlag, kPmAppMemo) && m_pMemo) {
        if (m_pMemoDups)
            m_pMemoDups->Clear(false);
        TellProgress(kPmAppMemo);
        m_Load[kPmAppMemo] = LoadOne(m_pMemo, user, true);
    }
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
