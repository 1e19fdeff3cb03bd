// The kind of operating system the stand-in is built for, for the few tests whose outcome
// differs between systems by design (path rules, letter case, permissions).
#ifndef SYSTEM_SYSTEM_H
#define SYSTEM_SYSTEM_H

// True on Windows: "\" and "/" separate folders, drive letters and UNC paths are absolute,
// and file names compare without regard to case.
bool OnWindows();

#endif  // SYSTEM_SYSTEM_H
