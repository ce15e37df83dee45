// The classic datebook.dat reader (PmDateUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmDate.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckClassicFile<PmDateUtil>(data, size, "datebook.dat");
    return 0;
}
