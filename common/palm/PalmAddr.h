// The classic contacts file "address.dat" of Palm Desktop 4.1 and earlier.
#pragma once

#include "palm/PalmClassic.h"

#include <cstdint>
#include <string>

/// One stored contact. Texts are kept whole as stored; kCapacity gives the
/// capacity (with terminator) of the field each is shown in.
struct PmAddrRecord {
    static constexpr int kFields = 30;

    int32_t RecordID = 0;
    int32_t Status = 0;
    int32_t Placement = 0;
    std::string LastName, FirstName, JobTitle, Company;
    int32_t PhoneLabel[5] = {0, 0, 0, 0, 0};
    std::string Phone[5];
    std::string Street, City, State, ZipCode, Country, Note;
    int32_t Private = 0;
    int32_t Category = 0;
    std::string Custom[4];
    int32_t PrimaryContact = 0;
    /// The name of the record's category, looked up at load.
    char szCategory[16] = {};

    /// Field capacities by position (0 for the integer fields).
    static constexpr size_t kCapacity[kFields] = {0,  0,  0,  32,  32, 32, 256, 0, 32, 0, 32, 0,  32, 0,  32,
                                                  0,  32, 256, 32, 32, 32, 32, 8192, 0, 0, 64, 64, 64, 64, 0};
    /// The text at a position, none for an integer position.
    std::string* TextAt(int pos);
    /// The integer at a position, none for a text position.
    int32_t* IntAt(int pos);
    const std::string* TextAt(int pos) const { return const_cast<PmAddrRecord*>(this)->TextAt(pos); }
    const int32_t* IntAt(int pos) const { return const_cast<PmAddrRecord*>(this)->IntAt(pos); }
};

using PmAddrDataMgr = PmClassicDataMgr<PmAddrRecord>;

/// "address.dat" of Palm Desktop 4.1 and earlier.
class PmAddrUtil : public PmClassicFileUtil<PmAddrRecord> {
public:
    static constexpr uint32_t kVersionTag = 0x41420100;

    PmAddrUtil();
    ~PmAddrUtil() override;

    bool LoadUserFile(int32_t userId);
    bool LoadFile(const char* path);
    virtual bool Save(const char* path);

    /// The first four custom labels, each with its line feed (what the
    /// handheld of this generation shows).
    const char* CustomLabels() const { return m_szCustomLabels; }
    /// Custom label 0 to 3, without its line feed; empty when absent.
    std::string CustomLabel(int i) const;

protected:
    virtual bool LoadCustomLabels();
    bool LoadCategories() override;
    bool LoadSchema() override;
    bool LoadRecords() override;
    bool SaveCategories() override;
    bool SaveSchema() override;
    bool SaveRecords() override;
    bool SaveRecord(const PmAddrRecord& rec) override;

private:
    bool ReadRow(PmAddrRecord* rec) override;

    char m_szCustomLabels[512];
};
