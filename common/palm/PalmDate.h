// The classic calendar file "datebook.dat" of Palm Desktop 4.1 and earlier.
#pragma once

#include "palm/PalmClassic.h"

/// One stored calendar item; texts are kept whole.
struct PmDateRecord {
    static constexpr int kFields = 15;
    static constexpr size_t kDescriptionCapacity = 512;
    static constexpr size_t kNoteCapacity = 8192;

    int32_t RecordID = 0;
    int32_t Status = 0;
    int32_t Placement = 0;
    int32_t StartTime = 0;  // Palm time values
    int32_t EndTime = 0;
    std::string Description;
    int32_t IntField6 = 0;
    std::string Note;
    int32_t Untimed = 0;
    int32_t Private = 0;
    int32_t Category = 0;
    int32_t AlarmSet = 0;
    int32_t AlarmAdvance = 0;
    int32_t AlarmUnit = 0;  // 0 minutes, 1 hours, 2 days
    PmRepeat Repeat;
};

using PmDateDataMgr = PmClassicDataMgr<PmDateRecord>;

/// "datebook.dat" of Palm Desktop 4.1 and earlier. Items whose StartTime or
/// EndTime is -1 are kept for the save but hidden from the walk.
class PmDateUtil : public PmClassicFileUtil<PmDateRecord> {
public:
    static constexpr uint32_t kVersionTag = 0x44420100;

    PmDateUtil();
    ~PmDateUtil() override;

    bool LoadUserFile(int32_t userId);
    bool LoadFile(const char* path);
    virtual bool Save(const char* path);

protected:
    bool SaveRecord(const PmDateRecord& rec) override;
    bool IsHiddenRow(const PmDateRecord& rec) const override;
    virtual bool ReadRepeat(PmRepeat* rep) { return ReadRepeatField(rep); }
    virtual bool WriteRepeat(const PmRepeat& rep) { return WriteRepeatField(rep); }

private:
    bool ReadRow(PmDateRecord* rec) override;
};
