// Reading a 4-byte setting from the collector's Parameters key.
#ifndef VORTALIS_REGPARAM_H
#define VORTALIS_REGPARAM_H

#include <cstdint>

// Opens the Parameters key for reading, reads `value` into a 4-byte buffer whose
// size is given as 4, and closes the key. The registry type is not examined: data
// of up to 4 bytes is taken as a little-endian number (fewer bytes fill only the
// low bytes). Returns false, leaving *out alone, when the key does not open, the
// value is missing or its data is longer than 4 bytes.
bool ReadParameterDword(const char* value, uint32_t* out);

#endif
