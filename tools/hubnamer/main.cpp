#include "hubnamer.h"

int main(int argc, char** argv) { return HubnamerRun(argc, argv); }
