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

#define MEMO_COL(name, kind, field, width) {name, PmColKind::kind, offsetof(PmMemoEx2Record, field), width, 0}

const PmColumnDef kColumns[] = {
    MEMO_COL("Record ID", Int, RecordID, 0),
    MEMO_COL("Status", Int, Status, 0),
    MEMO_COL("Placement", Int, Placement, 0),
    MEMO_COL("Private", Bool, Private, 0),
    MEMO_COL("Category", IntText, Category, 0),
    MEMO_COL("Note", Text, Note, kPmMaxTextChars + 1),
};
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
        ValueToText(&row[4], rec->CategoryName, sizeof rec->CategoryName);
    }
    if (row[5].vt == kPmVtBstr && row[5].bstrVal) {
        size_t chars = std::char_traits<char16_t>::length(row[5].bstrVal);
        if (chars > kPmMaxTextChars)
            chars = kPmMaxTextChars;
        std::u16string_view text(row[5].bstrVal, chars);
        std::string ansi = plat::WideToAnsi(text);
        if (ansi.size() < sizeof rec->Note)
            std::memcpy(rec->Note, ansi.c_str(), ansi.size() + 1);
        else  // double-byte texts: cut between characters
            ToAnsi(std::u16string(text).c_str(), rec->Note, sizeof rec->Note);
        rec->NoteLength = int32_t(chars);
    }
}

const PmTableDef kTable = {kColumns, 6, kKeys, 2, kEquality, 5, kChange, 6, sizeof(PmMemoEx2Record), 40960,
                           offsetof(PmMemoEx2Record, Category), offsetof(PmMemoEx2Record, CategoryName),
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

void PmMemoEx2Util::AddLoadedRow(const PmFieldValue* row, int32_t count, const PmRowKey& key)
{
    auto rec = std::make_unique<PmMemoEx2Record>();
    FillMemoRow(row, count, rec.get());
    // An unknown category keeps the ID text as its name.
    LookUpCategoryName(kTable, rec.get());
    rec->RowKey = key;
    m_pDataMgr->Add(rec.get());
}

bool PmMemoEx2Util::WriteBackRecord(PmMemoEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    return WriteBack(record, true);
}
