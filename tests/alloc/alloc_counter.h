// A count of every heap allocation the process makes while counting is on:
// malloc and its kin, and every form of operator new.
#pragma once

// Starts counting from zero.
void startCountingAllocations();
// Stops counting and returns the allocations seen since the start.
long stopCountingAllocations();
