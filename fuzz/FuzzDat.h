// The load-and-save check of the .dat file targets, for both layouts.
//
// A file that loads is saved back to itself, as the wizard saves after its
// deletions. That save must work (whatever a load accepts, a save can write:
// otherwise a user could not delete anything), the file it writes must load
// again with the same records, and saving that second load must give the
// very same bytes, since a save writes back what was read.
#pragma once

#include "FuzzSupport.h"

#include <cstdint>
#include <string>

namespace fuzz {

/// 4.1.x utilities (PmSGUtil): LoadFile, Save to the loaded path, DataMgr.
template <typename Util>
void CheckExFile(const uint8_t* data, size_t size, const char* fileName)
{
    std::string path = WriteScratchFile(fileName, data, size);
    uint32_t count = 0;
    {
        Util util;
        if (!util.LoadFile(path.c_str()))
            return;
        count = util.DataMgr()->Count();
        if (!util.Save())
            Fail("a loaded 4.1.x file cannot be saved", fileName);
    }
    std::string first = ReadScratchFile(path);
    Util again;
    if (!again.LoadFile(path.c_str()))
        Fail("a 4.1.x file the save wrote does not load", fileName);
    if (again.DataMgr()->Count() != count)
        Fail("a 4.1.x save lost or gained records", fileName);
    if (!again.Save())
        Fail("a reloaded 4.1.x file cannot be saved", fileName);
    if (ReadScratchFile(path) != first)
        Fail("saving a 4.1.x file the save wrote changed its bytes", fileName);
}

/// Classic utilities (PmClassicFileUtil): LoadFile, Save(path),
/// GetDataMgr with hidden rows.
template <typename Util>
void CheckClassicFile(const uint8_t* data, size_t size, const char* fileName)
{
    std::string path = WriteScratchFile(fileName, data, size);
    uint32_t rows = 0, shown = 0;
    {
        Util util;
        if (!util.LoadFile(path.c_str()))
            return;
        rows = util.GetDataMgr()->RowCount();
        shown = util.GetDataMgr()->Count();
        if (!util.Save(path.c_str()))
            Fail("a loaded classic file cannot be saved", fileName);
    }
    std::string first = ReadScratchFile(path);
    Util again;
    if (!again.LoadFile(path.c_str()))
        Fail("a classic file the save wrote does not load", fileName);
    if (again.GetDataMgr()->RowCount() != rows || again.GetDataMgr()->Count() != shown)
        Fail("a classic save lost or gained records", fileName);
    if (!again.Save(path.c_str()))
        Fail("a reloaded classic file cannot be saved", fileName);
    if (ReadScratchFile(path) != first)
        Fail("saving a classic file the save wrote changed its bytes", fileName);
}

}  // namespace fuzz
