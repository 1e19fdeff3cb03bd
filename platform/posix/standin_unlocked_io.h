// Input from a C stream without a lock per call, on POSIX systems: the reader takes the
// stream's lock once, then takes bytes unlocked, and scans the bytes the stream has read ahead
// where it buffers them in the open (the GNU C library does). Its Windows twin is
// platform/windows/standin_unlocked_io.h; the build puts its own system's folder on the
// include path.
#ifndef PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H
#define PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H

#include <cstddef>
#include <cstdio>

inline int StandinTakeByte(std::FILE* file) { return getc_unlocked(file); }
inline void StandinLockFile(std::FILE* file) { flockfile(file); }
inline void StandinUnlockFile(std::FILE* file) { funlockfile(file); }

// The bytes that the stream has read ahead and not handed out yet, without reading: their
// count, and where they are in `*bytes`. 0 where the runtime does not show its buffer.
inline size_t StandinBufferedBytes(std::FILE* file, const char** bytes) {
#ifdef __GLIBC__
  *bytes = file->_IO_read_ptr;
  return file->_IO_read_ptr < file->_IO_read_end
             ? static_cast<size_t>(file->_IO_read_end - file->_IO_read_ptr)
             : 0;
#else
  (void)file;
  *bytes = nullptr;
  return 0;
#endif
}

// Takes `count` of the bytes that StandinBufferedBytes showed.
inline void StandinSkipBuffered(std::FILE* file, size_t count) {
#ifdef __GLIBC__
  file->_IO_read_ptr += count;
#else
  (void)file;
  (void)count;
#endif
}

#endif  // PLATFORM_POSIX_STANDIN_UNLOCKED_IO_H
