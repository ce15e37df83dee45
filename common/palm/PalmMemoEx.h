// Memos of a Palm Desktop 4.1.x user: "memopad\memopad.dat".
#pragma once

#include "palm/PalmSG.h"

/// One memo: the common prefix (fields 0-12) and the note (field 13). The
/// note shows at most 8191 characters; a longer one is kept whole for the
/// save.
struct PmMemoExRecord : PmExRecord {
    PmExText Note;
};

class PmMemoExDataMgr : public PmExDataMgr<PmMemoExRecord> {};

/// Reads and writes a 4.1.x memos file.
class PmMemoExUtil : public PmSGRecordUtil<PmMemoExUtil, PmMemoExRecord, PmMemoExDataMgr> {
public:
    static constexpr uint16_t kFieldCount = 14;

    PmMemoExUtil();

private:
    friend class PmSGRecordUtil<PmMemoExUtil, PmMemoExRecord, PmMemoExDataMgr>;

    bool ReadField(PmMemoExRecord& r, uint32_t index);
    bool WriteField(const PmMemoExRecord& r, uint32_t index);
};
