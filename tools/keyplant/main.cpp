#include "keyplant.h"

int main() { return KeyplantRun(); }
