// The classic calendar file "datebook.dat" of Palm Desktop 4.1 and earlier.
#pragma once

#include "palm/PalmClassic.h"

/// The repeat of a calendar item (the value of its tag 8 field).
struct PmRepeatEvent {
    int32_t RepeatClass = 0;  // 0 none, 1 daily, 2 weekly, 3 monthly by day, 4 monthly by date,
                              // 5 yearly by date, 6 yearly by day
    int32_t RepeatInterval = 0;
    int32_t RepeatEndDate = 0;  // a Palm time value
    int32_t RepeatWord4 = 0;
    int32_t RepeatDayIndex = 0;
    uint8_t RepeatDaysMask = 0;
    int32_t RepeatWeekIndex = 0;
    int32_t RepeatMonth = 0;  // 0-based
    int32_t RepeatDayNumber = 0;

    // Kept as read so that a save writes the field back unchanged.
    std::vector<uint32_t> Exceptions;  // the exception dates
    uint16_t ClassTag = 0;             // 0 none read; 0xFFFF named; other: unnamed
    std::string ClassName;             // after the 0xFFFF class tag
};

/// The class name written for a repeat class; empty above 6.
const char* PmRepeatClassName(int32_t repeatClass);

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
    PmRepeatEvent Repeat;
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
    virtual bool ReadRepeat(PmRepeatEvent* rep);
    virtual bool WriteRepeat(const PmRepeatEvent& rep);

private:
    bool ReadRow(PmDateRecord* rec) override;
};
