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
    m_Core.CreateUtilities();
}

PmAddrInfo::~PmAddrInfo() = default;

void PmAddrInfo::Reset() { m_Core.Reset(); }

bool PmAddrInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Contacts by user: %d", user);
    bool known = false;
    bool loaded = m_Core.LoadFile(s_ChosenGen, user, &known);
    if (!known) {
        CXLOG(0, "Unknown Palm Desktop version");
        m_Core.SetLoadedGeneration(kPmGenUnknown);
        return false;
    }
    if (!loaded) {
        CXLOG(0, "Could not open Palm Desktop Contacts database by User: %u", uint32_t(user));
        return false;
    }
    m_Core.Build(s_ChosenGen, FromClassic, FromEx, FromEx2);
    return true;
}

void PmAddrInfo::PutPhone(CommAddr* addr, int32_t label, const char* text, size_t length, bool stored)
{
    if (!text || length == 0 || text[0] == 0)
        return;
    auto put = [&](auto& field) {
        if (!stored) {
            field.Set(text, length);
            return;
        }
        std::string_view view(text, strnlen(text, length));
        field.SetStored(PmStoredCutUtf8(view, std::remove_reference_t<decltype(field)>::kCapacity));
    };
    switch (label) {
    case kLabelWork: put(addr->WorkPhone); break;
    case kLabelHome: put(addr->HomePhone); break;
    case kLabelFax: put(addr->WorkFax); break;
    case kLabelOther: put(addr->PrimaryPhone); break;
    case kLabelEmail: put(addr->Email); break;
    case kLabelMain: put(addr->OtherPhone); break;
    case kLabelMobile: put(addr->MobilePhone); break;
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
void SetAddress(CommAddress* a, const PmEx2Text<A>& street, const PmEx2Text<B>& city, const PmEx2Text<C>& state,
                const PmEx2Text<D>& postal, const PmEx2Text<E>& country)
{
    PmSetField(a->Street, street);
    PmSetField(a->City, city);
    PmSetField(a->State, state);
    PmSetField(a->Postal, postal);
    PmSetField(a->Country, country);
}

}  // namespace

CommAddr PmAddrInfo::FromClassic(const PmAddrRecord& rec, const PmAddrSource& src)
{
    CommAddr addr{};
    addr.FirstName.Set(rec.FirstName);
    addr.LastName.Set(rec.LastName);
    // The classic file has a single address: it is the work address.
    SetAddress(&addr.WorkAddr, rec.Street, rec.City, rec.State, rec.ZipCode, rec.Country);
    for (int i = 0; i < 5; ++i)
        PutPhone(&addr, rec.PhoneLabel[i], rec.Phone[i].data(), rec.Phone[i].size());
    addr.Note.Set(rec.Note);
    for (int i = 0; i < 4; ++i)
        addr.Custom[i].Set(rec.Custom[i]);
    addr.Company.Set(rec.Company);
    addr.Title.Set(rec.JobTitle);
    PmSetField(addr.Category, rec.szCategory);
    addr.Trailer.SourceType = 1;
    addr.Trailer.Status = src.Status;
    return addr;
}

CommAddr PmAddrInfo::FromEx(const PmAddrExRecord& rec, const PmAddrSource& src)
{
    CommAddr addr{};
    SetText(addr.FirstName, rec.FirstName);
    SetText(addr.LastName, rec.LastName);
    SetAddress(&addr.WorkAddr, rec.WorkStreet, rec.WorkCity, rec.WorkState, rec.WorkZip, rec.WorkCountry);
    SetAddress(&addr.HomeAddr, rec.HomeStreet, rec.HomeCity, rec.HomeState, rec.HomeZip, rec.HomeCountry);
    SetAddress(&addr.OtherAddr, rec.OtherStreet, rec.OtherCity, rec.OtherState, rec.OtherZip,
               rec.OtherCountry);
    for (int i = 0; i < 7; ++i)
        PutPhone(&addr, int32_t(rec.PhoneLabel[i]), rec.Phone[i].c_str(), rec.Phone[i].size());
    SetText(addr.Note, rec.Note);
    for (int i = 0; i < 9; ++i)
        SetText(addr.Custom[i], rec.Custom[i]);
    SetText(addr.Company, rec.Company);
    SetText(addr.Title, rec.JobTitle);
    PmSetField(addr.Category, rec.CategoryName);
    addr.Trailer.SourceType = 1;
    addr.Trailer.Status = src.Status;
    return addr;
}

CommAddr PmAddrInfo::FromEx2(const PmAddrEx2Record& rec, const PmAddrSource& src)
{
    CommAddr addr{};
    PmSetField(addr.FirstName, rec.FirstName);
    PmSetField(addr.LastName, rec.LastName);
    PmSetField(addr.MiddleName, rec.MiddleName);
    PmSetField(addr.Prefix, rec.Prefix);
    PmSetField(addr.Suffix, rec.Suffix);
    PmSetField(addr.NickName, rec.NickName);
    PmSetField(addr.DisplayName, rec.EnglishName);
    SetAddress(&addr.WorkAddr, rec.WorkStreet, rec.WorkCity, rec.WorkState, rec.WorkZip, rec.WorkCountry);
    SetAddress(&addr.HomeAddr, rec.HomeStreet, rec.HomeCity, rec.HomeState, rec.HomeZip, rec.HomeCountry);
    SetAddress(&addr.OtherAddr, rec.OtherStreet, rec.OtherCity, rec.OtherState, rec.OtherZip,
               rec.OtherCountry);
    // The seven phone slots of a row, each with the label of its position.
    const PmEx2Text<128>* slots[7] = {&rec.WorkPhone, &rec.WorkFax,    &rec.WorkMobile, &rec.HomePhone,
                                      &rec.HomeFax,   &rec.HomeMobile, &rec.OtherPhone};
    const int32_t labels[7] = {rec.PhoneLabel1, rec.PhoneLabel2, rec.PhoneLabel3, rec.PhoneLabel4,
                               rec.PhoneLabel5, rec.PhoneLabel6, rec.PhoneLabel7};
    for (int i = 0; i < 7; ++i)
        PutPhone(&addr, labels[i], slots[i]->c_str(), slots[i]->Length(), true);
    // A 6.x contact keeps its addresses in four columns of their own and
    // rarely has a phone slot labelled E-mail; such a slot, when filled,
    // still comes first.
    if (addr.Email.Empty())
        if (const PmEx2Text<128>* mail = PmAddrEx2Util::FirstEmail(rec))
            PmSetField(addr.Email, *mail);
    PmSetField(addr.Note, rec.Note);
    const PmEx2Text<256>* customs[10] = {&rec.Custom1, &rec.Custom2, &rec.Custom3, &rec.Custom4, &rec.Custom5,
                                         &rec.Custom6, &rec.Custom7, &rec.Custom8, &rec.Custom9, &rec.Custom10};
    for (int i = 0; i < 10; ++i)
        PmSetField(addr.Custom[i], *customs[i]);
    PmSetField(addr.Company, rec.Company);
    PmSetField(addr.Title, rec.JobTitle);
    PmSetField(addr.IM1, rec.Chat1);
    PmSetField(addr.IM2, rec.Chat2);
    PmSetField(addr.AssistantName, rec.AssistantName);
    PmSetField(addr.AssistantPhone, rec.AssistantPhone);
    PmSetField(addr.Category, rec.CategoryName);
    addr.Trailer.SourceType = 1;
    addr.Trailer.Status = src.Status;
    return addr;
}

bool PmAddrInfo::DeleteRecord(CommAddr* pRec)
{
    CX_ASSERT(pRec != nullptr);
    return m_Core.DeleteRecord(pRec, false);
}

bool PmAddrInfo::Save()
{
    // Only a file that this facade read whole is written back.
    return m_Core.SaveChosen(s_ChosenGen);
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

std::string PmAddrInfo::CategoryName(const CommAddr* rec) { return m_Core.CategoryName(rec); }
