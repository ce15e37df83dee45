// The classic address.dat reader (PmAddrUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmAddr.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckClassicFile<PmAddrUtil>(data, size, "address.dat");
    return 0;
}
