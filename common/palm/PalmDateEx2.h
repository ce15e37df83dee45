// Calendar items of a 6.x user: "datebook\DateBook.mdb", and the repeat rule
// text that calendar items and tasks share.
#pragma once

#include "palm/PalmCommEx2.h"

/// The parsed repeat rule, laid out as the repeat event of the other data
/// generations.
struct PmEx2RepeatBlock {
    int32_t Kind;  // 0 none, 1 daily, 2 weekly, 3 monthly by position, 4 monthly by date, 5 yearly
    int32_t Interval;
    int32_t EndDate;  // seconds; kPmEx2NoEnd when the rule has no end
    int32_t FirstDayOfWeek;
    int32_t DayIndex;
    uint8_t DaysMask;  // 0x01 SU ... 0x40 SA
    int32_t WeekIndex;
    int32_t MonthIndex;
    int32_t DayNumber;
};

constexpr int32_t kPmEx2NoEnd = 0x749DCEFF;

/// The rule text ("W2 MO WE FR #0", "D1 20131231T000000Z", "MP1 2+ TU #0",
/// "MD1 15 #0", "YM1 6 #0") and its block.
namespace PmEx2Repeat {
/// `yearly` allows the "YM" rule (calendar items); `startTime` gives its day.
/// `scanEnd` reads the end date as tasks do (a part that cannot be read is 0).
void Parse(const char* text, PmEx2RepeatBlock* block, bool yearly, int32_t startTime, bool scanEnd);
/// The rule text of a block; empty for no repeat.
std::string Build(const PmEx2RepeatBlock& block, bool yearly, int32_t startTime);
bool Equal(const PmEx2RepeatBlock& a, const PmEx2RepeatBlock& b);
}  // namespace PmEx2Repeat

/// Dates of the rule texts as Palm time values (local time, midnight), and
/// the calendar fields of a value (false when it cannot be broken down).
int32_t PmEx2TimeFromParts(int year, int month, int day);
bool PmEx2TimeParts(int32_t seconds, int* year, int* month, int* day);

/// One calendar row.
struct PmDateEx2Record {
    int32_t RecordID;
    int32_t Status;
    int32_t Placement;
    uint8_t Private;
    int32_t Category;
    PmEx2Text<32> CategoryName;
    PmEx2Text<8192> Note;
    int32_t StartTime;
    PmEx2Text<64> StartTimeText;
    int32_t EndTime;
    PmEx2Text<64> EndTimeText;
    uint8_t Untimed;
    PmEx2Text<64> TimeZone;
    PmEx2Text<256> Location;
    PmEx2Text<256> Summary;
    uint8_t Alarm;
    int32_t AlarmAdvance;
    int32_t AlarmUnit;
    PmEx2Text<256> RepeatedEvent;
    PmEx2RepeatBlock Repeat;
    PmRowKey RowKey;  // where the row was read from
};

class PmDateEx2DataMgr : public PmEx2DataMgr<PmDateEx2Record> {};

class PmDateEx2Util : public PmEx2AppUtil<PmDateEx2Record, PmDateEx2DataMgr> {
public:
    PmDateEx2Util();

    /// Brings the stored row in line with the record (a deletion: Status 0x84);
    /// the change reaches the file with Save.
    bool WriteBackRecord(PmDateEx2Record* record);

    static const PmTableDef& Table();
    /// The repeat block from Repeated Event (after load).
    static void ParseRepeat(PmDateEx2Record* record);
    /// Repeated Event from the repeat block, when the block no longer is
    /// what the stored text says; the stored text is kept otherwise.
    static void BuildRepeat(PmDateEx2Record* record);

protected:
    void AfterLoad(PmDateEx2Record* record) override { ParseRepeat(record); }
};
