// The kind of operating system the program is built for, for the few places whose outcome
// differs between systems by design (path rules, letter case, permissions, line ends).
#ifndef SYSTEM_SYSTEM_H
#define SYSTEM_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// True on Windows: "\" and "/" separate folders, drive letters and UNC paths are absolute,
// and file names compare without regard to case.
bool OnWindows();

// Standard output takes the bytes written as they are: on Windows, where it is in text mode
// and would write each line feed as CR LF, it is set to binary mode; elsewhere nothing changes.
void BinaryStandardOutput();

// Opens the file at `path` for reading bytes as a stream of the C runtime, as fopen(path, "rb")
// does; null when it cannot be opened.
FILE* OpenForReading(const char* path);

// Why the file at `path` cannot be opened for reading, in the system's words ("No such file or
// directory", "Is a directory", "Not a regular file", "Permission denied"...); empty when it can.
std::string WhyNotReadable(const std::string& path);

// The byte position of an open stream, in 64 bits on every system (files past 2 GiB included,
// where the standard library's long is 32 bits); -1 where the stream cannot seek (a pipe, a
// terminal).
int64_t StreamPosition(FILE* stream);

// Puts an open stream at byte `position`; false where it cannot.
bool SetStreamPosition(FILE* stream, int64_t position);

// Writes `size` bytes to standard output's file, past the C runtime's buffers; false, with the
// system's error number in `error`, when not all of them were written.
bool WriteStandardOutput(const char* bytes, size_t size, int* error);

// The files this process may have open at once: the limit in force (what `ulimit -n` shows),
// the highest it may be raised to, and how many more files can be opened now, below it. Each
// is negative where the system sets no such limit that a program meets (Windows).
struct OpenFileRoom {
  int64_t limit = -1;
  int64_t hard_limit = -1;
  int64_t left = -1;
};
OpenFileRoom OpenFileRoomNow();

// The permission bits a program's new file gets from this user, as an editor's does: read and
// write for all, less what the user's file mode mask (umask) takes away. 0666 on Windows.
unsigned NewFilePermissions();

// True when standard output is a terminal that a person reads as it comes.
bool StandardOutputIsTerminal();

// The whole of what `path` gives when read, as fopen(path, "rb") reads it: a regular file, or a
// pipe or device that a user names (a shell's process substitution, /dev/stdin), at most
// `limit` bytes. False, with the system's reason, when it cannot be opened or read; false with
// `why` empty when it goes on past `limit`, of which no more is read.
bool ReadWholeInput(const std::string& path, size_t limit, std::string* bytes, std::string* why);

#endif  // SYSTEM_SYSTEM_H
