#include "palm/PalmAddrInfo.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"

#include <cstdio>
#include <cstring>

int32_t PmAddrInfo::s_ChosenGen = kPmGenNone;

PmAddrInfo::PmAddrInfo() { Init(GetPalmDesktopVersion()); }

PmAddrInfo::PmAddrInfo(uint32_t version) { Init(version); }

void PmAddrInfo::Init(uint32_t version)
{
    s_ChosenGen = PmChooseGeneration(version, true);
    CXLOG(2, "Palm Desktop Version: %d", int32_t(version));
    m_pUtil = new PmAddrUtil();
    m_pExUtil = new PmAddrExUtil();
    m_pEx2Util = new PmAddrEx2Util();
}

PmAddrInfo::~PmAddrInfo()
{
    delete m_pUtil;
    delete m_pExUtil;
    delete m_pEx2Util;
    m_Recs.Clear(FreeNative);
}

void PmAddrInfo::FreeNative(PmAddrSource* src)
{
    delete src->Classic;
    delete src->Ex;
    delete src->Ex2;
    src->Classic = nullptr;
    src->Ex = nullptr;
    src->Ex2 = nullptr;
}

void PmAddrInfo::Reset()
{
    m_LoadedGen = kPmGenNone;
    m_pUtil->GetDataMgr()->Clear();
    m_pExUtil->DataMgr()->Clear();
    m_pEx2Util->DataMgr()->Clear();
    m_Recs.Clear(FreeNative);
}

bool PmAddrInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Contacts by user: %d", user);
    bool loaded = false;
    switch (s_ChosenGen) {
    case kPmGenClassic:
        loaded = m_pUtil->LoadUserFile(user);
        break;
    case kPmGenEx2:
        loaded = m_pEx2Util->LoadByUser(uint32_t(user));
        break;
    case kPmGenEx:
        loaded = m_pExUtil->LoadUserFile(uint32_t(user));
        break;
    default:
        CXLOG(0, "Unknown Palm Desktop version");
        m_LoadedGen = kPmGenUnknown;
        return false;
    }
    if (!loaded) {
        CXLOG(0, "Could not open Palm Desktop Contacts database by User: %d", user);
        return false;
    }
    m_LoadedGen = s_ChosenGen;
    if (m_LoadedGen == kPmGenClassic)
        BuildFromClassic();
    else if (m_LoadedGen == kPmGenEx)
        BuildFromEx();
    else if (m_LoadedGen == kPmGenEx2)
        BuildFromEx2();
    return true;
}

void PmAddrInfo::PutPhone(CommAddr* addr, int32_t label, const char* text, size_t length)
{
    if (!text || length == 0 || text[0] == 0)
        return;
    switch (label) {
    case kLabelWork: addr->WorkPhone.Set(text, length); break;
    case kLabelHome: addr->HomePhone.Set(text, length); break;
    case kLabelFax: addr->WorkFax.Set(text, length); break;
    case kLabelOther: addr->PrimaryPhone.Set(text, length); break;
    case kLabelEmail: addr->Email.Set(text, length); break;
    case kLabelMain: addr->OtherPhone.Set(text, length); break;
    case kLabelMobile: addr->MobilePhone.Set(text, length); break;
    default: break;  // the pager and unknown labels have no field
    }
}

namespace {

void SetAddress(CommAddress* a, const PmExText& street, const PmExText& city, const PmExText& state,
                const PmExText& postal, const PmExText& country)
{
    a->Street.Set(street.c_str(), street.size());
    a->City.Set(city.c_str(), city.size());
    a->State.Set(state.c_str(), state.size());
    a->Postal.Set(postal.c_str(), postal.size());
    a->Country.Set(country.c_str(), country.size());
}

void SetText(FixedText<32>& f, const PmExText& t) { f.Set(t.c_str(), t.size()); }
void SetText(FixedText<64>& f, const PmExText& t) { f.Set(t.c_str(), t.size()); }
void SetText(FixedText<8192>& f, const PmExText& t) { f.Set(t.c_str(), t.size()); }

void SetAddress(CommAddress* a, const std::string& street, const std::string& city, const std::string& state,
                const std::string& postal, const std::string& country)
{
    a->Street.Set(street);
    a->City.Set(city);
    a->State.Set(state);
    a->Postal.Set(postal);
    a->Country.Set(country);
}

template <size_t A, size_t B, size_t C, size_t D, size_t E>
void SetAddress(CommAddress* a, const char (&street)[A], const char (&city)[B], const char (&state)[C],
                const char (&postal)[D], const char (&country)[E])
{
    PmSetField(a->Street, street);
    PmSetField(a->City, city);
    PmSetField(a->State, state);
    PmSetField(a->Postal, postal);
    PmSetField(a->Country, country);
}

}  // namespace

void PmAddrInfo::BuildFromClassic()
{
    PmAddrDataMgr* mgr = m_pUtil->GetDataMgr();
    for (PmAddrRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmAddrSource* src = new (std::nothrow) PmAddrSource{};
        if (!src)
            continue;
        src->Generation = kPmGenClassic;
        src->Status = uint32_t(rec->Status);
        src->Classic = new (std::nothrow) PmAddrRecord(*rec);
        src->LoaderRecord = rec;

        CommAddr addr{};
        addr.FirstName.Set(rec->FirstName);
        addr.LastName.Set(rec->LastName);
        // The classic file has a single address: it is the work address.
        SetAddress(&addr.WorkAddr, rec->Street, rec->City, rec->State, rec->ZipCode, rec->Country);
        for (int i = 0; i < 5; ++i)
            PutPhone(&addr, rec->PhoneLabel[i], rec->Phone[i].data(), rec->Phone[i].size());
        addr.Note.Set(rec->Note);
        for (int i = 0; i < 4; ++i)
            addr.Custom[i].Set(rec->Custom[i]);
        addr.Company.Set(rec->Company);
        addr.Title.Set(rec->JobTitle);
        PmSetField(addr.Category, rec->szCategory);
        addr.Trailer.SourceType = 1;
        addr.Trailer.Status = src->Status;
        if (!src->Classic || !m_Recs.Append(src, &addr)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmAddrInfo::BuildFromEx()
{
    PmAddrExDataMgr* mgr = m_pExUtil->DataMgr();
    for (PmAddrExRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(rec->Status))
            continue;
        PmAddrSource* src = new (std::nothrow) PmAddrSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx;
        src->Status = rec->Status;
        src->Ex = new (std::nothrow) PmAddrExRecord(*rec);
        src->LoaderRecord = rec;

        CommAddr addr{};
        SetText(addr.FirstName, rec->FirstName);
        SetText(addr.LastName, rec->LastName);
        SetAddress(&addr.WorkAddr, rec->WorkStreet, rec->WorkCity, rec->WorkState, rec->WorkZip, rec->WorkCountry);
        SetAddress(&addr.HomeAddr, rec->HomeStreet, rec->HomeCity, rec->HomeState, rec->HomeZip, rec->HomeCountry);
        SetAddress(&addr.OtherAddr, rec->OtherStreet, rec->OtherCity, rec->OtherState, rec->OtherZip,
                   rec->OtherCountry);
        for (int i = 0; i < 7; ++i)
            PutPhone(&addr, int32_t(rec->PhoneLabel[i]), rec->Phone[i].c_str(), rec->Phone[i].size());
        SetText(addr.Note, rec->Note);
        for (int i = 0; i < 9; ++i)
            SetText(addr.Custom[i], rec->Custom[i]);
        SetText(addr.Company, rec->Company);
        SetText(addr.Title, rec->JobTitle);
        PmSetField(addr.Category, rec->CategoryName);
        addr.Trailer.SourceType = 1;
        addr.Trailer.Status = src->Status;
        if (!src->Ex || !m_Recs.Append(src, &addr)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmAddrInfo::BuildFromEx2()
{
    PmAddrEx2DataMgr* mgr = m_pEx2Util->DataMgr();
    for (PmAddrEx2Record* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmAddrSource* src = new (std::nothrow) PmAddrSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx2;
        src->Status = uint32_t(rec->Status);
        src->Ex2 = new (std::nothrow) PmAddrEx2Record(*rec);
        src->LoaderRecord = rec;

        CommAddr addr{};
        PmSetField(addr.FirstName, rec->FirstName);
        PmSetField(addr.LastName, rec->LastName);
        PmSetField(addr.MiddleName, rec->MiddleName);
        PmSetField(addr.Prefix, rec->Prefix);
        PmSetField(addr.Suffix, rec->Suffix);
        PmSetField(addr.NickName, rec->NickName);
        PmSetField(addr.DisplayName, rec->EnglishName);
        SetAddress(&addr.WorkAddr, rec->WorkStreet, rec->WorkCity, rec->WorkState, rec->WorkZip, rec->WorkCountry);
        SetAddress(&addr.HomeAddr, rec->HomeStreet, rec->HomeCity, rec->HomeState, rec->HomeZip, rec->HomeCountry);
        SetAddress(&addr.OtherAddr, rec->OtherStreet, rec->OtherCity, rec->OtherState, rec->OtherZip,
                   rec->OtherCountry);
        // The seven phone slots of a row, each with the label of its position.
        const char* slots[7] = {rec->WorkPhone, rec->WorkFax,    rec->WorkMobile, rec->HomePhone,
                                rec->HomeFax,   rec->HomeMobile, rec->OtherPhone};
        const int32_t labels[7] = {rec->PhoneLabel1, rec->PhoneLabel2, rec->PhoneLabel3, rec->PhoneLabel4,
                                   rec->PhoneLabel5, rec->PhoneLabel6, rec->PhoneLabel7};
        static_assert(sizeof(rec->WorkPhone) == sizeof(rec->OtherPhone));
        for (int i = 0; i < 7; ++i)
            PutPhone(&addr, labels[i], slots[i], strnlen(slots[i], sizeof(rec->WorkPhone)));
        PmSetField(addr.Note, rec->Note);
        const char* customs[10] = {rec->Custom1, rec->Custom2, rec->Custom3, rec->Custom4, rec->Custom5,
                                   rec->Custom6, rec->Custom7, rec->Custom8, rec->Custom9, rec->Custom10};
        for (int i = 0; i < 10; ++i)
            addr.Custom[i].Set(customs[i], strnlen(customs[i], sizeof(rec->Custom1)));
        PmSetField(addr.Company, rec->Company);
        PmSetField(addr.Title, rec->JobTitle);
        PmSetField(addr.IM1, rec->Chat1);
        PmSetField(addr.IM2, rec->Chat2);
        PmSetField(addr.AssistantName, rec->AssistantName);
        PmSetField(addr.AssistantPhone, rec->AssistantPhone);
        PmSetField(addr.Category, rec->CategoryName);
        addr.Trailer.SourceType = 1;
        addr.Trailer.Status = src->Status;
        if (!src->Ex2 || !m_Recs.Append(src, &addr)) {
            FreeNative(src);
            delete src;
        }
    }
}

bool PmAddrInfo::DeleteRecord(CommAddr* pRec)
{
    CX_ASSERT(pRec != nullptr);
    if (!pRec)
        return false;
    PmAddrSource* src = m_Recs.SourceOf(pRec);
    if (!src)
        return false;
    auto* copy = static_cast<PmAddrSource*>(pRec->Trailer.NativeCopy);
    switch (m_LoadedGen) {
    case kPmGenClassic:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmAddrRecord*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Classic->Status = int32_t(kPmStatusDeleted);
        return true;
    case kPmGenEx:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmAddrExRecord*>(src->LoaderRecord)->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        src->Ex->Status = kPmStatusDeleted;
        return true;
    case kPmGenEx2:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmAddrEx2Record*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Ex2->Status = int32_t(kPmStatusDeleted);
        return m_pEx2Util->WriteBackRecord(src->Ex2);
    default:
        return false;
    }
}

bool PmAddrInfo::Save()
{
    switch (s_ChosenGen) {
    case kPmGenClassic:
        // Only a file that this facade read whole is written back.
        if (m_LoadedGen != kPmGenClassic)
            return false;
        return m_pUtil->Save(m_pUtil->LoadedPath().c_str());
    case kPmGenEx:
        if (m_LoadedGen != kPmGenEx)
            return false;
        return m_pExUtil->Save();
    case kPmGenEx2:
        return true;
    default:
        return false;
    }
}

const char* PmAddrInfo::PhoneLabelText(int32_t label)
{
    static char text[32];
    const char* name = "Work Phone";
    switch (label) {
    case kLabelHome: name = "Home Phone"; break;
    case kLabelFax: name = "Fax"; break;
    case kLabelOther: name = "Other Phone"; break;
    case kLabelEmail: name = "E-mail"; break;
    case kLabelMain: name = "Main Phone"; break;
    case kLabelPager: name = "Pager"; break;
    case kLabelMobile: name = "Mobile Phone"; break;
    default: break;
    }
    std::snprintf(text, sizeof(text), "%s", name);
    return text;
}

const char* PmAddrInfo::FieldText(const PmAddrSource* source, int32_t key)
{
    // The viewer asks only for the date fields (4.1.x key 34, 6.x keys 42 and
    // 43), whose stored values are not shown as dates.
    static char text[64];
    (void)source;
    (void)key;
    std::snprintf(text, sizeof(text), "%s", "N/A");
    return text;
}
