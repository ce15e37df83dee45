// The classic tasks file "todo.dat" of Palm Desktop 4.1 and earlier.
#pragma once

#include "palm/PalmClassic.h"

/// One stored task; texts are kept whole.
struct PmTodoRecord {
    static constexpr int kFields = 10;
    static constexpr size_t kDescriptionCapacity = 8192;
    static constexpr size_t kNoteCapacity = 8192;

    int32_t RecordID = 0;
    int32_t Status = 0;
    int32_t Placement = 0;
    std::string Description;
    int32_t DueDate = 0;  // a Palm time value
    int32_t Completed = 0;
    int32_t Priority = 0;  // 1 highest to 5 lowest
    int32_t Private = 0;
    int32_t Category = 0;
    std::string Note;
};

using PmTodoDataMgr = PmClassicDataMgr<PmTodoRecord>;

/// "todo.dat" of Palm Desktop 4.1 and earlier. Tasks whose status has bit
/// 0x04 or 0x80 (deleted or archived, still to be carried to the handheld)
/// are kept for the save but hidden from the walk.
class PmTodoUtil : public PmClassicFileUtil<PmTodoRecord> {
public:
    static constexpr uint32_t kVersionTag = 0x54440100;

    PmTodoUtil();
    ~PmTodoUtil() override;

    bool LoadUserFile(int32_t userId);
    bool LoadFile(const char* path);
    virtual bool Save(const char* path);

protected:
    bool SaveRecord(const PmTodoRecord& rec) override;
    bool IsHiddenRow(const PmTodoRecord& rec) const override;

private:
    bool ReadRow(PmTodoRecord* rec) override;
};
