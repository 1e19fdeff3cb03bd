// The kind of operating system the program is built for, for the few places whose outcome
// differs between systems by design (path rules, letter case, permissions, line ends).
#ifndef SYSTEM_SYSTEM_H
#define SYSTEM_SYSTEM_H

// True on Windows: "\" and "/" separate folders, drive letters and UNC paths are absolute,
// and file names compare without regard to case.
bool OnWindows();

// Standard output takes the bytes written as they are: on Windows, where it is in text mode
// and would write each line feed as CR LF, it is set to binary mode; elsewhere nothing changes.
void BinaryStandardOutput();

#endif  // SYSTEM_SYSTEM_H
