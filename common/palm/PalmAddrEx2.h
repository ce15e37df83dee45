// Contacts of a 6.x user: "address\Address.mdb".
#pragma once

#include "palm/PalmCommEx2.h"

/// One contact row. The eight label phones are derived: the text of each
/// phone slot goes to the phone of the label that slot carries.
struct PmAddrEx2Record {
    int32_t RecordID;
    int32_t Status;
    int32_t Placement;
    uint8_t Private;
    int32_t Category;
    PmEx2Text<32> CategoryName;
    PmEx2Text<2048> Note;
    PmEx2Text<32> Prefix;
    PmEx2Text<64> FirstName;
    PmEx2Text<64> MiddleName;
    PmEx2Text<64> LastName;
    PmEx2Text<32> Suffix;
    PmEx2Text<64> NickName;
    int32_t Anniversary;
    int32_t Birthday;
    PmEx2Text<128> Profession;
    PmEx2Text<128> Company;
    PmEx2Text<128> JobTitle;
    PmEx2Text<64> AssistantName;
    PmEx2Text<64> AssistantPhone;
    PmEx2Text<256> WorkStreet;
    PmEx2Text<32> WorkCity;
    PmEx2Text<32> WorkState;
    PmEx2Text<32> WorkZip;
    PmEx2Text<32> WorkCountry;
    PmEx2Text<256> HomeStreet;
    PmEx2Text<32> HomeCity;
    PmEx2Text<32> HomeState;
    PmEx2Text<32> HomeZip;
    PmEx2Text<32> HomeCountry;
    PmEx2Text<256> OtherStreet;
    PmEx2Text<32> OtherCity;
    PmEx2Text<32> OtherState;
    PmEx2Text<32> OtherZip;
    PmEx2Text<32> OtherCountry;
    PmEx2Text<32> Phone0;
    PmEx2Text<32> Phone1;
    PmEx2Text<32> Phone2;
    PmEx2Text<32> Phone3;
    PmEx2Text<128> Phone4;
    PmEx2Text<32> Phone5;
    PmEx2Text<32> Phone6;
    PmEx2Text<32> Phone7;
    PmEx2Text<256> Custom1;
    PmEx2Text<256> Custom2;
    PmEx2Text<256> Custom3;
    PmEx2Text<256> Custom4;
    PmEx2Text<256> Custom5;
    PmEx2Text<256> Custom6;
    PmEx2Text<256> Custom7;
    PmEx2Text<256> Custom8;
    PmEx2Text<256> Custom9;
    PmEx2Text<256> Custom10;
    PmEx2Text<256> Custom11;
    PmEx2Text<256> Custom12;
    PmEx2Text<256> Custom13;
    PmEx2Text<256> Custom14;
    PmEx2Text<128> WorkPhone;
    PmEx2Text<128> WorkFax;
    PmEx2Text<128> WorkMobile;
    PmEx2Text<128> HomePhone;
    PmEx2Text<128> HomeFax;
    PmEx2Text<128> HomeMobile;
    PmEx2Text<128> OtherPhone;
    PmEx2Text<128> OtherFax;
    PmEx2Text<128> OtherMobile;
    PmEx2Text<128> WorkEmail;
    PmEx2Text<128> Email1;
    PmEx2Text<128> Email2;
    PmEx2Text<128> Email3;
    PmEx2Text<128> Pager;
    int32_t PhoneLabel1;
    int32_t PhoneLabel2;
    int32_t PhoneLabel3;
    int32_t PhoneLabel4;
    int32_t PhoneLabel5;
    int32_t PhoneLabel6;
    int32_t PhoneLabel7;
    int32_t PrimaryContact;
    PmEx2Text<64> FirstYomi;
    PmEx2Text<64> LastYomi;
    PmEx2Text<64> CompanyYomi;
    PmEx2Text<128> Chat1;
    PmEx2Text<128> Chat2;
    int32_t Chat1LabelID;
    int32_t Chat2LabelID;
    PmEx2Text<256> Website;
    uint8_t BirthdayAlarmSet;
    int32_t BirthdayAlarmAdv;
    int32_t Avatar;
    int32_t AddrLabel1;
    int32_t AddrLabel2;
    int32_t AddrLabel3;
    uint8_t AnniversaryAlarmSet;
    int32_t AnniversaryAlarmAdv;
    PmEx2Text<128> EnglishName;
    PmEx2Text<256> PictureURL;
    PmEx2Text<256> PictureFilename;
    PmEx2Text<32> PictureMIMEType;
    PmEx2Text<32> PictureSyncCounter;
    PmEx2Text<256> RingtoneURL;
    PmEx2Text<256> RingtoneFilename;
    PmEx2Text<32> RingtoneMIMEType;
    PmEx2Text<32> RingtoneSyncCounter;
    PmRowKey RowKey;  // where the row was read from
};

class PmAddrEx2DataMgr : public PmEx2DataMgr<PmAddrEx2Record> {};

class PmAddrEx2Util : public PmEx2AppUtil<PmAddrEx2Record, PmAddrEx2DataMgr> {
public:
    PmAddrEx2Util();

    /// Brings the stored row in line with the record (a deletion: Status 0x84);
    /// the change reaches the file with Save.
    bool WriteBackRecord(PmAddrEx2Record* record);

    static const PmTableDef& Table();
    /// The label phones from the seven phone slots and their labels.
    static void SortPhonesByLabel(PmAddrEx2Record* record);
    /// The contact's e-mail address of its own columns: the first non-empty
    /// of "Work E-mail", "E-mail 1", "E-mail 2" and "E-mail 3"; none when
    /// all four are empty.
    static const PmEx2Text<128>* FirstEmail(const PmAddrEx2Record& record);

protected:
    void AfterLoad(PmAddrEx2Record* record) override { SortPhonesByLabel(record); }
};
