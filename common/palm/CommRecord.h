// The generation-neutral records: contact CommAddr, calendar item CommDate,
// task CommTask and note CommNote.
//
// Every loaded record of any storage generation is converted into one of
// these, so that detection, review and deletion never see a generation.
// Texts have a fixed capacity (FixedText): every text is cut to its capacity
// as it is set, but takes only the room its characters need. Records of the
// two .dat generations hold 8-bit texts in the ANSI code page; records of the
// 6.x databases, which store Unicode, hold the stored text as UTF-8, cut
// where its ANSI form would have been cut (SetStored). A record is value-initialised (`CommAddr r{};`)
// before it is filled, so an absent value is an empty text or 0.
//
// Copying a record copies its texts and the native-copy pointer, not the block
// it points to: only the manager's Add makes a copy of that block (see
// CommMgr.h), and the block then belongs to the stored record alone.
#pragma once

#include "misc/CxDateTime.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

/// A text field of capacity N bytes, the terminator included: it holds at
/// most N - 1 characters and no NUL. Every copy into it goes through Set,
/// which cuts there, or SetStored for a text cut by its maker (6.x). Only the characters held take room (a short text none
/// beyond the field itself), so that records of large capacities stay small.
template <size_t N>
struct FixedText {
    static_assert(N > 1);
    static constexpr size_t kCapacity = N;

    /// Copies at most N - 1 characters of a NUL-terminated text; none clears it.
    void Set(const char* s) { Set(s, s ? strnlen(s, N - 1) : 0); }
    /// Copies at most N - 1 of the len bytes (stops at an embedded NUL).
    void Set(const char* s, size_t len)
    {
        if (!s) {
            m_Text.clear();
            return;
        }
        size_t n = len < N - 1 ? len : N - 1;
        if (const void* nul = std::memchr(s, 0, n))
            n = size_t(static_cast<const char*>(nul) - s);
        m_Text.assign(s, n);
    }
    void Set(std::string_view s) { Set(s.data(), s.size()); }
    /// The same cut, keeping the string's own storage (no copy of a long text).
    void Set(std::string&& s)
    {
        size_t n = s.size() < N - 1 ? s.size() : N - 1;
        if (const void* nul = std::memchr(s.data(), 0, n))
            n = size_t(static_cast<const char*>(nul) - s.data());
        s.resize(n);
        if (s.capacity() > n + n / 4 + 32)  // a cut or a grown buffer: keep only what is held
            s.shrink_to_fit();
        m_Text = std::move(s);
    }
    /// Takes a text that its maker already cut to the field, without the
    /// byte cut of Set: a 6.x text in UTF-8 is cut where its ANSI form would
    /// have been cut at N - 1 bytes, and its UTF-8 form may then take more
    /// than N - 1 bytes (up to four per ANSI byte). Only an embedded NUL
    /// still ends it.
    void SetStored(std::string&& s)
    {
        if (const void* nul = std::memchr(s.data(), 0, s.size()))
            s.resize(size_t(static_cast<const char*>(nul) - s.data()));
        if (s.capacity() > s.size() + s.size() / 4 + 32)
            s.shrink_to_fit();
        m_Text = std::move(s);
    }
    void SetStored(std::string_view s) { SetStored(std::string(s)); }
    void SetStored(const char* s) { SetStored(std::string(s ? s : "")); }
    void Clear() { m_Text.clear(); }

    /// The text, terminated.
    const char* c_str() const { return m_Text.c_str(); }
    size_t Length() const { return m_Text.size(); }
    std::string_view View() const { return m_Text; }
    bool Empty() const { return m_Text.empty(); }

private:
    std::string m_Text;
};

/// Mark flags of the trailer.
enum : uint32_t {
    kCommMarkDuplicate = 0x1,  ///< found to be a duplicate of a later record (detection only)
    kCommMarkSelected = 0x2,   ///< selected for deletion (review page only)
};

/// The trailer every common record ends with.
struct CommTrailer {
    /// Kind of source that filled the record: 1 for contacts, calendar and
    /// notes; tasks 1 classic, 2 4.1.x, 16 6.x.
    int32_t SourceType;
    /// The generation record's attribute or status word at load time.
    uint32_t Status;
    /// Task and note records: the generation record's id. Contact and
    /// calendar records leave it 0.
    int32_t ID;
    /// The record's own copy of the facade's wrapper of the generation record
    /// (a generation tag followed by the generation record), or none. A block
    /// of malloc; owned by the record stored in a manager, freed by its Clear.
    void* NativeCopy;
    /// Byte size of the native copy.
    int32_t NativeCopySize;
    /// kCommMarkDuplicate and kCommMarkSelected; other bits are always 0.
    uint32_t MarkFlags;
};

/// Street (256), City (32), State (32), Postal (16), Country (32).
struct CommAddress {
    FixedText<256> Street;
    FixedText<32> City;
    FixedText<32> State;
    FixedText<16> Postal;
    FixedText<32> Country;
};

/// Recurrence of a calendar item or a task.
struct CommRepeat {
    /// 0 none, 1 daily, 2 weekly, 3 monthly by weekday position, 4 monthly by
    /// date, 6 yearly (5 is never used).
    int32_t RepeatType;
    /// 1 when the year of RepeatEnd is 2020 or earlier.
    uint8_t HasEndDate;
    CxSystemTime RepeatStart;  ///< never filled (all zero)
    CxSystemTime RepeatEnd;    ///< date of the last occurrence
    int32_t Interval;          ///< every N days, weeks, months or years
    /// Weekly: the weekday mask; monthly by position and daily: the weekday
    /// value of the generation record.
    int32_t DayMask;
    int32_t DayOfMonth;   ///< monthly by date and yearly
    int32_t MonthOfYear;  ///< yearly, 1-12
    int32_t Instance;     ///< monthly by position: week of the month; weekly: 1
};

/// A contact.
struct CommAddr {
    static constexpr int kCustomCount = 10;

    FixedText<32> FirstName;
    FixedText<32> LastName;
    FixedText<32> MiddleName;   ///< 6.x only
    FixedText<32> Prefix;       ///< 6.x only
    FixedText<32> Suffix;       ///< 6.x only
    FixedText<32> NickName;     ///< 6.x only
    FixedText<64> DisplayName;  ///< 6.x "English Name"
    CommAddress WorkAddr;
    CommAddress HomeAddr;   ///< 4.1.x, 6.x
    CommAddress OtherAddr;  ///< 4.1.x, 6.x
    FixedText<24> HomePhone;     ///< phone label code 1 ("Home Phone")
    FixedText<24> WorkPhone;     ///< label code 0 ("Work Phone"), shown as "Business Phone"
    FixedText<24> MobilePhone;   ///< label code 7 ("Mobile Phone")
    FixedText<24> OtherPhone;    ///< label code 5 ("Main Phone")
    FixedText<24> PrimaryPhone;  ///< label code 3 ("Other Phone")
    FixedText<24> WorkFax;       ///< label code 2 ("Fax")
    FixedText<64> Email;         ///< label code 4 ("E-mail")
    FixedText<8192> Note;
    FixedText<64> Custom[kCustomCount];  ///< 4 classic, 9 4.1.x, 10 6.x
    FixedText<64> Company;
    FixedText<32> Title;  ///< the job title
    FixedText<32> IM1;    ///< 6.x only
    FixedText<32> IM2;    ///< 6.x only
    FixedText<32> AssistantName;   ///< 6.x only
    FixedText<24> AssistantPhone;  ///< 6.x only
    double Birthday;     ///< 4.1.x, 6.x
    double Anniversary;  ///< 6.x only
    FixedText<256> Category;  ///< the category name
    CommTrailer Trailer;
};

/// A calendar item.
struct CommDate {
    FixedText<256> Description;
    int32_t AllDayEvent;  ///< 1 for an all-day item
    CxSystemTime StartTime;
    CxSystemTime EndTime;
    int32_t Alarm;  ///< 1 when the item has an alarm
    FixedText<8192> Note;
    FixedText<256> Location;  ///< 4.1.x and 6.x only
    CommRepeat Repeat;
    int32_t AlarmSet;      ///< same value as Alarm
    int32_t AlarmAdvance;  ///< lead time in AlarmUnit
    int32_t AlarmUnit;     ///< 1 minutes, 2 hours, 3 days
    CommTrailer Trailer;
};

/// A task.
struct CommTask {
    /// Due dates at or above this seconds value mean "no due date".
    static constexpr uint32_t kNoDueDate = 1956499199u;  // 0x749DCEFF

    FixedText<256> Description;
    FixedText<8192> Note;
    FixedText<256> Category;  ///< never filled
    int32_t Priority;         ///< 1 high, 2 low, 0 normal
    int32_t Completed;        ///< 1 when completed
    uint32_t DueDate;         ///< PmTime seconds value, or kNoDueDate and above
    uint8_t Alarm;            ///< classic: always 0
    uint8_t Private;
    uint8_t AlarmSet;  ///< same value as Alarm
    CommRepeat Repeat;      ///< 4.1.x and 6.x only
    int32_t Sensitivity;    ///< 2 when Private is 1, else 0
    CommTrailer Trailer;
};

/// A note (memo).
struct CommNote {
    int32_t Private;
    /// The first line of the memo, cut at the first CR LF.
    FixedText<256> Subject;
    FixedText<20480> Note;  ///< the whole memo text
    CommTrailer Trailer;
};

