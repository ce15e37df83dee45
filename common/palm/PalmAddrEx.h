// Contacts of a Palm Desktop 4.1.x user: "address\address.dat".
#pragma once

#include "palm/PalmSG.h"

/// One contact: the common prefix (fields 0-12), then fields 13 to 72.
/// Texts show at most the characters given; longer stored texts are kept
/// whole for the save (PmExText).
struct PmAddrExRecord : PmExRecord {
    PmExText FirstName;         ///< 13, 31
    PmExText LastName;          ///< 14, 31
    PmExText JobTitle;          ///< 15, 31
    PmExText Company;           ///< 16, 255
    uint32_t PrimaryContact = 0;  ///< 17
    PmExText Note;              ///< 18, 2047
    PmExText Phone[7];          ///< 19-25, 31 each
    uint32_t PhoneLabel[7] = {};  ///< 26-32: 0 Work, 1 Home, 2 Fax, 3 Other, 4 E-mail, 5 Main, 6 Pager, 7 Mobile
    PmExText Custom[9];         ///< 33-41, 255 each
    uint32_t IntField42 = 0;
    PmExText WorkStreet;        ///< 43, 255
    PmExText WorkCity;          ///< 44-47, 31 each
    PmExText WorkState;
    PmExText WorkZip;
    PmExText WorkCountry;
    uint32_t IntField48 = 0;
    PmExText HomeStreet;        ///< 49, 255
    PmExText HomeCity;          ///< 50-53
    PmExText HomeState;
    PmExText HomeZip;
    PmExText HomeCountry;
    uint32_t IntField54 = 0;
    PmExText OtherStreet;       ///< 55, 255
    PmExText OtherCity;         ///< 56-59
    PmExText OtherState;
    PmExText OtherZip;
    PmExText OtherCountry;
    PmExText Chat1;             ///< 60, 31
    PmExText Chat2;             ///< 61, 31
    uint32_t Chat1LabelID = 0;  ///< 62: 0 unused, 1-5 service
    uint32_t Chat2LabelID = 0;  ///< 63
    PmExText HomePage;          ///< 64, 255
    uint64_t Birthday = 0;      ///< 65: the bits of an IEEE-754 double, kept as stored
    uint32_t FlagField66 = 0;   ///< written with tag 6
    uint32_t IntField67 = 0;
    uint32_t IntField68 = 0;
    PmExText TextField69;       ///< 69-72, 31 each
    PmExText TextField70;
    PmExText TextField71;
    PmExText TextField72;
};

class PmAddrExDataMgr : public PmExDataMgr<PmAddrExRecord> {};

/// Reads and writes a 4.1.x contacts file.
class PmAddrExUtil : public PmSGRecordUtil<PmAddrExUtil, PmAddrExRecord, PmAddrExDataMgr> {
public:
    static constexpr uint16_t kFieldCount = 73;

    PmAddrExUtil();

private:
    friend class PmSGRecordUtil<PmAddrExUtil, PmAddrExRecord, PmAddrExDataMgr>;

    bool ReadField(PmAddrExRecord& r, uint32_t index);
    bool WriteField(const PmAddrExRecord& r, uint32_t index);
};
