#include "projectindex/project_scope.h"

#include <cstdlib>

#include "findings/display_text.h"
#include "plan/text.h"
#include "system/paths.h"

std::string ProjectFromEnvironment() {
  const char* project = std::getenv("QUORVEL_PROJECT");
  return project == nullptr ? std::string() : std::string(project);
}

bool OpenProjectIndex(FileSystem& files, const std::string& project, const std::string& index_path,
                      const std::string& invocation, std::ostream& err, ProjectIndex* index,
                      bool all_skipped) {
  std::vector<std::string> notes;
  std::string why;
  const bool opened = index->Open(files, project, index_path, &notes, &why);
  for (const std::string& note : notes) err << invocation << ": note: " << note << '\n';
  if (!opened) {
    err << invocation << ": " << why << std::endl;
    return false;
  }
  const IndexCounts& counts = index->counts();
  std::string noted;
  const struct {
    int64_t count;
    const char *one, *many;
  } skipped[] = {
      {all_skipped ? counts.not_documents : 0, "file that is no document",
       "files that are no documents"},
      {counts.unreadable, "document that cannot be read", "documents that cannot be read"},
      {counts.links, "link not followed", "links not followed"},
      {counts.cycles, "folder met twice", "folders met twice"},
      {counts.unlisted, "folder that cannot be listed", "folders that cannot be listed"},
      {counts.other, "device, FIFO or socket", "devices, FIFOs or sockets"},
  };
  for (const auto& item : skipped) {
    if (item.count == 0) continue;
    noted += (noted.empty() ? "" : ", ") + std::to_string(item.count) + " " +
             (item.count == 1 ? item.one : item.many);
  }
  if (!noted.empty()) {
    err << invocation << ": note: in " << QuotedFile(index->project()) << ", skipped: " << noted
        << '\n';
  }
  err.flush();
  return true;
}

std::set<std::string> KeysOfFiles(ProjectIndex& index, const std::vector<std::string>& files) {
  std::set<std::string> keys;
  for (const std::string& file : files) {
    if (file.empty()) continue;
    for (const std::string& key : index.KeysOfFile(file)) keys.insert(key);
  }
  return keys;
}

std::vector<DocumentUse> UsersOutside(ProjectIndex& index, const std::string& file,
                                      const std::set<std::string>& inside) {
  std::vector<DocumentUse> outside;
  if (file.empty()) return outside;
  for (DocumentUse& use : index.UsersOf(index.KeysOfFile(file))) {
    if (inside.count(use.user.key) == 0) outside.push_back(std::move(use));
  }
  return outside;
}

std::string ComponentsOf(const DocumentUse& use) {
  const size_t shown = use.instances.size() > 4 ? 3 : use.instances.size();
  std::string text = use.instances.size() == 1 ? "component " : "components ";
  for (size_t i = 0; i < shown; ++i) text += (i > 0 ? ", " : "") + Quoted(use.instances[i]);
  if (shown < use.instances.size()) {
    text += " and " + std::to_string(use.instances.size() - shown) + " more";
  }
  return text;
}

std::string OutsideUserMessage(const std::string& document, const std::string& old_file,
                               const std::string& new_file, const std::string& new_part_number,
                               const DocumentUse& user) {
  const std::string who =
      QuotedFile(user.user.name) + " of the project (its " + ComponentsOf(user) + ")";
  if (FileKey(old_file) != FileKey(new_file)) {
    return "document " + document + " is saved as " + QuotedFile(new_file) + ", but " + who +
           " uses it and is not saved: it keeps the old file " + QuotedFile(old_file) +
           "; to make it follow, list it under PARENT_OBJECTS, or write the plan with "
           "Quorvel-plan write --project";
  }
  return "document " + document + " gets the new part number " + Quoted(new_part_number) +
         " in its file " + QuotedFile(old_file) + ", which " + who +
         " uses: it shows the new part number too; to keep the old one there, save the "
         "document under a new file";
}

std::vector<OutsideUser> UsersOutsidePlan(ProjectIndex& index, const ZTRDocumentManager& plan,
                                          bool copy, std::set<std::string> inside) {
  std::vector<std::string> listed;
  for (int i = 1; i <= plan.DocumentCount(); ++i) {
    listed.push_back(Text(plan.DocumentAt(i).ExternalLocation));
  }
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    listed.push_back(Text(plan.ChangeableDocumentAt(i).ExternalLocation));
    listed.push_back(Text(plan.ChangeableDocumentAt(i).NewExternalLocation));
  }
  const std::set<std::string> keys = KeysOfFiles(index, listed);
  inside.insert(keys.begin(), keys.end());
  std::vector<OutsideUser> found;
  for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
    const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
    if (record.ExternalLocation == CATUnicodeString()) continue;  // the run fails it
    const std::string old_file = StorageName(Text(record.ExternalLocation));
    const std::string new_file = StorageName(Text(record.NewExternalLocation));
    const bool moved = FileKey(old_file) != FileKey(new_file);
    const bool renumbered = record.NewPartNumber != record.PartNumber;
    if ((!moved && !renumbered) || (moved && copy)) continue;
    for (DocumentUse& use : UsersOutside(index, old_file, inside)) {
      found.push_back({i, moved ? "NEW_EXTERNAL_LOCATION" : "NEW_PARTNUMBER", std::move(use),
                       old_file, new_file, renumbered ? Text(record.NewPartNumber) : ""});
    }
  }
  return found;
}

std::string OutsideUserMessage(const std::string& document, const OutsideUser& user) {
  return OutsideUserMessage(document, user.old_file, user.new_file, user.new_part_number, user.use);
}
