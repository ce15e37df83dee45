// The application's option set with its load and save, and the duplicate
// detection engine.
//
// Options live in section "DCOption" of the settings file. They are loaded
// once at start and saved once at the end; in between, pages and dialogs
// change the one process-wide record (TheOption()), and detection reads the
// rule from it when it runs.
#pragma once

#include "misc/CxIniUtil.h"
#include "misc/CxList.h"
#include "palm/CommMgr.h"

#include <cstdint>
#include <string_view>
#include <vector>

inline constexpr const char* kOptionSection = "DCOption";

/// Application bits of AppFlag.
enum : int32_t {
    kAppAddr = 0x1,
    kAppDate = 0x2,
    kAppTodo = 0x4,
    kAppMemo = 0x8,
};

/// The in-memory option set; member names are the keys of the settings file.
struct AppOption {
    static constexpr size_t kFileCapacity = 260;  ///< 259 characters and the terminator

    int32_t UserID;  ///< the Palm Desktop user id, kept as its 32 bits
    bool CaseSensitive;
    int32_t AppFlag;  ///< kAppAddr | kAppDate | kAppTodo | kAppMemo

    bool AddrAll, DateAll, TodoAll, MemoAll;
    bool AddrDetail, DateDetail, TodoDetail, MemoDetail;

    // Contacts rule.
    bool AddrFirstName, AddrMiddleName, AddrLastName, AddrEmail, AddrBusiPhone, AddrHomePhone, AddrBusiAddr,
        AddrHomeAddr, AddrNotes, AddrMobilePhone, AddrCompany, AddrTitle, AddrFax;
    // Calendar rule.
    bool DateDesc, DateStartTime, DateEndTime, DateAllDayEvent, DateRepeat, DateNotes, DateLocation;
    // Tasks rule.
    bool TodoDesc, TodoPriority, TodoDueDate, TodoNotes;
    // Notes rule.
    bool MemoDesc, MemoNotes;

    char AddrFile[kFileCapacity], DateFile[kFileCapacity], TodoFile[kFileCapacity], MemoFile[kFileCapacity];
    bool QuitRemind;
    bool EnableDebug;
    int32_t LogLevel;  ///< kept as read; the log clamps it when applied
};

/// The option set with every default, as a first run sees it.
AppOption DefaultOption();

/// The process-wide option set (all defaults until loaded).
AppOption& TheOption();

/// Zero-fills the set, then reads every key (a missing or empty key gives its default).
void LoadOption(const CxIniUtil& ini, AppOption* opt);
/// Writes every key, whatever its value; write failures are ignored.
void SaveOption(const CxIniUtil& ini, const AppOption& opt);
/// The same with TheIni() and TheOption().
void LoadOption();
void SaveOption();

// ---------------------------------------------------------------------------
// Duplicate detection
//
// Two records of a kind match when every criterion whose setting is on holds;
// with every setting of a kind off, any two records match. Criteria are
// tested in a fixed order and the first failing one ends the test.
//
// Detection empties the duplicate list (without freeing its items), clears
// bit 0 of every record, and then, within every group of records that match
// one another, marks and lists every record but the last one in manager
// order. The list holds the groups in the order of their first records. Bit 1
// is never touched. The manager's cursor is left on its last record.

/// Text equality: byte for byte, or with a-z folded to A-Z (only ASCII
/// letters) when not case-sensitive. A missing text counts as empty.
bool TextsEqual(std::string_view a, std::string_view b, bool caseSensitive);
bool TextsEqual(const char* a, const char* b, bool caseSensitive);
/// With TheOption().CaseSensitive.
bool TextsEqual(const char* a, const char* b);

/// Pairwise match rules of each kind.
bool AddrRecordsMatch(const CommAddr& a, const CommAddr& b, const AppOption& opt);
bool DateRecordsMatch(const CommDate& a, const CommDate& b, const AppOption& opt);
bool TaskRecordsMatch(const CommTask& a, const CommTask& b, const AppOption& opt);
bool NoteRecordsMatch(const CommNote& a, const CommNote& b, const AppOption& opt);

/// False, doing nothing, when the manager or the list is missing; otherwise
/// detects with the rule in opt and returns true.
bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups, const AppOption& opt);
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups, const AppOption& opt);
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups, const AppOption& opt);
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups, const AppOption& opt);
/// The same, and each listed record's keeper (the last record of its group,
/// the one that stays) put in `keepers` at the record's place in the list.
bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups, const AppOption& opt, std::vector<const void*>* keepers);
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups, const AppOption& opt, std::vector<const void*>* keepers);
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups, const AppOption& opt, std::vector<const void*>* keepers);
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups, const AppOption& opt, std::vector<const void*>* keepers);
/// The same with the rule of TheOption().
bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups);
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups);
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups);
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups);
