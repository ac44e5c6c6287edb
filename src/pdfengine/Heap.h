#pragma once

namespace plait::pdf {

// Sets the heap's two thresholds for the process, once, before its first build: memory is
// given back to the system only when more than 1 MiB lies free at the top of a heap, and
// blocks of 1 MiB and more come straight from the system and go straight back.
//
// The C library starts both at 128 KiB and raises them only once a block above them has been
// freed. A build that never frees such a block (text marking, whose copy of the output is read
// from a file) would otherwise give back and take again the text layout's memory at every page,
// a page fault for every 4 KiB of it: ten times the faults of the same search with the
// thresholds raised, for the same peak memory.
void settleHeapThresholds();

} // namespace plait::pdf
