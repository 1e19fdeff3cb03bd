#include <windows.h>

#include <string>

#include "system/names_windows.h"
#include "system/paths.h"
#include "system/process.h"

namespace {

// `arg` quoted so that the C runtime's command-line parsing gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only before a quote, which is then escaped itself.
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L'"';
}

// Windows compares the names of environment variables without regard to case.
bool SameName(const std::wstring& variable, const std::wstring& name) {
  return variable.size() > name.size() && variable[name.size()] == L'=' &&
         CompareStringOrdinal(variable.data(), static_cast<int>(name.size()), name.data(),
                              static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment changed by `environment`, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const std::vector<std::string>& environment) {
  std::vector<std::wstring> variables;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      variables.emplace_back(entry);
    }
    FreeEnvironmentStringsW(block);
  }
  for (const std::string& change : environment) {
    const std::wstring wide = Wide(change);
    const std::wstring name = wide.substr(0, wide.find(L'='));
    std::vector<std::wstring> kept;
    for (std::wstring& variable : variables) {
      if (!SameName(variable, name)) kept.push_back(variable);
    }
    variables.swap(kept);
    if (wide.find(L'=') != std::wstring::npos) variables.push_back(wide);
  }
  std::wstring block;
  for (const std::wstring& variable : variables) block += variable + L'\0';
  return block + L'\0';
}

}  // namespace

std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
  const std::wstring block = EnvironmentBlock(changes);
  std::vector<std::string> variables;
  for (size_t at = 0; at < block.size() && block[at] != L'\0'; at = block.find(L'\0', at) + 1) {
    variables.push_back(Narrow(block.substr(at, block.find(L'\0', at) - at)));
  }
  return variables;
}

namespace {

class WindowsChild : public ChildProcess {
 public:
  explicit WindowsChild(HANDLE process) : process_(process) {}
  ~WindowsChild() override {
    int ignored;
    Wait(-1, &ignored);
    CloseHandle(process_);
  }

  bool Wait(int milliseconds, int* exit_code) override {
    const DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    const DWORD waited = WaitForSingleObject(process_, timeout);
    if (waited == WAIT_TIMEOUT) return false;
    DWORD code = 0;
    *exit_code = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code)
                     ? static_cast<int>(code)
                     : -1;
    return true;
  }

  void Stop() override { TerminateProcess(process_, 1); }

 private:
  HANDLE process_;
};

volatile LONG g_end_asked = 0;

BOOL WINAPI NoteEnd(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&g_end_asked, 1);
  return TRUE;
}

}  // namespace

EndRequests::EndRequests() {
  InterlockedExchange(&g_end_asked, 0);
  SetConsoleCtrlHandler(NoteEnd, TRUE);
}

EndRequests::~EndRequests() { SetConsoleCtrlHandler(NoteEnd, FALSE); }

bool EndAsked() { return InterlockedCompareExchange(&g_end_asked, 0, 0) != 0; }

std::string OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return StorageName(Narrow(path));
    }
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

std::string ExecutableFileName(const std::string& name) { return name + ".exe"; }

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  const std::vector<std::string>& environment,
                                                  std::string* why) {
  const std::wstring wide_program = Wide(program);
  std::wstring command_line = QuoteArgument(wide_program);
  for (const std::string& arg : arguments) command_line += L" " + QuoteArgument(Wide(arg));
  std::wstring block = EnvironmentBlock(environment);

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(wide_program.c_str(), &command_line[0], nullptr, nullptr, TRUE,
                     CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr, &startup, &process);
  const DWORD error = GetLastError();
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!started) {
    *why = "\"" + program + "\" could not be started (error " + std::to_string(error) + ")";
    return nullptr;
  }
  CloseHandle(process.hThread);
  return std::make_unique<WindowsChild>(process.hProcess);
}
