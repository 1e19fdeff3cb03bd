#include "planner/structure_table.h"

#include "ZTRConfigTopicManager.h"
#include "findings/display_text.h"
#include "structure/session_reading.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

// Why the document at `path` cannot be opened, as far as `files` and the system tell.
std::string WhyNotOpened(FileSystem& files, const std::string& path) {
  FileFacts facts;
  if (files.IsFolder(StorageName(path))) return "it is a folder";
  if (files.CurrentFacts(StorageName(path), &facts))
    return "it is not a document that can be opened";
  const std::string why = WhyNotReadable(path);
  return why.empty() ? "it is not a document that can be opened" : why;
}

}  // namespace

bool ReadStructureTable(FileSystem& files, const std::string& root_document, RenameTable* table,
                        std::vector<std::string>* notes, std::string* error) {
  *table = RenameTable();
  // The platform's own console lines stay off: standard output carries the table.
  g_ZTRConfig.SetTraceLevel(0);
  ProductStructure structure;
  if (!ReadProductStructure(files, root_document, &structure)) {
    *error = WhyNotOpened(files, root_document);
    return false;
  }

  const std::string here = StorageName(".");
  std::vector<std::string> names;
  for (const StructureDocument& document : structure.documents) {
    names.push_back(RelativePath(document.storage_name.ConvertToChar(), here));
  }
  for (size_t d = 0; d < structure.documents.size(); ++d) {
    const StructureDocument& document = structure.documents[d];
    const std::string part_number = document.part_number.ConvertToChar();
    table->documents.push_back({0, names[d], part_number, "", ""});
    if (!document.has_product)
      notes->push_back(QuotedFile(names[d]) + " has no product; nothing in it can be renamed");
    for (const StructureInstance& instance : document.instances) {
      const std::string name = instance.name.ConvertToChar();
      if (instance.document < 0) {
        notes->push_back(QuotedFile(names[d]) + ": component " + Quoted(name) +
                         " refers to no document that can be opened");
      }
      table->instances.push_back(
          {0, part_number, name, "",
           instance.document < 0 ? "" : names[static_cast<size_t>(instance.document)],
           static_cast<int>(d)});
    }
  }
  return true;
}
