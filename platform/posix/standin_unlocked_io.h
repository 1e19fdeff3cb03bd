// Byte-at-a-time input from a C stream without a lock per byte, on POSIX systems: the reader
// takes the stream's lock once and then each byte unlocked. Its Windows twin is
// platform/windows/standin_unlocked_io.h; the build puts its own system's folder on the
// include path.
#ifndef PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H
#define PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H

#include <cstdio>

inline int StandinTakeByte(std::FILE* file) { return getc_unlocked(file); }
inline void StandinLockFile(std::FILE* file) { flockfile(file); }
inline void StandinUnlockFile(std::FILE* file) { funlockfile(file); }

#endif  // PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H
