// The way back of a run: a folder beside the plan's first control file, written through the
// file system before the run changes anything. It holds a copy of every file that the plan will
// replace, made where no file was, and the list of the files that the plan will create; it is
// kept current as the run goes on, saying what each control file's run left in each place. The
// way back puts every copy back byte for byte and removes the new files the run made, and
// leaves alone, and names, what someone else has changed or holds since.
#ifndef RUNNER_JOURNAL_H
#define RUNNER_JOURNAL_H

#include <string>
#include <vector>

#include "system/files.h"

// One file the plan writes.
struct JournalEntry {
  std::string path;      // its storage name
  bool existed = false;  // a file was there before the run, kept as `copy`
  std::string copy;      // the copy's name in the journal's folder
  unsigned permissions = 0644;
  bool recorded = false;    // the runs that write it are over: `after` tells what they left
  bool gone_after = false;  // ... which was no file
  FileFacts after;
};

struct Journal {
  std::string folder;                      // the journal's folder, a storage name
  std::vector<std::string> control_files;  // as the command line named them
  std::vector<JournalEntry> entries;
};

// The journal folder of a plan whose first control file is `control_file`, spelled alike.
std::string JournalFolderOf(const std::string& control_file);
// Why a run is refused where the journal folder `folder` is there already.
std::string WayBackThere(const std::string& folder);

// Makes the journal folder `folder` (refused when anything is there already), copies every
// file of `targets` (storage names) that exists into it and writes the journal. False, with the
// reason, when any of it cannot be written; what was made is then removed again.
bool BeginJournal(FileSystem& files, const std::string& folder,
                  const std::vector<std::string>& control_files,
                  const std::vector<std::string>& targets, Journal* journal, std::string* why);

// Marks the entries of `paths` as being written (a run begins) or, with `done`, records what is
// at each of them now (the run has ended); then writes the journal again, whole.
bool UpdateJournal(FileSystem& files, const std::vector<std::string>& paths, bool done,
                   Journal* journal, std::string* why);

// Reads the journal in `folder`; false, with the reason, when it is none.
bool ReadJournal(FileSystem& files, const std::string& folder, Journal* journal, std::string* why);

// What going back did.
struct UndoOutcome {
  size_t restored = 0;            // files put back as they were
  size_t removed = 0;             // new files removed
  std::vector<std::string> left;  // what was not undone, and why, naming the file
};

// Puts back every file of `journal`: a copy where the file differs from it, a new file removed.
// A file that another process holds, or that changed after the run wrote it, is left as it is
// and named in `outcome`. With nothing left, the journal's folder is removed. True when
// everything is as before the run.
bool UndoJournal(FileSystem& files, const Journal& journal, UndoOutcome* outcome);

#endif  // RUNNER_JOURNAL_H
