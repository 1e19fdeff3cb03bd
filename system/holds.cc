#include "system/holds.h"

#include <cctype>
#include <ctime>
#include <map>
#include <sstream>

#include "system/disk.h"
#include "system/holds_system.h"
#include "system/paths.h"

namespace {

const char kHoldPrefix[] = ".quorvel-hold-";
// A hold file is a few short lines; anything longer is not one.
const size_t kHoldFileLimit = 4096;
// A hold file that says nothing readable is one being written; after this long, one whose
// process died before it wrote it.
const int64_t kUnreadableHoldSeconds = 10;

// The holds this process keeps, by hold file in the form StorageKey gives (which reaches the
// same file): how often each is held, and since when (so that only the hold file this process
// made is ever removed).
struct HeldHere {
  int64_t since = 0;
  int count = 0;
};
using HeldFiles = std::map<std::string, HeldHere>;
// Never destroyed: a session that the process ends without deleting releases its holds while
// the process exits, after the function-local statics made later are gone.
HeldFiles& Held() {
  static HeldFiles* const held = new HeldFiles;
  return *held;
}

class DiskHold : public FileHold {
 public:
  explicit DiskHold(HeldFiles::iterator held) : held_(held) {}
  ~DiskHold() override {
    if (--held_->second.count > 0) return;
    Holder me = ThisProcess();
    me.since = held_->second.since;
    std::string there;
    int64_t age = 0;
    if (ReadHoldFile(held_->first, kHoldFileLimit, &there, &age) == 1 && there == HoldText(me)) {
      RemoveHoldFile(held_->first);
    }
    Held().erase(held_);
  }

 private:
  HeldFiles::iterator held_;
};

bool SameMachine(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A value on one line of a hold file: no line breaks or other control bytes.
std::string OneLine(const std::string& value) {
  std::string line = value;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return line;
}

enum class HoldState { kNone, kThisProcess, kOther, kStale };

// What the hold file `file` says now; `text` is what it holds.
HoldState Look(const std::string& file, Holder* holder, std::string* text) {
  int64_t age = 0;
  *holder = Holder();
  holder->hold_file = file;
  const int read = ReadHoldFile(file, kHoldFileLimit, text, &age);
  if (read == 0) return HoldState::kNone;
  if (read < 0 || !ParseHoldText(*text, holder)) {
    holder->hold_file = file;
    return read > 0 && age > kUnreadableHoldSeconds ? HoldState::kStale : HoldState::kOther;
  }
  holder->hold_file = file;
  const Holder& me = ThisProcess();
  if (!SameMachine(holder->machine, me.machine)) return HoldState::kOther;
  if (holder->process == me.process && holder->started == me.started) {
    return HoldState::kThisProcess;
  }
  return ProcessRuns(holder->process, holder->started) ? HoldState::kOther : HoldState::kStale;
}

// Clears the hold file `file` whose process is gone, as long as it still holds `stale`: it is
// first renamed aside, so that of several processes clearing it at once one does; a hold that
// another process took meanwhile, found aside, is put back.
void ClearStale(const std::string& file, const std::string& stale) {
  const std::string aside = DirectoryOf(file) + (DirectoryOf(file).back() == '/' ? "" : "/") +
                            ".quorvel-unhold-" + TemporaryFileName().substr(14);
  if (!MoveHoldFile(file, aside)) return;  // cleared by another already
  std::string moved;
  int64_t age = 0;
  if (ReadHoldFile(aside, kHoldFileLimit, &moved, &age) == 1 && moved != stale) {
    RestoreHoldFile(aside, file);
  }
  RemoveHoldFile(aside);
}

std::string Hex(uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) hex[static_cast<size_t>(i)] = kDigits[value & 15];
  return hex;
}

std::string TimeText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  const std::tm* utc = std::gmtime(&time);
  if (utc == nullptr) return "an unknown time";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", utc);
  return text;
}

}  // namespace

std::string HoldFileOf(const std::string& path) {
  const std::string resolved = ResolvedPath(StorageName(path));
  const std::string folder = DirectoryOf(resolved);
  std::string name = resolved.substr(resolved.rfind('/') + 1);
  if (name.size() > 200) {
    // A name near the system's longest: a shorter one, told apart by a hash of the whole.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : StorageKey(name)) hash = (hash ^ c) * 1099511628211ull;
    name = name.substr(0, 150) + "~" + Hex(hash);
  }
  return folder + (folder.back() == '/' ? "" : "/") + kHoldPrefix + name;
}

std::string HoldText(const Holder& holder) {
  std::ostringstream text;
  text << "quorvel-hold 1\nuser " << OneLine(holder.user) << "\nmachine " << OneLine(holder.machine)
       << "\nprocess " << holder.process << "\nstarted " << holder.started << "\nsince "
       << holder.since << "\n";
  return text.str();
}

bool ParseHoldText(const std::string& text, Holder* holder) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != "quorvel-hold 1") return false;
  bool has_machine = false, has_process = false;
  while (std::getline(in, line)) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
    std::istringstream number(value);
    if (key == "user") {
      holder->user = value;
    } else if (key == "machine") {
      holder->machine = value;
      has_machine = !value.empty();
    } else if (key == "process") {
      has_process = static_cast<bool>(number >> holder->process);
    } else if (key == "started") {
      number >> holder->started;
    } else if (key == "since") {
      number >> holder->since;
    }
  }
  return has_machine && has_process;
}

std::unique_ptr<FileHold> HoldDiskFile(const std::string& path, Holder* holder) {
  const std::string file = HoldFileOf(path);
  const std::string key = StorageKey(file);
  const auto held = Held().find(key);
  if (held != Held().end()) {
    ++held->second.count;
    return std::make_unique<DiskHold>(held);
  }
  Holder me = ThisProcess();
  me.since = static_cast<int64_t>(std::time(nullptr));
  const std::string text = HoldText(me);
  // A few tries: a hold released or cleared meanwhile is taken on the next.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int made = CreateHoldFile(file, text, &holder->problem);
    if (made == -2) {
      holder->hold_file = file;
      return nullptr;  // a document opened unheld could be saved over by another run
    }
    if (made < 0) return std::make_unique<FileHold>();  // keeps nothing
    int64_t since = me.since;
    if (made == 0) {
      std::string there;
      switch (Look(file, holder, &there)) {
        case HoldState::kNone:
          continue;
        case HoldState::kOther:
          return nullptr;
        case HoldState::kStale:
          ClearStale(file, there);
          continue;
        case HoldState::kThisProcess:
          since = holder->since;  // left by an earlier session of this process: taken over
          break;
      }
    }
    return std::make_unique<DiskHold>(Held().emplace(key, HeldHere{since, 1}).first);
  }
  std::string there;
  Look(file, holder, &there);  // still contended: who holds it now
  return nullptr;
}

bool FindDiskHolder(const std::string& path, Holder* holder) {
  std::string there;
  return Look(HoldFileOf(path), holder, &there) == HoldState::kOther;
}

std::string DescribeHolder(const Holder& holder) {
  if (!holder.problem.empty()) {
    return "not held: its hold file \"" + holder.hold_file + "\" cannot be made (" +
           holder.problem + ")";
  }
  if (holder.machine.empty()) {
    return "held by a session whose hold file \"" + holder.hold_file + "\" cannot be read";
  }
  std::string text = "held by " + (holder.user.empty() ? "an unknown user" : holder.user) + " on " +
                     holder.machine + " (process " + std::to_string(holder.process) + ", since " +
                     TimeText(holder.since) + ")";
  if (!SameMachine(holder.machine, ThisProcess().machine)) {
    text += "; if that process no longer runs on " + holder.machine + ", remove \"" +
            holder.hold_file + "\"";
  }
  return text;
}
