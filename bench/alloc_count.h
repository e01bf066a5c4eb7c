// Counts heap allocations of this process (malloc and everything built on it:
// operator new, the C library's own buffers), for the benchmarks' allocation
// figure in a build without the sanitizers' hooks.
#ifndef VORTALIS_ALLOC_COUNT_H
#define VORTALIS_ALLOC_COUNT_H

namespace alloccount {

void Start();  // counting from 0
long Stop();   // allocations since Start

}  // namespace alloccount

#endif
