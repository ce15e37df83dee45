// The classic memopad.dat reader (PmMemoUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmMemo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckClassicFile<PmMemoUtil>(data, size, "memopad.dat");
    return 0;
}
