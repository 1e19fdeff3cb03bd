// Helpers shared by the tests: scratch folders and files, the console captured, and the
// trace level set for one scope.
#ifndef TESTING_TEST_SUPPORT_H
#define TESTING_TEST_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ZTRConfigTopicManager.h"
#include "standin_process.h"
#include "system/files.h"
#include "system/paths.h"

// `text` with the storage name of `folder` written "<dir>": messages name files in full, and
// expectations read the same in every folder the tests run in.
inline std::string ScrubFolder(std::string text, const std::string& folder) {
  const std::string name = StorageName(folder);
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
    text.replace(at, name.size(), "<dir>");
  }
  return text;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    // A name nobody holds: creating a folder fails where one is there already.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::filesystem::path path = temp / ("quorvel-test-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(path, error)) path_ = path.generic_string();
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // `text` with this folder written "<dir>", as ScrubFolder does.
  std::string Scrub(const std::string& text) const { return ScrubFolder(text, path_); }

 private:
  std::string path_;
};

// The project's source folder as an absolute path, fixed when the tests start: they change
// folders, and their scratch folders may be on another drive than the sources.
inline const std::filesystem::path kSourceDir = std::filesystem::absolute(QUORVEL_SOURCE_DIR);
// The built Quorvel, as an absolute path fixed the same way.
inline const std::string kQuorvelBinary =
    std::filesystem::absolute(QUORVEL_BINARY).generic_string();

// What a companion's command function gave: its exit code and what it wrote.
struct CommandOutcome {
  int exit_code;
  std::string out, err;
};

// Runs a companion's command function as its main does, with `name` as the invocation name.
template <typename Command>
CommandOutcome RunCommand(Command command, const char* name, std::vector<std::string> args,
                          FileSystem& files = Disk()) {
  args.insert(args.begin(), name);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  std::ostringstream out, err;
  const int exit_code = command(static_cast<int>(argv.size()), argv.data(), out, err, files);
  return {exit_code, out.str(), err.str()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A file written in text mode (a log, a console), read back with its line ends as "\n"
// whatever the system writes for them.
inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Collects what is written to std::cout while it lives.
class CoutCapture {
 public:
  CoutCapture() : old_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(old_); }
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* old_;
};

// Sets the trace level while it lives.
class TraceLevel {
 public:
  explicit TraceLevel(int level) : old_(g_ZTRConfig.GetTraceLevel()) {
    g_ZTRConfig.SetTraceLevel(level);
  }
  ~TraceLevel() { g_ZTRConfig.SetTraceLevel(old_); }

 private:
  int old_;
};

// A fresh scratch folder that is the working directory while it lives.
class InScratchDir {
 public:
  InScratchDir() : old_cwd_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.path());
  }
  ~InScratchDir() { std::filesystem::current_path(old_cwd_); }
  InScratchDir(const InScratchDir&) = delete;
  InScratchDir& operator=(const InScratchDir&) = delete;
  const ScratchDir& dir() const { return dir_; }

 private:
  ScratchDir dir_;
  std::filesystem::path old_cwd_;
};

// Sets an environment variable while it lives (unset when `value` is null).
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    StandinSetEnv(name, value);
  }
  ~EnvVar() { StandinSetEnv(name_.c_str(), had_ ? old_.c_str() : nullptr); }

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

#endif  // TESTING_TEST_SUPPORT_H
