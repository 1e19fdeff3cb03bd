// Input from a C stream without a lock per call, on Windows (see
// platform/posix/standin_unlocked_io.h). The classic runtime (msvcrt) buffers in the open;
// the universal runtime hides its buffer, and its bytes are then taken one at a time.
#ifndef PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H
#define PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H

#include <cstddef>
#include <cstdio>

inline int StandinTakeByte(std::FILE* file) { return _getc_nolock(file); }
inline void StandinLockFile(std::FILE* file) { _lock_file(file); }
inline void StandinUnlockFile(std::FILE* file) { _unlock_file(file); }

inline size_t StandinBufferedBytes(std::FILE* file, const char** bytes) {
#ifdef _UCRT
  (void)file;
  *bytes = nullptr;
  return 0;
#else
  *bytes = file->_ptr;
  return file->_cnt > 0 ? static_cast<size_t>(file->_cnt) : 0;
#endif
}

inline void StandinSkipBuffered(std::FILE* file, size_t count) {
#ifdef _UCRT
  (void)file;
  (void)count;
#else
  file->_ptr += count;
  file->_cnt -= static_cast<int>(count);
#endif
}

#endif  // PLATFORM_WINDOWS_STANDIN_UNLOCKED_IO_H
