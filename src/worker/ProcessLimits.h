#pragma once

namespace plait::worker {

// What one build may cost by default. Zero lifts a bound.
inline constexpr unsigned kDefaultBuildSeconds = 600;
inline constexpr unsigned long kDefaultBuildMegabytes = 4096;
// Below this the process cannot even start its threads.
inline constexpr unsigned long kMinimumBuildMegabytes = 100;

// Caps the address space of this process, so that a hostile input makes the build fail
// (std::bad_alloc) instead of exhausting the machine. Skipped under AddressSanitizer and
// ThreadSanitizer, which reserve far more address space than they use.
void applyMemoryLimit(unsigned long megabytes);

// True when built with a sanitizer, where the memory limit is not applied.
bool sanitized();

} // namespace plait::worker
