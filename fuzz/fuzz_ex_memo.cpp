// The 4.1.x memopad.dat reader (PmMemoExUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmMemoEx.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckExFile<PmMemoExUtil>(data, size, "memopad.dat");
    return 0;
}
