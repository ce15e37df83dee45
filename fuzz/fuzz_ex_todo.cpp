// The 4.1.x todo.dat reader (PmTodoExUtil), on any bytes.
#include "FuzzDat.h"
#include "FuzzSupport.h"

#include "palm/PalmTodoEx.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::CheckExFile<PmTodoExUtil>(data, size, "todo.dat");
    return 0;
}
