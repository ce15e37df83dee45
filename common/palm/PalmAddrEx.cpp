#include "palm/PalmAddrEx.h"

namespace {

constexpr uint16_t kTypes[PmAddrExUtil::kFieldCount] = {
    1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43,  // 0-10
    5, 5, 5, 5, 5, 5,                             // 11-16
    1,                                            // 17
    5, 5, 5, 5, 5, 5, 5, 5,                       // 18-25
    1, 1, 1, 1, 1, 1, 1,                          // 26-32
    5, 5, 5, 5, 5, 5, 5, 5, 5,                    // 33-41
    1, 5, 5, 5, 5, 5,                             // 42-47
    1, 5, 5, 5, 5, 5,                             // 48-53
    1, 5, 5, 5, 5, 5, 5, 5,                       // 54-61
    1, 1, 5, 0x44, 6, 1, 1,                       // 62-68
    5, 5, 5, 5,                                   // 69-72
};

const PmSGKind kKind = {
    CxModuleName(__FILE__), "Contacts", "address\\", "address.dat", 0x41420200, 11, true, 74,
    PmAddrExUtil::kFieldCount, kTypes, 1, true, false,
};

}  // namespace

PmAddrExUtil::PmAddrExUtil() : PmSGRecordUtil(kKind) {}

bool PmAddrExUtil::ReadField(PmAddrExRecord& r, uint32_t i)
{
    if (i <= 12)
        return ReadPrefixField(r, i);
    if (i >= 19 && i <= 25)
        return ReadText(r.Phone[i - 19], 31);
    if (i >= 26 && i <= 32)
        return ReadIntField(&r.PhoneLabel[i - 26]);
    if (i >= 33 && i <= 41)
        return ReadText(r.Custom[i - 33], 255);
    switch (i) {
    case 13: return ReadText(r.FirstName, 31);
    case 14: return ReadText(r.LastName, 31);
    case 15: return ReadText(r.JobTitle, 31);
    case 16: return ReadText(r.Company, 255);
    case 17: return ReadIntField(&r.PrimaryContact);
    case 18: return ReadText(r.Note, 2047);
    case 42: return ReadIntField(&r.IntField42);
    case 43: return ReadText(r.WorkStreet, 255);
    case 44: return ReadText(r.WorkCity, 31);
    case 45: return ReadText(r.WorkState, 31);
    case 46: return ReadText(r.WorkZip, 31);
    case 47: return ReadText(r.WorkCountry, 31);
    case 48: return ReadIntField(&r.IntField48);
    case 49: return ReadText(r.HomeStreet, 255);
    case 50: return ReadText(r.HomeCity, 31);
    case 51: return ReadText(r.HomeState, 31);
    case 52: return ReadText(r.HomeZip, 31);
    case 53: return ReadText(r.HomeCountry, 31);
    case 54: return ReadIntField(&r.IntField54);
    case 55: return ReadText(r.OtherStreet, 255);
    case 56: return ReadText(r.OtherCity, 31);
    case 57: return ReadText(r.OtherState, 31);
    case 58: return ReadText(r.OtherZip, 31);
    case 59: return ReadText(r.OtherCountry, 31);
    case 60: return ReadText(r.Chat1, 31);
    case 61: return ReadText(r.Chat2, 31);
    case 62: return ReadIntField(&r.Chat1LabelID);
    case 63: return ReadIntField(&r.Chat2LabelID);
    case 64: return ReadText(r.HomePage, 255);
    case 65: return ReadWideField(&r.Birthday);
    case 66: return ReadIntField(&r.FlagField66);
    case 67: return ReadIntField(&r.IntField67);
    case 68: return ReadIntField(&r.IntField68);
    case 69: return ReadText(r.TextField69, 31);
    case 70: return ReadText(r.TextField70, 31);
    case 71: return ReadText(r.TextField71, 31);
    case 72: return ReadText(r.TextField72, 31);
    default: return true;  // beyond the record's fields: nothing to read
    }
}

bool PmAddrExUtil::WriteField(const PmAddrExRecord& r, uint32_t i)
{
    if (i <= 12)
        return WritePrefixField(r, i);
    if (i >= 19 && i <= 25)
        return WriteText(r.Phone[i - 19]);
    if (i >= 26 && i <= 32)
        return WriteIntField(r.PhoneLabel[i - 26]);
    if (i >= 33 && i <= 41)
        return WriteText(r.Custom[i - 33]);
    switch (i) {
    case 13: return WriteText(r.FirstName);
    case 14: return WriteText(r.LastName);
    case 15: return WriteText(r.JobTitle);
    case 16: return WriteText(r.Company);
    case 17: return WriteIntField(r.PrimaryContact);
    case 18: return WriteText(r.Note);
    case 42: return WriteIntField(r.IntField42);
    case 43: return WriteText(r.WorkStreet);
    case 44: return WriteText(r.WorkCity);
    case 45: return WriteText(r.WorkState);
    case 46: return WriteText(r.WorkZip);
    case 47: return WriteText(r.WorkCountry);
    case 48: return WriteIntField(r.IntField48);
    case 49: return WriteText(r.HomeStreet);
    case 50: return WriteText(r.HomeCity);
    case 51: return WriteText(r.HomeState);
    case 52: return WriteText(r.HomeZip);
    case 53: return WriteText(r.HomeCountry);
    case 54: return WriteIntField(r.IntField54);
    case 55: return WriteText(r.OtherStreet);
    case 56: return WriteText(r.OtherCity);
    case 57: return WriteText(r.OtherState);
    case 58: return WriteText(r.OtherZip);
    case 59: return WriteText(r.OtherCountry);
    case 60: return WriteText(r.Chat1);
    case 61: return WriteText(r.Chat2);
    case 62: return WriteIntField(r.Chat1LabelID);
    case 63: return WriteIntField(r.Chat2LabelID);
    case 64: return WriteText(r.HomePage);
    case 65: return WriteWideField(r.Birthday);
    case 66: return WriteBoolField(r.FlagField66);
    case 67: return WriteIntField(r.IntField67);
    case 68: return WriteIntField(r.IntField68);
    case 69: return WriteText(r.TextField69);
    case 70: return WriteText(r.TextField70);
    case 71: return WriteText(r.TextField71);
    case 72: return WriteText(r.TextField72);
    default: return true;
    }
}
