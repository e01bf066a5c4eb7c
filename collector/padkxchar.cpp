#include "chantable.h"

void PadKXCHAR(char* text, uint32_t length) {
    uint32_t i = 0;
    while (i < length && text[i] != '\0') ++i;
    for (; i < length; ++i) text[i] = ' ';
}
