#include "palm/PalmMemoEx2.h"

#include "misc/CxDebugUtil.h"
#include "misc/WinUtil.h"
#include "platform/Codepage.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

#define MEMO_COL(name, kind, field) PM_EX2_COL(PmMemoEx2Record, name, kind, field)

constexpr PmColumnDef kColumns[] = {
    MEMO_COL("Record ID", Int, RecordID),
    MEMO_COL("Status", Int, Status),
    MEMO_COL("Placement", Int, Placement),
    MEMO_COL("Private", Bool, Private),
    MEMO_COL("Category", IntText, Category),
    MEMO_COL("Note", Text, Note),
};
static_assert(PmColumnsReachTheirTexts(kColumns), "every text column names a text field");
static_assert(decltype(PmMemoEx2Record::Note)::kCapacity == kPmMaxTextChars + 1,
              "a memo holds the longest text a value maker converts");
const int32_t kKeys[] = {0, 5};
const int32_t kEquality[] = {0, 1, 3, 4, 5};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5};

void FillMemoRow(const PmFieldValue* row, int32_t count, void* record)
{
    auto* rec = static_cast<PmMemoEx2Record*>(record);
    // A memo row is taken by position, each field only in the type it should have.
    if (!row || count != 6)
        return;
    if (row[0].vt == kPmVtI4)
        rec->RecordID = row[0].lVal;
    if (row[1].vt == kPmVtI4)
        rec->Status = row[1].lVal;
    if (row[2].vt == kPmVtI4)
        rec->Placement = row[2].lVal;
    if (row[3].vt == kPmVtBool)
        rec->Private = row[3].boolVal != 0 ? 1 : 0;
    if (row[4].vt == kPmVtBstr) {
        int32_t id = 0;
        ValueToInt(&row[4], &id);
        rec->Category = id;
        ValueToText(&row[4], &rec->CategoryName);
    }
    if (row[5].vt == kPmVtBstr && row[5].bstrVal) {
        size_t chars = std::char_traits<char16_t>::length(row[5].bstrVal);
        if (chars > kPmMaxTextChars)
            chars = kPmMaxTextChars;
        // The stored text; a text whose ANSI form does not fit is cut between
        // characters where that form would have been.
        rec->Note.SetStored(
            PmStoredCut(std::u16string_view(row[5].bstrVal, chars), decltype(rec->Note)::kCapacity));
        rec->NoteLength = int32_t(chars);
    }
}

const PmTableDef kTable = {kColumns, 6, kKeys, 2, kEquality, 5, kChange, 6, 40960,
                           offsetof(PmMemoEx2Record, Category), PmTextAccessOf<&PmMemoEx2Record::CategoryName>(),
                           offsetof(PmMemoEx2Record, RowKey), FillMemoRow};

const PmEx2Messages kMessages = {
    CxModuleName(__FILE__),
    "Start loading Palm Desktop Memos by user ID: %d",
    "Invalid Palm Desktop Notes database name.",
    "Loading Palm Desktop Notes: %s",
    "Open Palm Desktop Memos database failed: %s",
    "Start loading Palm Desktop Memo main records.",
    "Query first record in the Memo database table successfully.",
    "Failed to query the first record of the Memo main table. Check if there is any records in the database table.",
    "Failed to query the next record of the Memo main table. Check if it is the end of the table.",
    "Loading Palm Desktop Memo main records completed successfully.",
};

}  // namespace

PmMemoEx2Util::PmMemoEx2Util() : PmEx2AppUtil(kPmDbMemo, kTable, kMessages) {}

const PmTableDef& PmMemoEx2Util::Table()
{
    return kTable;
}

bool PmMemoEx2Util::AddLoadedRow(const PmFieldValue* row, int32_t count, const PmRowKey& key)
{
    std::unique_ptr<PmMemoEx2Record> rec(new (std::nothrow) PmMemoEx2Record());
    if (!rec)
        return false;
    FillMemoRow(row, count, rec.get());
    // An unknown category keeps the ID text as its name.
    LookUpCategoryName(kTable, rec.get());
    rec->RowKey = key;
    return m_pDataMgr->Add(std::move(rec));
}

bool PmMemoEx2Util::WriteBackRecord(PmMemoEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    return WriteBack(record, true);
}
