#include "projectindex/project_walk.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "CATDocumentLinks.h"
#include "system/paths.h"

namespace {

// Files larger than this are not read: no document is, and memory stays bounded.
const uint64_t kLargestDocument = uint64_t{256} << 20;
// Files read ahead of the storing: enough to keep both threads busy, little memory.
const size_t kReadAhead = 256;

// The files read by the walking thread, waiting to be stored.
class ReadQueue {
 public:
  // Waits for room; false when the storing side has stopped.
  bool Push(ReadFile file) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return files_.size() < kReadAhead || stopped_; });
    if (stopped_) return false;
    files_.push_back(std::move(file));
    ready_.notify_one();
    return true;
  }
  // Waits for a file; false when the walk has ended and every file was taken.
  bool Pop(ReadFile* file) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return !files_.empty() || ended_; });
    if (files_.empty()) return false;
    *file = std::move(files_.front());
    files_.pop_front();
    room_.notify_one();
    return true;
  }
  void End() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    ready_.notify_one();
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    room_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable room_, ready_;
  std::deque<ReadFile> files_;
  bool ended_ = false, stopped_ = false;
};

}  // namespace

bool WalkProject(FileSystem& files, const std::string& project, const std::string& skip_prefix,
                 WalkCounts* counts, const VisitFile& visit) {
  std::vector<std::string> folders = {project};
  std::set<FileId> walked;
  std::vector<FolderEntry> entries;
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    FileId id;
    if (files.FindFileId(folder, &id) && !walked.insert(id).second) {
      ++counts->cycles;
      continue;
    }
    if (!files.ListFolderEntries(folder, &entries)) {
      ++counts->unlisted;
      continue;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      const std::string path = folder + (folder.back() == '/' ? "" : "/") + entry.name;
      const std::string key = StorageKey(path);
      if (!skip_prefix.empty() && key.compare(0, skip_prefix.size(), skip_prefix) == 0) continue;
      if (entry.kind == FolderEntry::kLink) ++counts->links;
      if (entry.kind == FolderEntry::kOther) ++counts->other;
      if (entry.kind == FolderEntry::kFolder) folders.push_back(path);
      if (entry.kind == FolderEntry::kRegularFile && !visit(path, key, entry.facts)) return false;
    }
  }
  return true;
}

ReadFile ReadProjectFile(FileSystem& files, const StoredPaths& paths, const std::string& path,
                         const std::string& key, const FileFacts& facts) {
  ReadFile read;
  read.key = paths.Key(key);
  read.name = paths.Name(path);
  read.facts = facts;
  if (facts.size > kLargestDocument) {
    read.kind = kNotADocument;
    return read;
  }
  std::string bytes;
  if (!files.ReadRegularFile(path, &bytes, &read.facts)) {
    read.facts.modified = kReadAgain;
    return read;
  }
  DocumentLinks links;
  const DocumentKind kind = ReadDocumentLinks(bytes, path, &links);
  read.kind = kind == DocumentKind::kDocument       ? kDocument
              : kind == DocumentKind::kNotADocument ? kNotADocument
                                                    : kUnreadable;
  read.has_product = links.has_product;
  read.part_number = std::move(links.part_number);
  read.uses.reserve(links.links.size());
  for (DocumentLink& link : links.links) {
    read.uses.emplace_back(paths.Key(StorageKey(link.target)), std::move(link.instance));
  }
  return read;
}

bool ReadWholeProject(FileSystem& files, const std::string& project, const std::string& skip_prefix,
                      const StoredPaths& paths, WalkCounts* counts,
                      const std::function<bool(ReadFile&)>& store) {
  ReadQueue queue;
  std::thread walker;
  try {
    walker = std::thread([&] {
      WalkProject(files, project, skip_prefix, counts,
                  [&](const std::string& path, const std::string& key, const FileFacts& facts) {
                    return queue.Push(ReadProjectFile(files, paths, path, key, facts));
                  });
      queue.End();
    });
  } catch (const std::system_error&) {
    // No thread to be had: the files are read and stored one after the other.
    return WalkProject(
        files, project, skip_prefix, counts,
        [&](const std::string& path, const std::string& key, const FileFacts& facts) {
          ReadFile file = ReadProjectFile(files, paths, path, key, facts);
          return store(file);
        });
  }
  bool stored = true;
  for (ReadFile file; stored && queue.Pop(&file);) stored = store(file);
  queue.Stop();
  walker.join();
  return stored;
}
