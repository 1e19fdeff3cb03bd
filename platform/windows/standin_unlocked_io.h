// Byte-at-a-time input from a C stream without a lock per byte, on Windows (see
// platform/posix/standin_unlocked_io.h).
#ifndef PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H
#define PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H

#include <cstdio>

inline int StandinTakeByte(std::FILE* file) { return _getc_nolock(file); }
inline void StandinLockFile(std::FILE* file) { _lock_file(file); }
inline void StandinUnlockFile(std::FILE* file) { _unlock_file(file); }

#endif  // PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H
