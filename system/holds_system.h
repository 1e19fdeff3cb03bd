// What each system's holds_*.cc gives the holds (system/holds.h): this process as a hold
// names it, whether a process still runs, and the hold files themselves.
#ifndef SYSTEM_HOLDS_SYSTEM_H
#define SYSTEM_HOLDS_SYSTEM_H

#include <cstdint>
#include <string>

#include "system/holds.h"

// This process: user, machine, process number and start (hold_file and since left empty).
const Holder& ThisProcess();

// True when the process numbered `process` runs on this machine and, where `started` is not
// 0, is the one that started then (not a later one given the same number).
bool ProcessRuns(int64_t process, int64_t started);

// `path` (a storage name) with the links of its folders, and its own where it is one, resolved
// where the system can.
std::string ResolvedPath(const std::string& path);

// Creates the file `path` with `text` only where nothing is under that name: 1 when made, 0
// when something is there, -1 when no file can be made there (a folder this user may not
// write), -2 when this process cannot make one now (out of open files or memory): `why` tells.
int CreateHoldFile(const std::string& path, const std::string& text, std::string* why);

// Reads at most `limit` bytes of the hold file `path`, and how many seconds ago it last
// changed: 1 when read, 0 when there is none, -1 when it is there but cannot be read.
int ReadHoldFile(const std::string& path, size_t limit, std::string* text, int64_t* age);

// Renames the hold file `from` to the new name `to`; false when `from` is gone.
bool MoveHoldFile(const std::string& from, const std::string& to);

// Gives the file `from` the name `to` too, only where nothing is under that name.
bool RestoreHoldFile(const std::string& from, const std::string& to);

void RemoveHoldFile(const std::string& path);

#endif  // SYSTEM_HOLDS_SYSTEM_H
