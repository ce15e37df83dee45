#include "palm/PalmAddrEx2.h"

#include "misc/CxDebugUtil.h"

#include <cstddef>
#include <memory>

namespace {

#define ADDR_COL(name, kind, field, width) {name, PmColKind::kind, offsetof(PmAddrEx2Record, field), width, 0}

const PmColumnDef kColumns[] = {
    ADDR_COL("Record ID", Int, RecordID, 0),
    ADDR_COL("Status", Int, Status, 0),
    ADDR_COL("Placement", Int, Placement, 0),
    ADDR_COL("Private", Bool, Private, 0),
    ADDR_COL("Category", IntText, Category, 0),
    ADDR_COL("Note", Text, Note, 2048),
    ADDR_COL("Prefix", Text, Prefix, 32),
    ADDR_COL("First Name", Text, FirstName, 64),
    ADDR_COL("Middle Name", Text, MiddleName, 64),
    ADDR_COL("Last Name", Text, LastName, 64),
    ADDR_COL("Suffix", Text, Suffix, 32),
    ADDR_COL("NickName", Text, NickName, 64),
    ADDR_COL("Anniversary", Int, Anniversary, 0),
    ADDR_COL("Birthday", Int, Birthday, 0),
    ADDR_COL("Profession", Text, Profession, 128),
    ADDR_COL("Company", Text, Company, 128),
    ADDR_COL("Job Title", Text, JobTitle, 128),
    ADDR_COL("Assistant Name", Text, AssistantName, 64),
    ADDR_COL("Assistant Phone", Text, AssistantPhone, 64),
    ADDR_COL("Work Street", Text, WorkStreet, 256),
    ADDR_COL("Work City", Text, WorkCity, 32),
    ADDR_COL("Work State", Text, WorkState, 32),
    ADDR_COL("Work Zip", Text, WorkZip, 32),
    ADDR_COL("Work Country", Text, WorkCountry, 32),
    ADDR_COL("Home Street", Text, HomeStreet, 256),
    ADDR_COL("Home City", Text, HomeCity, 32),
    ADDR_COL("Home State", Text, HomeState, 32),
    ADDR_COL("Home Zip", Text, HomeZip, 32),
    ADDR_COL("Home Country", Text, HomeCountry, 32),
    ADDR_COL("Other Street", Text, OtherStreet, 256),
    ADDR_COL("Other City", Text, OtherCity, 32),
    ADDR_COL("Other State", Text, OtherState, 32),
    ADDR_COL("Other Zip", Text, OtherZip, 32),
    ADDR_COL("Other Country", Text, OtherCountry, 32),
    ADDR_COL("Work Phone", Text, WorkPhone, 128),
    ADDR_COL("Work Fax", Text, WorkFax, 128),
    ADDR_COL("Work Mobile", Text, WorkMobile, 128),
    ADDR_COL("Home Phone", Text, HomePhone, 128),
    ADDR_COL("Home Fax", Text, HomeFax, 128),
    ADDR_COL("Home Mobile", Text, HomeMobile, 128),
    ADDR_COL("Other Phone", Text, OtherPhone, 128),
    ADDR_COL("Other Fax", Text, OtherFax, 128),
    ADDR_COL("Other Mobile", Text, OtherMobile, 128),
    ADDR_COL("Work E-mail", Text, WorkEmail, 128),
    ADDR_COL("E-mail 1", Text, Email1, 128),
    ADDR_COL("E-mail 2", Text, Email2, 128),
    ADDR_COL("E-mail 3", Text, Email3, 128),
    ADDR_COL("Pager", Text, Pager, 128),
    ADDR_COL("Custom 1", Text, Custom1, 256),
    ADDR_COL("Custom 2", Text, Custom2, 256),
    ADDR_COL("Custom 3", Text, Custom3, 256),
    ADDR_COL("Custom 4", Text, Custom4, 256),
    ADDR_COL("Primary Contact", Int, PrimaryContact, 0),
    ADDR_COL("Phone Label1", Int, PhoneLabel1, 0),
    ADDR_COL("Phone Label2", Int, PhoneLabel2, 0),
    ADDR_COL("Phone Label3", Int, PhoneLabel3, 0),
    ADDR_COL("Phone Label4", Int, PhoneLabel4, 0),
    ADDR_COL("Phone Label5", Int, PhoneLabel5, 0),
    ADDR_COL("Phone Label6", Int, PhoneLabel6, 0),
    ADDR_COL("Phone Label7", Int, PhoneLabel7, 0),
    ADDR_COL("First Yomi", Text, FirstYomi, 64),
    ADDR_COL("Last Yomi", Text, LastYomi, 64),
    ADDR_COL("Company Yomi", Text, CompanyYomi, 64),
    ADDR_COL("Chat1", Text, Chat1, 128),
    ADDR_COL("Chat2", Text, Chat2, 128),
    ADDR_COL("Chat1 LabelID", Int, Chat1LabelID, 0),
    ADDR_COL("Chat2 LabelID", Int, Chat2LabelID, 0),
    ADDR_COL("Website", Text, Website, 256),
    ADDR_COL("Custom 5", Text, Custom5, 256),
    ADDR_COL("Custom 6", Text, Custom6, 256),
    ADDR_COL("Custom 7", Text, Custom7, 256),
    ADDR_COL("Custom 8", Text, Custom8, 256),
    ADDR_COL("Custom 9", Text, Custom9, 256),
    ADDR_COL("Custom 10", Text, Custom10, 256),
    ADDR_COL("Custom 11", Text, Custom11, 256),
    ADDR_COL("Custom 12", Text, Custom12, 256),
    ADDR_COL("Custom 13", Text, Custom13, 256),
    ADDR_COL("Custom 14", Text, Custom14, 256),
    ADDR_COL("Birthday AlarmSet", Bool, BirthdayAlarmSet, 0),
    ADDR_COL("Birthday AlarmAdv", Int, BirthdayAlarmAdv, 0),
    ADDR_COL("Avatar", Int, Avatar, 0),
    ADDR_COL("Addr Label1", Int, AddrLabel1, 0),
    ADDR_COL("Addr Label2", Int, AddrLabel2, 0),
    ADDR_COL("Addr Label3", Int, AddrLabel3, 0),
    ADDR_COL("Anniversary AlarmSet", Bool, AnniversaryAlarmSet, 0),
    ADDR_COL("Anniversary AlarmAdv", Int, AnniversaryAlarmAdv, 0),
    ADDR_COL("English Name", Text, EnglishName, 128),
    ADDR_COL("Picture URL", Text, PictureURL, 256),
    ADDR_COL("Picture Filename", Text, PictureFilename, 256),
    ADDR_COL("Picture MIME type", Text, PictureMIMEType, 32),
    ADDR_COL("Picture Sync counter", Text, PictureSyncCounter, 32),
    ADDR_COL("Ringtone URL", Text, RingtoneURL, 256),
    ADDR_COL("Ringtone Filename", Text, RingtoneFilename, 256),
    ADDR_COL("Ringtone MIME type", Text, RingtoneMIMEType, 32),
    ADDR_COL("Ringtone Sync counter", Text, RingtoneSyncCounter, 32),};
static_assert(sizeof kColumns / sizeof kColumns[0] == 95, "Main of Address.mdb has 95 columns");

const int32_t kKeys[] = {0, 7, 9};
const int32_t kEquality[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 48, 49, 50, 51, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 52, 67, 78, 79, 80, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94};

const PmTableDef kTable = {kColumns, 95, kKeys, 3, kEquality, int32_t(sizeof kEquality / sizeof kEquality[0]),
                           kChange, int32_t(sizeof kChange / sizeof kChange[0]), sizeof(PmAddrEx2Record), 4096,
                           offsetof(PmAddrEx2Record, Category), offsetof(PmAddrEx2Record, CategoryName),
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
    const char* slots[7] = {r->WorkPhone, r->WorkFax, r->WorkMobile, r->HomePhone,
                            r->HomeFax,   r->HomeMobile, r->OtherPhone};
    const int32_t labels[7] = {r->PhoneLabel1, r->PhoneLabel2, r->PhoneLabel3, r->PhoneLabel4,
                               r->PhoneLabel5, r->PhoneLabel6, r->PhoneLabel7};
    char* phones[8] = {r->Phone0, r->Phone1, r->Phone2, r->Phone3, r->Phone4, r->Phone5, r->Phone6, r->Phone7};
    const size_t widths[8] = {sizeof r->Phone0, sizeof r->Phone1, sizeof r->Phone2, sizeof r->Phone3,
                              sizeof r->Phone4, sizeof r->Phone5, sizeof r->Phone6, sizeof r->Phone7};
    for (int slot = 0; slot < 7; ++slot) {
        int32_t label = labels[slot];
        if (label >= 0 && label <= 7)
            PmCopyText(phones[label], widths[label], slots[slot]);
    }
}

bool PmAddrEx2Util::WriteBackRecord(PmAddrEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    return WriteBack(record, false);
}
