#include "runner/journal.h"

#include <map>
#include <memory>
#include <sstream>

#include "findings/display_text.h"
#include "system/folders.h"
#include "system/holds.h"
#include "system/paths.h"

namespace {

const char kHeader[] = "QUORVEL-RUN JOURNAL 1";
const char kJournalFile[] = "journal";
// A journal is small: a line per file. Anything much larger is not one.
const uint64_t kJournalLimit = uint64_t{64} << 20;

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + (folder.back() == '/' ? "" : "/") + name;
}

// A path on one line: backslash, line feed and carriage return escaped.
std::string Escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

bool Unescape(const std::string& text, std::string* plain) {
  plain->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *plain += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    const char c = text[i];
    if (c != '\\' && c != 'n' && c != 'r') return false;
    *plain += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
  }
  return true;
}

std::string JournalText(const Journal& journal) {
  std::ostringstream text;
  text << kHeader << "\n";
  for (const std::string& control_file : journal.control_files) {
    text << "control " << Escape(control_file) << "\n";
  }
  for (const JournalEntry& entry : journal.entries) {
    const FileFacts& after = entry.after;
    text << "file " << entry.existed << " " << (entry.copy.empty() ? "-" : entry.copy) << " "
         << entry.permissions << " " << entry.recorded << " " << entry.gone_after << " "
         << after.id.device << " " << after.id.number << " " << after.size << " " << after.modified
         << " " << Escape(entry.path) << "\n";
  }
  return text.str();
}

bool WriteJournal(FileSystem& files, const Journal& journal, std::string* why) {
  return files.WriteWholeFile(InFolder(journal.folder, kJournalFile), JournalText(journal), 0600,
                              why);
}

// Writes `bytes` as the new file `path`, only where no file is.
bool WriteNewFile(FileSystem& files, const std::string& path, const std::string& bytes,
                  std::string* why) {
  std::unique_ptr<FileReplacement> replacement = files.BeginReplacement(path, 0600);
  FileFacts written;
  if (replacement != nullptr) replacement->ExpectTarget(nullptr);
  if (replacement == nullptr || !replacement->Write(bytes) || !replacement->Commit(&written)) {
    *why = QuotedFile(path) + " could not be written";
    return false;
  }
  return true;
}

// Removes the journal's own files and its folder.
bool RemoveJournal(FileSystem& files, const Journal& journal, std::string* why) {
  for (const JournalEntry& entry : journal.entries) {
    if (!entry.copy.empty() && !files.RemoveFile(InFolder(journal.folder, entry.copy), why)) {
      return false;
    }
  }
  const std::string manifest = InFolder(journal.folder, kJournalFile);
  FileId ignored;
  if (files.FindFileId(manifest, &ignored) && !files.RemoveFile(manifest, why)) return false;
  return RemoveEmptyFolder(journal.folder, why);
}

// Why the file of `entry` may not be put back now; empty when it may.
std::string WhyLeave(FileSystem& files, const JournalEntry& entry, bool there,
                     const FileFacts& now) {
  Holder holder;
  if (files.FindHolder(entry.path, &holder)) {
    return QuotedFile(entry.path) + " is " + DescribeHolder(holder);
  }
  if (entry.recorded && (entry.gone_after ? there : !there || !now.SameContentAs(entry.after))) {
    return QuotedFile(entry.path) + " has changed since the run; it is left as it is";
  }
  return std::string();
}

bool UndoEntry(FileSystem& files, const Journal& journal, const JournalEntry& entry,
               UndoOutcome* outcome) {
  std::string bytes, why;
  FileFacts now;
  const bool there = files.ReadRegularFile(entry.path, &bytes, &now);
  FileId id;
  if (!there && files.FindFileId(entry.path, &id)) {
    outcome->left.push_back(QuotedFile(entry.path) + " is no regular file; it is left as it is");
    return false;
  }
  std::string copy;
  if (entry.existed) {
    FileFacts copy_facts;
    if (!files.ReadRegularFile(InFolder(journal.folder, entry.copy), &copy, &copy_facts)) {
      outcome->left.push_back("the copy of " + QuotedFile(entry.path) + " cannot be read");
      return false;
    }
    if (there && bytes == copy) return true;
  } else if (!there) {
    return true;
  }
  const std::string leave = WhyLeave(files, entry, there, now);
  if (!leave.empty()) {
    outcome->left.push_back(leave);
    return false;
  }
  if (!entry.existed) {
    if (!files.RemoveFile(entry.path, &why)) {
      outcome->left.push_back(why);
      return false;
    }
    ++outcome->removed;
    return true;
  }
  std::unique_ptr<FileReplacement> replacement =
      files.BeginReplacement(entry.path, entry.permissions);
  FileFacts written;
  if (replacement != nullptr) replacement->ExpectTarget(there ? &now : nullptr);
  if (replacement == nullptr || !replacement->Write(copy) || !replacement->Commit(&written)) {
    const std::string refused = files.WhyNotReplace(entry.path);
    outcome->left.push_back(refused.empty() ? QuotedFile(entry.path) + " could not be written"
                                            : refused);
    return false;
  }
  ++outcome->restored;
  return true;
}

bool ParseEntry(std::istringstream& fields, JournalEntry* entry) {
  std::string path;
  fields >> entry->existed >> entry->copy >> entry->permissions >> entry->recorded >>
      entry->gone_after >> entry->after.id.device >> entry->after.id.number >> entry->after.size >>
      entry->after.modified;
  if (!fields || fields.get() != ' ' || !std::getline(fields, path)) return false;
  if (entry->copy == "-") entry->copy.clear();
  // A copy is a plain name in the journal's own folder, and only a file that existed has one.
  const bool copy_named =
      entry->copy.rfind("copy-", 0) == 0 && entry->copy.find_first_of("/\\:") == std::string::npos;
  if (entry->existed ? !copy_named : !entry->copy.empty()) return false;
  return Unescape(path, &entry->path) && !entry->path.empty() &&
         StorageName(entry->path) == entry->path;
}

}  // namespace

std::string WayBackThere(const std::string& folder) {
  return "the way back of an earlier run is there, " + QuotedFile(folder) +
         ": go back with Quorvel-run --undo, or remove it to keep what that run did";
}

std::string JournalFolderOf(const std::string& control_file) {
  return control_file + ".quorvel-run";
}

bool BeginJournal(FileSystem& files, const std::string& folder,
                  const std::vector<std::string>& control_files,
                  const std::vector<std::string>& targets, Journal* journal, std::string* why) {
  journal->folder = StorageName(folder);
  journal->control_files = control_files;
  journal->entries.clear();
  FileId id;
  if (files.FindFileId(journal->folder, &id) || files.IsLink(journal->folder)) {
    *why = WayBackThere(journal->folder);
    return false;
  }
  if (!files.MakeFolders(journal->folder, why)) return false;
  if (files.IsLink(journal->folder) || !files.IsFolder(journal->folder)) {
    *why = QuotedFile(journal->folder) + " is no folder of its own";
    return false;
  }
  for (const std::string& target : targets) {
    JournalEntry entry;
    entry.path = target;
    std::string bytes;
    FileFacts facts;
    if (files.ReadRegularFile(target, &bytes, &facts)) {
      entry.existed = true;
      entry.permissions = facts.permissions;
      entry.copy = "copy-" + std::to_string(journal->entries.size() + 1);
      if (!WriteNewFile(files, InFolder(journal->folder, entry.copy), bytes, why)) {
        std::string ignored;
        RemoveJournal(files, *journal, &ignored);
        return false;
      }
    } else if (files.FindFileId(target, &id)) {
      *why = QuotedFile(target) + " cannot be read to keep a copy of it";
      std::string ignored;
      RemoveJournal(files, *journal, &ignored);
      return false;
    }
    journal->entries.push_back(entry);
  }
  if (!WriteJournal(files, *journal, why)) {
    std::string ignored;
    RemoveJournal(files, *journal, &ignored);
    return false;
  }
  return true;
}

bool UpdateJournal(FileSystem& files, const std::vector<std::string>& paths, bool done,
                   Journal* journal, std::string* why) {
  std::map<std::string, JournalEntry*> by_key;
  for (JournalEntry& entry : journal->entries) by_key[StorageKey(entry.path)] = &entry;
  for (const std::string& path : paths) {
    const auto found = by_key.find(StorageKey(StorageName(path)));
    if (found == by_key.end()) continue;
    JournalEntry& entry = *found->second;
    entry.recorded = done;
    entry.after = FileFacts();
    entry.gone_after = done && !files.CurrentFacts(entry.path, &entry.after);
  }
  return WriteJournal(files, *journal, why);
}

bool ReadJournal(FileSystem& files, const std::string& folder, Journal* journal, std::string* why) {
  journal->folder = StorageName(folder);
  journal->control_files.clear();
  journal->entries.clear();
  const std::string manifest = InFolder(journal->folder, kJournalFile);
  FileFacts facts;
  std::string text;
  if (!files.CurrentFacts(manifest, &facts) || facts.size > kJournalLimit ||
      !files.ReadRegularFile(manifest, &text, &facts)) {
    *why = QuotedFile(journal->folder) + " holds no way back of a run";
    return false;
  }
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream fields(line);
    std::string kind;
    bool read = false;
    if (number == 1) {
      read = line == kHeader;
    } else if (fields >> kind && kind == "control" && fields.get() == ' ') {
      std::string name, plain;
      read = std::getline(fields, name) && Unescape(name, &plain);
      journal->control_files.push_back(plain);
    } else if (kind == "file") {
      JournalEntry entry;
      read = ParseEntry(fields, &entry);
      journal->entries.push_back(entry);
    }
    if (!read) {
      *why = QuotedFile(manifest) + ": line " + std::to_string(number) + " cannot be read";
      return false;
    }
  }
  if (number == 0) {
    *why = QuotedFile(manifest) + " is empty";
    return false;
  }
  return true;
}

bool UndoJournal(FileSystem& files, const Journal& journal, UndoOutcome* outcome) {
  bool all = true;
  for (const JournalEntry& entry : journal.entries) {
    if (!UndoEntry(files, journal, entry, outcome)) all = false;
  }
  if (!all) return false;
  std::string why;
  if (!RemoveJournal(files, journal, &why)) {
    outcome->left.push_back("the way back " + QuotedFile(journal.folder) +
                            " is not removed: " + why);
  }
  return true;
}
