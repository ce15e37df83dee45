// Generated Palm Desktop data for tests, the demo and the benchmarks: for one
// user, the four applications in the generation the facades choose for an
// installed version, written through the generation fixture writers.
//
// The data looks like what users keep: empty fields, apostrophes, letters of
// the ANSI code page beyond ASCII, multi-line and long notes, every repeat
// kind, several categories, and records already deleted or archived (status
// 0x04 and 0x80), which the facades never show. The same options and seed
// always give the same records.
//
// Duplicates: of the `records` live records of an application, `duplicates`
// are exact copies (but for their record ids) of another live record placed
// after it, so detection under any rule marks exactly that many. All other
// live records differ in a field that every default rule compares. The
// hidden records come on top (one per ten live records, at least one) and
// are copies of live records too, so a facade that let them through would
// be seen finding too many.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace palmfix {

struct GenOptions {
    uint32_t records = 0;     ///< live records per application
    uint32_t duplicates = 0;  ///< of which copies of an earlier record (at most records - 1)
    uint32_t seed = 1;
};

/// Application bits (as AppFlag).
enum : int32_t { kGenAddr = 0x1, kGenDate = 0x2, kGenTodo = 0x4, kGenMemo = 0x8, kGenAll = 0xF };

/// The generation the facade of an application uses at an installed version
/// number (0 none, 1 classic, 2 4.1.x, 3 6.x).
int32_t GenGeneration(int32_t app, uint32_t version);

/// The version number of palm.exe's four parts (the fourth is not counted).
uint32_t GenVersionNumber(const uint16_t version[4]);

struct GenCategory {
    int32_t id;
    std::string name;
};

/// A generated contact. Phone slots carry their label codes (0 work, 1 home,
/// 2 fax, 3 other, 4 e-mail, 5 main, 6 pager, 7 mobile).
struct GenContact {
    int32_t id = 0;
    int32_t status = 0;
    int32_t category = 0;
    bool isPrivate = false;
    std::string first, middle, last, prefix, suffix, nick, title, company, note;
    std::string address[3][5];  ///< work, home, other: street, city, state, zip, country
    std::string phone[7];
    int32_t label[7] = {};
    std::string custom[10];
    std::string chat1, chat2, assistant, assistantPhone;
    int32_t copyOf = -1;  ///< index of the live record this one copies, or -1
};

/// A generated calendar item. Repeat kinds: 0 none, 1 daily, 2 weekly, 3
/// monthly by day, 4 monthly by date, 5 yearly by date, 6 yearly by day.
struct GenEvent {
    int32_t id = 0;
    int32_t status = 0;
    int32_t category = 0;
    bool isPrivate = false;
    std::string description, note, location;
    int32_t start = 0, end = 0;
    bool untimed = false;
    bool alarm = false;
    int32_t alarmAdvance = 0, alarmUnit = 0;  ///< unit 0 minutes, 1 hours, 2 days
    int32_t kind = 0, interval = 0, repeatEnd = 0, dayIndex = 0, weekIndex = 0, monthIndex = 0, dayNumber = 0;
    uint8_t daysMask = 0;
    int32_t copyOf = -1;
};

/// A generated task. Repeat kinds 0 to 4 as for the calendar (none for the
/// classic generation, which has no recurrence).
struct GenTask {
    int32_t id = 0;
    int32_t status = 0;
    int32_t category = 0;
    bool isPrivate = false;
    std::string description, note;
    int32_t due = 0;  ///< Palm time value, or -1 for no due date
    int32_t priority = 1;  ///< 1 to 5
    bool completed = false;
    bool alarm = false;
    int32_t kind = 0, interval = 0, repeatEnd = 0, dayIndex = 0, weekIndex = 0, dayNumber = 0;
    uint8_t daysMask = 0;
    int32_t copyOf = -1;
};

struct GenMemo {
    int32_t id = 0;
    int32_t status = 0;
    int32_t category = 0;
    bool isPrivate = false;
    std::string text;
    int32_t copyOf = -1;
};

/// The categories every generated file holds.
std::vector<GenCategory> GenCategories();

/// The records of each application in file order (hidden ones included).
std::vector<GenContact> GenerateContacts(const GenOptions& opt);
std::vector<GenEvent> GenerateEvents(const GenOptions& opt);
std::vector<GenTask> GenerateTasks(const GenOptions& opt);
std::vector<GenMemo> GenerateMemos(const GenOptions& opt);

/// Writes the applications of `apps` into a user's data folder (a path that
/// ends in a separator; its application folders must exist) in the
/// generation the facades choose for `version`. An application whose
/// generation is none is not written. False with *error on failure.
bool GenerateUserData(const std::string& userFolder, uint32_t version, const GenOptions& opt, int32_t apps,
                      std::string* error);

}  // namespace palmfix
