#ifndef VORTALIS_HUBNAMER_H
#define VORTALIS_HUBNAMER_H

enum {
    HUBNAMER_OK = 0,       // QMName written
    HUBNAMER_FAILED = 1,   // the Parameters key did not open, or the value was not written
    HUBNAMER_REFUSED = 2   // the name does not fit; nothing was opened or written
};

// Stores argv[1] (or the empty name) as QMName and prints one line on standard output.
int HubnamerRun(int argc, char** argv);

#endif
