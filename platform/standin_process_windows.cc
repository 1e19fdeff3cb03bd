#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "standin_process.h"

namespace {

// `arg` quoted so that the C runtime's command-line parsing gives it back unchanged.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only before a quote, which is then escaped itself.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
}

// Windows compares the names of environment variables without regard to case.
bool SameName(const std::string& variable, const std::string& name) {
  return variable.size() > name.size() && variable[name.size()] == '=' &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, variable.data(),
                        static_cast<int>(name.size()), name.data(),
                        static_cast<int>(name.size())) == CSTR_EQUAL;
}

HANDLE OpenInherited(const char* path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

void StandinSetEnv(const char* name, const char* value) {
  // An empty value removes the variable on Windows.
  _putenv_s(name, value != nullptr ? value : "");
}

int StandinRunProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& directory, const std::vector<std::string>& environment,
                      const std::string& out_file, const std::string& err_file) {
  std::vector<std::string> variables;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
      variables.emplace_back(entry);
    }
    FreeEnvironmentStringsA(block);
  }
  for (const std::string& change : environment) {
    const std::string name = change.substr(0, change.find('='));
    std::vector<std::string> kept;
    for (std::string& variable : variables) {
      if (!SameName(variable, name)) kept.push_back(variable);
    }
    variables.swap(kept);
    if (change.find('=') != std::string::npos) variables.push_back(change);
  }
  std::string block;
  for (const std::string& variable : variables) block += variable + '\0';
  block += '\0';
  std::string command_line = QuoteArgument(program);
  for (const std::string& arg : arguments) command_line += " " + QuoteArgument(arg);

  HANDLE in = OpenInherited("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = OpenInherited(out_file.empty() ? "NUL" : out_file.c_str(), GENERIC_WRITE,
                             out_file.empty() ? OPEN_EXISTING : CREATE_ALWAYS);
  HANDLE err = OpenInherited(err_file.empty() ? "NUL" : err_file.c_str(), GENERIC_WRITE,
                             err_file.empty() ? OPEN_EXISTING : CREATE_ALWAYS);
  int exit_code = -1;
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, &block[0],
                       directory.c_str(), &startup, &process)) {
      DWORD code = 0;
      if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
          GetExitCodeProcess(process.hProcess, &code)) {
        exit_code = static_cast<int>(code);
      }
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  for (HANDLE handle : {in, out, err}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  return exit_code;
}
