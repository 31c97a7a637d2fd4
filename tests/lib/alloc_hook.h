// The tests' watch on the heap: every allocation the process makes while watching
// is on (malloc and its kin, every form of operator new), counted, and the largest
// single request remembered, whether or not it could be met.
#pragma once

#include <cstddef>

// Starts watching from zero.
void startCountingAllocations();
// Stops watching and returns the allocations seen since the start.
long stopCountingAllocations();
// The largest single request seen while watching was last on, in bytes.
std::size_t largestAllocationRequest();
