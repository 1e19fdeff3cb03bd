// File names on Windows, for the system layer's *_windows.cc files only: the program's 8-bit
// names are taken in the code page of the system's narrow file functions (those of the C
// runtime included), so that a name reaches the file that fopen would open, and every file
// function is given the long-path form (LongPath), so that no path stops at MAX_PATH.
#ifndef SYSTEM_NAMES_WINDOWS_H
#define SYSTEM_NAMES_WINDOWS_H

#include <windows.h>

#include <string>

inline UINT FileCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// `text` in UTF-16, from `code_page`.
inline std::wstring Wide(const std::string& text, UINT code_page = FileCodePage()) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], n);
  return wide;
}

// `wide` in `code_page`.
inline std::string Narrow(const std::wstring& wide, UINT code_page = FileCodePage()) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(code_page, 0, wide.data(), size, &text[0], n, nullptr, nullptr);
  return text;
}

// The name the system's wide file functions take for `path`: its storage name (made absolute,
// folded as the system folds it) in the long-path form, "\\?\C:\..." or
// "\\?\UNC\server\share\...", which reaches files whose path is longer than MAX_PATH. A
// path that names no file (a device, a NUL byte, a character no name holds) is left as the
// system itself takes it, for the system to refuse or to reach the device.
std::wstring LongPath(const std::string& path);

#endif  // SYSTEM_NAMES_WINDOWS_H
