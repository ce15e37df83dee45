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
    char CategoryName[32];
    char Note[2048];
    char Prefix[32];
    char FirstName[64];
    char MiddleName[64];
    char LastName[64];
    char Suffix[32];
    char NickName[64];
    int32_t Anniversary;
    int32_t Birthday;
    char Profession[128];
    char Company[128];
    char JobTitle[128];
    char AssistantName[64];
    char AssistantPhone[64];
    char WorkStreet[256];
    char WorkCity[32];
    char WorkState[32];
    char WorkZip[32];
    char WorkCountry[32];
    char HomeStreet[256];
    char HomeCity[32];
    char HomeState[32];
    char HomeZip[32];
    char HomeCountry[32];
    char OtherStreet[256];
    char OtherCity[32];
    char OtherState[32];
    char OtherZip[32];
    char OtherCountry[32];
    char Phone0[32];
    char Phone1[32];
    char Phone2[32];
    char Phone3[32];
    char Phone4[128];
    char Phone5[32];
    char Phone6[32];
    char Phone7[32];
    char Custom1[256];
    char Custom2[256];
    char Custom3[256];
    char Custom4[256];
    char Custom5[256];
    char Custom6[256];
    char Custom7[256];
    char Custom8[256];
    char Custom9[256];
    char Custom10[256];
    char Custom11[256];
    char Custom12[256];
    char Custom13[256];
    char Custom14[256];
    char WorkPhone[128];
    char WorkFax[128];
    char WorkMobile[128];
    char HomePhone[128];
    char HomeFax[128];
    char HomeMobile[128];
    char OtherPhone[128];
    char OtherFax[128];
    char OtherMobile[128];
    char WorkEmail[128];
    char Email1[128];
    char Email2[128];
    char Email3[128];
    char Pager[128];
    int32_t PhoneLabel1;
    int32_t PhoneLabel2;
    int32_t PhoneLabel3;
    int32_t PhoneLabel4;
    int32_t PhoneLabel5;
    int32_t PhoneLabel6;
    int32_t PhoneLabel7;
    int32_t PrimaryContact;
    char FirstYomi[64];
    char LastYomi[64];
    char CompanyYomi[64];
    char Chat1[128];
    char Chat2[128];
    int32_t Chat1LabelID;
    int32_t Chat2LabelID;
    char Website[256];
    uint8_t BirthdayAlarmSet;
    int32_t BirthdayAlarmAdv;
    int32_t Avatar;
    int32_t AddrLabel1;
    int32_t AddrLabel2;
    int32_t AddrLabel3;
    uint8_t AnniversaryAlarmSet;
    int32_t AnniversaryAlarmAdv;
    char EnglishName[128];
    char PictureURL[256];
    char PictureFilename[256];
    char PictureMIMEType[32];
    char PictureSyncCounter[32];
    char RingtoneURL[256];
    char RingtoneFilename[256];
    char RingtoneMIMEType[32];
    char RingtoneSyncCounter[32];
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

protected:
    void AfterLoad(PmAddrEx2Record* record) override { SortPhonesByLabel(record); }
};
