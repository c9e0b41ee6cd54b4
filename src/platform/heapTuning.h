#pragma once

#include <string>

namespace tetrapan {

// How the program has glibc's allocator keep its heaps. A large library is read into hundreds of thousands of
// small blocks, on two threads at once; each fresh page they touch costs the kernel a fault, which on a
// virtual machine costs many times what it does on bare hardware. Heaps that grow 32 MiB at a time, advised
// to the kernel as huge pages, take one fault where there were 512, and halve the library's reading. glibc
// reads its settings only as a process starts, from its environment, so the program starts itself once more
// with them, as its first step.
namespace heapTuning {

// The allocator's settings, in glibc's form (GLIBC_TUNABLES).
inline constexpr const char* Tunables = "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=33554432";
// Where the restarted program finds the user's own GLIBC_TUNABLES ("=<value>", or empty when it was unset).
inline constexpr const char* UsersTunablesVariable = "TETRAPAN_USERS_GLIBC_TUNABLES";

// The settings to restart with, given the user's own (null when unset): ours first, so that one the user
// made on purpose has the last word.
std::string tunedValue(const char* users);

// In the program restarted by restartTuned: puts the user's GLIBC_TUNABLES back, so that the programs it
// starts run as the user set them. False in a program started otherwise.
bool giveBackUsersSettings();

// Whether the settings would do anything here: glibc knows them, the kernel gives huge pages, and no
// sanitizer brings an allocator of its own.
bool applies();

// Restarts the program with the settings, keeping its arguments and its name, and returns only where it does
// not: once restarted, where the settings do not apply, or when the restart fails. Must run before the
// program starts a thread.
void restartTuned(char** argv);

} // namespace heapTuning
} // namespace tetrapan
