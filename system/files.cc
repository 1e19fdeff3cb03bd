#include "system/files.h"

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <system_error>

#include "system/disk.h"
#include "system/paths.h"

namespace {

// A file that a process writing nothing would have written.
struct KeptFile {
  std::string bytes;
  FileFacts facts;
};

struct Kept {
  bool writing_nothing = false;
  uint64_t made = 0;
  // By the folder the file is in (its identity) and the name's storage key in it, so that
  // names reaching one folder through links find one file.
  std::map<std::string, KeptFile> files;
  std::set<std::string> folders;  // made while writing nothing, by storage key
  std::vector<SaveAnswer> answers;
};

Kept& TheKept() {
  static Kept kept;
  return kept;
}

std::string LastElement(const std::string& storage_name) {
  return storage_name.substr(storage_name.rfind('/') + 1);
}

bool IsKeptFolder(const std::string& folder) {
  const Kept& kept = TheKept();
  return kept.writing_nothing && kept.folders.count(StorageKey(folder)) != 0;
}

// Where a kept file of `path` is found: its folder's identity (or, for a folder made while
// writing nothing, its name) and the folded name in it; empty when the folder does not exist.
std::string KeptKey(const std::string& path) {
  const std::string name = StorageName(path);
  if (name.empty()) return std::string();
  const std::string folder_name = DirectoryOf(name);
  FileId folder;
  if (DiskFindFileId(folder_name, &folder)) {
    return std::to_string(folder.device) + ":" + std::to_string(folder.number) + "/" +
           StorageKey(LastElement(name));
  }
  return IsKeptFolder(folder_name) ? StorageKey(name) : std::string();
}

const KeptFile* FindKept(const std::string& path) {
  Kept& kept = TheKept();
  if (!kept.writing_nothing || kept.files.empty()) return nullptr;
  const auto found = kept.files.find(KeptKey(path));
  return found == kept.files.end() ? nullptr : &found->second;
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) {
  if (const KeptFile* file = FindKept(path)) {
    *bytes = file->bytes;
    *facts = file->facts;
    return true;
  }
  return DiskReadRegularFile(path, bytes, facts);
}

bool FindFileId(const std::string& path, FileId* id) {
  if (const KeptFile* file = FindKept(path)) {
    *id = file->facts.id;
    return true;
  }
  return DiskFindFileId(path, id);
}

bool CurrentFacts(const std::string& path, FileFacts* facts) {
  if (const KeptFile* file = FindKept(path)) {
    *facts = file->facts;
    return true;
  }
  return DiskCurrentFacts(path, facts);
}

bool SameFile(const std::string& a, const std::string& b) {
  const std::string first = StorageName(a), second = StorageName(b);
  if (StorageKey(first) == StorageKey(second)) return true;
  if (first.empty() || second.empty()) return false;
  FileId one, other;
  const bool first_there = FindFileId(first, &one), second_there = FindFileId(second, &other);
  if (first_there || second_there) return first_there && second_there && one == other;
  // Neither is there yet: one name in one folder is one file once written.
  const std::string key = KeptKey(first);
  return !key.empty() && key == KeptKey(second);
}

std::string WhyNotReplace(const std::string& target) {
  if (const KeptFile* file = FindKept(target)) {
    if ((file->facts.permissions & 0222) == 0) return "\"" + target + "\" is read-only";
    return std::string();
  }
  // A folder made while writing nothing is new and empty but for what is kept in it.
  if (IsKeptFolder(DirectoryOf(StorageName(target)))) return PathProblem(target);
  return DiskWhyNotReplace(target);
}

bool MakeFolders(const std::string& folder, std::string* why) {
  const std::string name = StorageName(folder);
  std::error_code error;
  if (name.empty()) return true;
  if (!WritingNothing()) {
    std::filesystem::create_directories(name, error);
    if (error) *why = "\"" + name + "\": " + error.message();
    return !error;
  }
  // Each folder not on disk is kept, up to the first that is.
  for (std::string missing = name; !std::filesystem::is_directory(missing, error);
       missing = DirectoryOf(missing)) {
    if (!TheKept().folders.insert(StorageKey(missing)).second || DirectoryOf(missing) == missing) {
      break;
    }
  }
  return true;
}

NothingWritten::NothingWritten() { TheKept().writing_nothing = true; }

NothingWritten::~NothingWritten() {
  Kept& kept = TheKept();
  kept.writing_nothing = false;
  kept.files.clear();
  kept.folders.clear();
}

bool WritingNothing() { return TheKept().writing_nothing; }

void NoteSaveAnswer(const SaveAnswer& answer) { TheKept().answers.push_back(answer); }

std::vector<SaveAnswer> TakeSaveAnswers() {
  std::vector<SaveAnswer> answers;
  answers.swap(TheKept().answers);
  return answers;
}

std::string FileReplacement::TemporaryName() {
  static const char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  static std::mt19937_64 random{std::random_device{}()};
  std::string name = ".quorvel-save-XXXXXX";
  for (size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = kLetters[random() % (sizeof kLetters - 1)];
  }
  return name;
}

FileReplacement::~FileReplacement() { Discard(); }

bool FileReplacement::Begin(const std::string& target, unsigned new_permissions) {
  Discard();
  failed_ = false;
  bytes_.clear();
  target_ = target;
  if (!WhyNotReplace(target).empty()) return false;
  in_memory_ = WritingNothing();
  if (!in_memory_) return BeginOnDisk(target, new_permissions);
  FileFacts old;
  permissions_ = CurrentFacts(target, &old) ? old.permissions : (new_permissions & 0777);
  return true;
}

bool FileReplacement::Commit(FileFacts* written) {
  if (!in_memory_) return CommitOnDisk(written);
  const std::string key = KeptKey(target_);
  if (failed_ || key.empty()) return false;
  Kept& kept = TheKept();
  KeptFile file;
  FileId folder;  // none for a folder made while writing nothing
  DiskFindFileId(DirectoryOf(StorageName(target_)), &folder);
  // A new file, as the rename of a temporary file makes one: an identity of its own.
  file.facts.id.device = folder.device;
  file.facts.id.number = (uint64_t{1} << 63) | ++kept.made;
  file.facts.permissions = permissions_;
  file.facts.size = bytes_.size();
  file.facts.modified = static_cast<int64_t>(kept.made);
  file.bytes.swap(bytes_);
  *written = file.facts;
  kept.files[key] = std::move(file);
  return true;
}
