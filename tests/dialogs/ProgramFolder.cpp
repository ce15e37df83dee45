// This program's tests run with a program folder of their own.
#include "ProgramFolder.h"

TARNWICK_TEST_PROGRAM_FOLDER();
