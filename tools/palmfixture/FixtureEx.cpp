#include "palmfixture/FixtureEx.h"

#include "palmfixture/PalmFixture.h"
#include "platform/WinPath.h"

#include <algorithm>

namespace palmfix {

std::string ExFilePath(const std::string& userFolder, int32_t kind)
{
    switch (kind) {
    case 1: return userFolder + "address\\address.dat";
    case 2: return userFolder + "datebook\\datebook.dat";
    case 3: return userFolder + "todo\\todo.dat";
    case 4: return userFolder + "memopad\\memopad.dat";
    default: return std::string();
    }
}

namespace {

template <class Util, class Rec>
bool WriteDat(const std::string& winPath, const std::vector<ExCategory>& categories,
              const std::vector<const Rec*>& records, std::string* error, bool reversed)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    std::string host = plat::ToHostPath(winPath);
    size_t slash = host.find_last_of('/');
    if (slash != std::string::npos && !MakeDirs(host.substr(0, slash))) {
        *error = "cannot make the folder of " + host;
        return false;
    }
    Util util;
    PmCategoryMgr* mgr = util.EnsureCategoryMgr();
    for (const ExCategory& c : categories) {
        PmCategory category(-1, c.id, c.name.c_str());
        if (!mgr->Add(&category)) {
            *error = "category refused: " + c.name;
            return false;
        }
        mgr->SetNextId(std::max(mgr->NextId(), c.id + 1));
    }
    mgr->SetModified(false);
    DressLikePalmDesktop(util, mgr, winPath, reversed);
    for (const Rec* r : records) {
        if (!util.DataMgr()->Add(r)) {
            *error = "record refused";
            return false;
        }
    }
    bool existed = plat::HostExists(host);
    if (!util.SaveNew(winPath.c_str())) {
        *error = "cannot write " + winPath + " (see the log)";
        return false;
    }
    DropBackupsOfNewFile(winPath, existed);
    return true;
}

}  // namespace

bool WriteAddressDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                     const std::vector<const PmAddrExRecord*>& records, std::string* error)
{
    return WriteDat<PmAddrExUtil>(winPath, categories, records, error, false);
}

bool WriteDateBookDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                      const std::vector<const PmDateExRecord*>& records, std::string* error)
{
    return WriteDat<PmDateExUtil>(winPath, categories, records, error, true);
}

bool WriteToDoDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                  const std::vector<const PmTodoExRecord*>& records, std::string* error)
{
    return WriteDat<PmTodoExUtil>(winPath, categories, records, error, false);
}

bool WriteMemoPadDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                     const std::vector<const PmMemoExRecord*>& records, std::string* error)
{
    return WriteDat<PmMemoExUtil>(winPath, categories, records, error, true);
}

}  // namespace palmfix
