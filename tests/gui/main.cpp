#include "GuiTestEnv.h"

int main(int argc, char** argv) { return guitest::RunGuiTests(argc, argv); }
