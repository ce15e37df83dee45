// A 6.x database file of any bytes, loaded through each of the four 6.x
// utilities with a deletion written back: SQLite must refuse a damaged file
// cleanly, and a load or a deletion must never report success for what it
// did not do (the checks of FuzzEx2.h). The seeds are databases the fixture
// writes, so the mutations are mostly damaged databases rather than noise.
#include "FuzzEx2.h"
#include "FuzzSupport.h"

#include "palm/PalmAddrEx2.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmTodoEx2.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first record and the third are deleted; each utility gets a fresh
    // copy of the input, as a deletion changes the file.
    const uint8_t deletions = 0x05;
    fuzz::CheckEx2Database<PmAddrEx2Util>(fuzz::WriteEx2File("Address.mdb", data, size), deletions, "contacts");
    fuzz::CheckEx2Database<PmDateEx2Util>(fuzz::WriteEx2File("DateBook.mdb", data, size), deletions, "calendar");
    fuzz::CheckEx2Database<PmTodoEx2Util>(fuzz::WriteEx2File("Todolist.mdb", data, size), deletions, "tasks");
    fuzz::CheckEx2Database<PmMemoEx2Util>(fuzz::WriteEx2File("MemoPad.mdb", data, size), deletions, "memos");
    return 0;
}
