// The classic memos file "memopad.dat" of Palm Desktop 4.1 and earlier.
#pragma once

#include "palm/PalmClassic.h"

/// One stored memo; the memo text is kept whole (it may exceed 8191
/// characters, the most a reader is shown).
struct PmMemoRecord {
    static constexpr int kFields = 6;
    static constexpr size_t kMemoCapacity = 65536;

    int32_t RecordID = 0;
    int32_t Status = 0;
    int32_t Placement = 0;
    std::string Memo;
    int32_t Private = 0;
    int32_t Category = 0;
    /// The category name copy; this loader leaves it empty.
    char szCategory[16] = {};
};

using PmMemoDataMgr = PmClassicDataMgr<PmMemoRecord>;

/// "memopad.dat" of Palm Desktop 4.1 and earlier. Memos whose status has bit
/// 0x04 or 0x80 are kept for the save but hidden from the walk.
class PmMemoUtil : public PmClassicFileUtil<PmMemoRecord> {
public:
    static constexpr uint32_t kVersionTag = 0x4D500100;

    PmMemoUtil();
    ~PmMemoUtil() override;

    bool LoadUserFile(int32_t userId);
    bool LoadFile(const char* path);
    virtual bool Save(const char* path);

protected:
    bool SaveRecord(const PmMemoRecord& rec) override;
    bool IsHiddenRow(const PmMemoRecord& rec) const override;

private:
    bool ReadRow(PmMemoRecord* rec) override;
};
