#ifndef VORTALIS_KEYPLANT_H
#define VORTALIS_KEYPLANT_H

// Exit statuses of a run.
enum {
    KEYPLANT_OK = 0,            // every key created, every value written, every key closed
    KEYPLANT_STOPPED = 1,       // a key could be neither created nor opened; the run ended there
    KEYPLANT_INCOMPLETE = 2     // the run went to its end, but a value or a close failed
};

// One run of the registration tool: creates the four keys, writes the eleven
// values and reports each step on standard output.
int KeyplantRun(void);

#endif
