// The 4.1.x address.dat reader (PmAddrExUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmAddrEx.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckExFile<PmAddrExUtil>(data, size, "address.dat");
    return 0;
}
