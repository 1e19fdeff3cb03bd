#include "check/project_check.h"

#include <set>

#include "findings/display_text.h"
#include "findings/listed_objects.h"
#include "plan/text.h"
#include "projectindex/project_scope.h"
#include "system/paths.h"

namespace {

std::string Name(const ListedObject& object) {
  const CATString& identifier = object.object->GetIdentifier();
  return Quoted(
      std::string(identifier.CastToCharPtr(), static_cast<size_t>(identifier.GetLengthInChar())));
}

// The keys of every document reached from `files` through the index, `files` included.
std::set<std::string> Reached(ProjectIndex& index, const std::vector<std::string>& files) {
  std::set<std::string> reached = KeysOfFiles(index, files);
  std::vector<std::string> pending(reached.begin(), reached.end());
  while (!pending.empty()) {
    const std::string key = pending.back();
    pending.pop_back();
    for (const std::string& target : index.FilesUsedBy(key)) {
      if (reached.insert(target).second) pending.push_back(target);
    }
  }
  return reached;
}

}  // namespace

void CheckProjectUsersBefore(ProjectIndex& index, const ControlFileRun& run, Report* report) {
  for (const OutsideUser& user : UsersOutsidePlan(index, *run.plan, AsksForCopy(run.objects), {})) {
    const ListedObject& object = run.listed.changeable_documents[size_t(user.record - 1)];
    report->Warning(run.map.KeyLine(object.record, user.key),
                    OutsideUserMessage(Name(object), user));
  }
}

void CheckProjectUsersAfter(FileSystem& files, ProjectIndex& index, const ControlFileRun& run,
                            Report* report) {
  const ZTRDocumentManager& plan = *run.plan;
  if (AsksForCopy(run.objects)) return;  // the originals, and what uses them, stay on purpose
  // What the run saved, and what is reached from it, is proven by CheckAfter.
  std::vector<std::string> saved;
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    saved.push_back(Text(plan.DocumentAt(i).ExternalLocation));
  }
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    saved.push_back(Text(plan.ChangeableDocumentAt(i).NewExternalLocation));
  }
  std::set<std::string> reached = Reached(index, saved);
  // The old files of documents saved under new files still refer to what they referred to.
  std::vector<std::string> old_files;
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    old_files.push_back(Text(plan.ChangeableDocumentAt(i).ExternalLocation));
  }
  const std::set<std::string> left = KeysOfFiles(index, old_files);
  reached.insert(left.begin(), left.end());
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
    const std::string old_file = StorageName(Text(record.ExternalLocation));
    if (record.ExternalLocation == CATUnicodeString() ||
        FileKey(old_file) == FileKey(Text(record.NewExternalLocation))) {
      continue;
    }
    const ListedObject& object = run.listed.changeable_documents[size_t(i - 1)];
    FileFacts facts;
    const bool there = files.CurrentFacts(old_file, &facts);
    for (const DocumentUse& use : UsersOutside(index, old_file, reached)) {
      const std::string message = "document " + Name(object) + ": " + QuotedFile(use.user.name) +
                                  " of the project (its " + ComponentsOf(use) +
                                  ") still refers to the old file " + QuotedFile(old_file);
      const int line = run.map.KeyLine(object.record, "NEW_EXTERNAL_LOCATION");
      if (there) {
        report->Warning(line,
                        message +
                            ": it keeps the old document; to make it follow, plan the rename with "
                            "Quorvel-plan write --project");
      } else {
        report->Error(line, message + ", which is gone: those components refer to no file");
      }
    }
  }
}

void KeepUsedOldFiles(ProjectIndex& index, const std::string& invocation,
                      std::vector<std::string>* old_files, std::ostream& err) {
  // An old file used only by other old files goes with them; one used by any other document
  // stays, and so do the old files it uses, until nothing changes.
  std::vector<bool> kept(old_files->size(), false);
  std::vector<std::string> users(old_files->size());
  for (bool changed = true; changed;) {
    changed = false;
    std::vector<std::string> listed;
    for (size_t i = 0; i < old_files->size(); ++i) {
      if (!kept[i]) listed.push_back((*old_files)[i]);
    }
    const std::set<std::string> going = KeysOfFiles(index, listed);
    for (size_t i = 0; i < old_files->size(); ++i) {
      if (kept[i]) continue;
      const std::vector<DocumentUse> outside = UsersOutside(index, (*old_files)[i], going);
      if (outside.empty()) continue;
      kept[i] = changed = true;
      users[i] = outside.front().user.name;
    }
  }
  std::vector<std::string> left;
  for (size_t i = 0; i < old_files->size(); ++i) {
    if (!kept[i]) {
      left.push_back((*old_files)[i]);
      continue;
    }
    err << invocation << ": note: " << QuotedFile((*old_files)[i])
        << " is not listed: " << QuotedFile(users[i]) << " of the project uses it\n";
  }
  err << std::flush;
  *old_files = left;
}
