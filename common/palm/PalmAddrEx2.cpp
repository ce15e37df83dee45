#include "palm/PalmAddrEx2.h"

#include "misc/CxDebugUtil.h"

#include <cstddef>
#include <initializer_list>
#include <memory>

namespace {

#define ADDR_COL(name, kind, field) PM_EX2_COL(PmAddrEx2Record, name, kind, field)

constexpr PmColumnDef kColumns[] = {
    ADDR_COL("Record ID", Int, RecordID),
    ADDR_COL("Status", Int, Status),
    ADDR_COL("Placement", Int, Placement),
    ADDR_COL("Private", Bool, Private),
    ADDR_COL("Category", IntText, Category),
    ADDR_COL("Note", Text, Note),
    ADDR_COL("Prefix", Text, Prefix),
    ADDR_COL("First Name", Text, FirstName),
    ADDR_COL("Middle Name", Text, MiddleName),
    ADDR_COL("Last Name", Text, LastName),
    ADDR_COL("Suffix", Text, Suffix),
    ADDR_COL("NickName", Text, NickName),
    ADDR_COL("Anniversary", Int, Anniversary),
    ADDR_COL("Birthday", Int, Birthday),
    ADDR_COL("Profession", Text, Profession),
    ADDR_COL("Company", Text, Company),
    ADDR_COL("Job Title", Text, JobTitle),
    ADDR_COL("Assistant Name", Text, AssistantName),
    ADDR_COL("Assistant Phone", Text, AssistantPhone),
    ADDR_COL("Work Street", Text, WorkStreet),
    ADDR_COL("Work City", Text, WorkCity),
    ADDR_COL("Work State", Text, WorkState),
    ADDR_COL("Work Zip", Text, WorkZip),
    ADDR_COL("Work Country", Text, WorkCountry),
    ADDR_COL("Home Street", Text, HomeStreet),
    ADDR_COL("Home City", Text, HomeCity),
    ADDR_COL("Home State", Text, HomeState),
    ADDR_COL("Home Zip", Text, HomeZip),
    ADDR_COL("Home Country", Text, HomeCountry),
    ADDR_COL("Other Street", Text, OtherStreet),
    ADDR_COL("Other City", Text, OtherCity),
    ADDR_COL("Other State", Text, OtherState),
    ADDR_COL("Other Zip", Text, OtherZip),
    ADDR_COL("Other Country", Text, OtherCountry),
    ADDR_COL("Work Phone", Text, WorkPhone),
    ADDR_COL("Work Fax", Text, WorkFax),
    ADDR_COL("Work Mobile", Text, WorkMobile),
    ADDR_COL("Home Phone", Text, HomePhone),
    ADDR_COL("Home Fax", Text, HomeFax),
    ADDR_COL("Home Mobile", Text, HomeMobile),
    ADDR_COL("Other Phone", Text, OtherPhone),
    ADDR_COL("Other Fax", Text, OtherFax),
    ADDR_COL("Other Mobile", Text, OtherMobile),
    ADDR_COL("Work E-mail", Text, WorkEmail),
    ADDR_COL("E-mail 1", Text, Email1),
    ADDR_COL("E-mail 2", Text, Email2),
    ADDR_COL("E-mail 3", Text, Email3),
    ADDR_COL("Pager", Text, Pager),
    ADDR_COL("Custom 1", Text, Custom1),
    ADDR_COL("Custom 2", Text, Custom2),
    ADDR_COL("Custom 3", Text, Custom3),
    ADDR_COL("Custom 4", Text, Custom4),
    ADDR_COL("Primary Contact", Int, PrimaryContact),
    ADDR_COL("Phone Label1", Int, PhoneLabel1),
    ADDR_COL("Phone Label2", Int, PhoneLabel2),
    ADDR_COL("Phone Label3", Int, PhoneLabel3),
    ADDR_COL("Phone Label4", Int, PhoneLabel4),
    ADDR_COL("Phone Label5", Int, PhoneLabel5),
    ADDR_COL("Phone Label6", Int, PhoneLabel6),
    ADDR_COL("Phone Label7", Int, PhoneLabel7),
    ADDR_COL("First Yomi", Text, FirstYomi),
    ADDR_COL("Last Yomi", Text, LastYomi),
    ADDR_COL("Company Yomi", Text, CompanyYomi),
    ADDR_COL("Chat1", Text, Chat1),
    ADDR_COL("Chat2", Text, Chat2),
    ADDR_COL("Chat1 LabelID", Int, Chat1LabelID),
    ADDR_COL("Chat2 LabelID", Int, Chat2LabelID),
    ADDR_COL("Website", Text, Website),
    ADDR_COL("Custom 5", Text, Custom5),
    ADDR_COL("Custom 6", Text, Custom6),
    ADDR_COL("Custom 7", Text, Custom7),
    ADDR_COL("Custom 8", Text, Custom8),
    ADDR_COL("Custom 9", Text, Custom9),
    ADDR_COL("Custom 10", Text, Custom10),
    ADDR_COL("Custom 11", Text, Custom11),
    ADDR_COL("Custom 12", Text, Custom12),
    ADDR_COL("Custom 13", Text, Custom13),
    ADDR_COL("Custom 14", Text, Custom14),
    ADDR_COL("Birthday AlarmSet", Bool, BirthdayAlarmSet),
    ADDR_COL("Birthday AlarmAdv", Int, BirthdayAlarmAdv),
    ADDR_COL("Avatar", Int, Avatar),
    ADDR_COL("Addr Label1", Int, AddrLabel1),
    ADDR_COL("Addr Label2", Int, AddrLabel2),
    ADDR_COL("Addr Label3", Int, AddrLabel3),
    ADDR_COL("Anniversary AlarmSet", Bool, AnniversaryAlarmSet),
    ADDR_COL("Anniversary AlarmAdv", Int, AnniversaryAlarmAdv),
    ADDR_COL("English Name", Text, EnglishName),
    ADDR_COL("Picture URL", Text, PictureURL),
    ADDR_COL("Picture Filename", Text, PictureFilename),
    ADDR_COL("Picture MIME type", Text, PictureMIMEType),
    ADDR_COL("Picture Sync counter", Text, PictureSyncCounter),
    ADDR_COL("Ringtone URL", Text, RingtoneURL),
    ADDR_COL("Ringtone Filename", Text, RingtoneFilename),
    ADDR_COL("Ringtone MIME type", Text, RingtoneMIMEType),
    ADDR_COL("Ringtone Sync counter", Text, RingtoneSyncCounter),};
static_assert(PmColumnsReachTheirTexts(kColumns), "every text column names a text field");
static_assert(sizeof kColumns / sizeof kColumns[0] == 95, "Main of Address.mdb has 95 columns");

const int32_t kKeys[] = {0, 7, 9};
const int32_t kEquality[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 48, 49, 50, 51, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 52, 67, 78, 79, 80, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94};

const PmTableDef kTable = {kColumns, 95, kKeys, 3, kEquality, int32_t(sizeof kEquality / sizeof kEquality[0]),
                           kChange, int32_t(sizeof kChange / sizeof kChange[0]), 4096,
                           offsetof(PmAddrEx2Record, Category), PmTextAccessOf<&PmAddrEx2Record::CategoryName>(),
                           offsetof(PmAddrEx2Record, RowKey)};

const PmEx2Messages kMessages = {
    CxModuleName(__FILE__),
    "Start loading Palm Desktop Contacts by user ID: %d",
    nullptr,
    "Loading Palm Desktop Contacts:%s",
    "Open Palm Desktop Contacts database failed: %s",
    "Start loading Palm Desktop Contacts main records.",
    "Query first record in the Contacts database table successfully.",
    "Failed to query the first record of the Contacts main table. Check if there is any records in the database "
    "table.",
    "Failed to query the next record of the Contacts main table. Check if it is the end of the table.",
    "Loading Palm Desktop Contacts main records completed successfully.",
};

}  // namespace

PmAddrEx2Util::PmAddrEx2Util() : PmEx2AppUtil(kPmDbAddr, kTable, kMessages) {}

const PmTableDef& PmAddrEx2Util::Table()
{
    return kTable;
}

void PmAddrEx2Util::SortPhonesByLabel(PmAddrEx2Record* r)
{
    const PmEx2Text<128>* slots[7] = {&r->WorkPhone, &r->WorkFax,    &r->WorkMobile, &r->HomePhone,
                                      &r->HomeFax,   &r->HomeMobile, &r->OtherPhone};
    const int32_t labels[7] = {r->PhoneLabel1, r->PhoneLabel2, r->PhoneLabel3, r->PhoneLabel4,
                               r->PhoneLabel5, r->PhoneLabel6, r->PhoneLabel7};
    for (int slot = 0; slot < 7; ++slot) {
        // Each label phone cuts the text to its own capacity.
        const std::string_view text = slots[slot]->View();
        switch (labels[slot]) {
        case 0: r->Phone0.Set(text); break;
        case 1: r->Phone1.Set(text); break;
        case 2: r->Phone2.Set(text); break;
        case 3: r->Phone3.Set(text); break;
        case 4: r->Phone4.Set(text); break;
        case 5: r->Phone5.Set(text); break;
        case 6: r->Phone6.Set(text); break;
        case 7: r->Phone7.Set(text); break;
        default: break;
        }
    }
}

const PmEx2Text<128>* PmAddrEx2Util::FirstEmail(const PmAddrEx2Record& r)
{
    for (const PmEx2Text<128>* mail : {&r.WorkEmail, &r.Email1, &r.Email2, &r.Email3})
        if (!mail->Empty())
            return mail;
    return nullptr;
}

bool PmAddrEx2Util::WriteBackRecord(PmAddrEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    return WriteBack(record, false);
}
