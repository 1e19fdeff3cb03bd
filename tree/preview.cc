#include "tree/preview.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "ZTRConfigTopicManager.h"
#include "findings/reading_map.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"
#include "tree/display_text.h"
#include "tree/readable_file.h"

namespace fs = std::filesystem;

namespace {

const char kSessionName[] = "Quorvel-tree preview";

const size_t kNoRecord = static_cast<size_t>(-1);

std::string Text(const CATUnicodeString& text) { return text.ConvertToChar(); }
std::string Text(const CATString& text) {
  return std::string(text.CastToCharPtr(), static_cast<size_t>(text.GetLengthInChar()));
}

std::string Quote(const std::string& text) { return "\"" + DisplayText(text) + "\""; }

// The name under which the session knows the file at `path`: absolute against `cwd`,
// normalised lexically.
std::string StorageNameOf(const std::string& path, const std::string& cwd) {
  if (path.empty()) return path;
  const fs::path absolute = fs::path(path).is_absolute() ? fs::path(path) : fs::path(cwd) / path;
  std::string normal = absolute.lexically_normal().generic_string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// The records behind the plan's three lists, as store positions from 0: the plan builder
// takes each identifier listed under ROOT that names an object, in order.
struct ListedRecords {
  std::vector<size_t> documents, changeable_documents, instances;
};

ListedRecords ListRecords(const ZTRObjectManager& objects) {
  ListedRecords listed;
  std::map<std::string, size_t> first;  // identifier -> position of the first object with it
  for (int i = 1; i <= objects.Size(); ++i) {
    first.emplace(Text(objects.GetObject(i)->GetIdentifier()), i - 1);
  }
  const auto root = first.find("ROOT");
  if (root == first.end()) return listed;
  const auto list = [&](const char* key, std::vector<size_t>* records) {
    const CATListValCATString identifiers =
        objects.GetObject(static_cast<int>(root->second) + 1)->GetAttributeList(key);
    for (int i = 1; i <= identifiers.Size(); ++i) {
      const auto found = first.find(Text(identifiers[i]));
      if (found != first.end()) records->push_back(found->second);
    }
  };
  list("PARENT_OBJECTS", &listed.documents);
  list("CHILD_OBJECTS", &listed.changeable_documents);
  list("INSTANCE_OBJECTS", &listed.instances);
  return listed;
}

// One file the saving stage writes: the document, and when, in the order of the saves.
struct Save {
  CATDocument* document;
  std::string target;  // storage name
  size_t record;
};

class PreviewBuilder {
 public:
  PreviewBuilder(const ZTRObjectManager& objects, const ReadingMap& map, Preview* preview)
      : objects_(objects), map_(map), listed_(ListRecords(objects)), preview_(preview) {
    std::error_code error;
    cwd_ = fs::current_path(error).generic_string();
  }

  bool Build(const std::string& root, std::ostringstream* log, std::string* why) {
    if (!ReadProductStructure(root, &before_, why)) {
      *why = root + ": " + *why;
      return false;
    }
    for (size_t i = 0; i < before_.documents.size(); ++i) {
      before_index_[Text(before_.documents[i].storage_name)] = i;
    }

    CATSession* session = nullptr;
    if (FAILED(Create_Session(kSessionName, session)) || session == nullptr) {
      *why = "the platform's session cannot be created";
      return false;
    }
    ZTRDocumentManager plan(objects_, log);
    // Each list the plan holds has its records, whatever the identifiers hold.
    listed_.documents.resize(plan.DocumentCount(), kNoRecord);
    listed_.changeable_documents.resize(plan.ChangeableDocumentCount(), kNoRecord);
    listed_.instances.resize(plan.DocumentInstanceCount(), kNoRecord);
    RunStages(&plan);
    // Only now the root: until here the session holds what a run's session holds.
    CATDocument* root_document = nullptr;
    ProductStructure after;
    const bool walked = SUCCEEDED(CATDocumentServices::OpenDocument(root.c_str(), root_document)) &&
                        WalkProductStructure(root_document, &after);
    if (walked) {
      for (size_t i = 0; i < after.documents.size(); ++i) {
        CATDocument* document = nullptr;
        const CATUnicodeString& name = after.documents[i].storage_name;
        after_index_[Text(name)] = static_cast<int>(i);
        if (SUCCEEDED(CATDocumentServices::GetDocumentInSession(name, document))) {
          tree_document_[document] = static_cast<int>(i);
        }
      }
      BuildStructure(after);
      FindUntouchedRecords(plan, after);
    }
    Delete_Session(kSessionName);
    if (!walked) {
      *why = root + ": not a document the platform can open";
      return false;
    }
    std::stable_sort(
        preview_->findings.begin(), preview_->findings.end(),
        [](const PreviewFinding& a, const PreviewFinding& b) { return a.line < b.line; });
    return true;
  }

 private:
  void Warn(int line, const std::string& message) { preview_->findings.push_back({line, message}); }
  void Stop(int line, const std::string& message) {
    Warn(line, "the run stops here: " + message);
    preview_->stops = true;
  }
  bool Known(size_t record) const { return record < map_.records().size(); }
  int Line(size_t record, const char* key) const {
    return Known(record) ? map_.KeyLine(record, key) : 0;
  }
  int Line(size_t record) const { return Known(record) ? map_.records()[record].line : 0; }
  std::string Identifier(size_t record) const {
    return Known(record) ? Text(objects_.GetObject(static_cast<int>(record) + 1)->GetIdentifier())
                         : std::string();
  }
  std::string File(const std::string& storage_name) const {
    return DisplayFile(storage_name, cwd_);
  }
  std::string FileOf(const CATUnicodeString& location) const {
    return File(StorageNameOf(Text(location), cwd_));
  }

  static bool HasRootProduct(const CATUnicodeString& location) {
    CATDocument* document = nullptr;
    return SUCCEEDED(CATDocumentServices::GetDocumentInSession(location, document)) &&
           FindRootProduct(document) != NULL_var;
  }
  static bool IsOpen(const CATUnicodeString& location) {
    CATDocument* document = nullptr;
    return SUCCEEDED(CATDocumentServices::GetDocumentInSession(location, document));
  }

  // The stages a run goes through before saving, each only when the one before went through;
  // then the saves worked out from the plan. Where a stage stops, the record it stopped at.
  void RunStages(ZTRDocumentManager* plan) {
    const int loaded = plan->LoadDocuments();
    if (loaded != 0) {
      const bool changeable = loaded >= 3;
      const std::vector<size_t>& records =
          changeable ? listed_.changeable_documents : listed_.documents;
      for (size_t i = 0; i < records.size(); ++i) {
        const ZTRDocument& record =
            changeable ? plan->ChangeableDocumentAt(int(i) + 1) : plan->DocumentAt(int(i) + 1);
        const bool opened = IsOpen(record.ExternalLocation);
        if (opened && HasRootProduct(record.ExternalLocation)) continue;
        Stop(Line(records[i], "EXTERNAL_LOCATION"),
             "loading cannot " + std::string(opened ? "find the root product of " : "open ") +
                 FileOf(record.ExternalLocation) + "; nothing is saved");
        return;
      }
      Stop(0, "loading stops; nothing is saved");
      return;
    }

    if (plan->SetNewInstanceNames() != 0) {
      for (int i = 1; i <= plan->DocumentInstanceCount(); ++i) {
        const ZTRDocumentInstance& record = plan->DocumentInstanceAt(i);
        const size_t at = listed_.instances[i - 1];
        const CATUnicodeString location = plan->FindDocumentName(record.ParentPartNumber);
        if (location == CATUnicodeString()) {
          Stop(Line(at, "PARENT_PARTNUMBER"), "no document of the plan has the part number " +
                                                  Quote(Text(record.ParentPartNumber)) +
                                                  "; nothing is saved");
          return;
        }
        if (!HasRootProduct(location)) {
          Stop(Line(at, "PARENT_PARTNUMBER"),
               "new instance names cannot reach " + FileOf(location) + "; nothing is saved");
          return;
        }
      }
      Stop(0, "new instance names stop; nothing is saved");
      return;
    }

    // What each changeable document's part number is before the part-number stage: the check
    // it makes against each record depends on the records before it.
    std::map<std::string, CATUnicodeString> part_numbers;
    for (int i = 1; i <= plan->ChangeableDocumentCount(); ++i) {
      const CATUnicodeString& location = plan->ChangeableDocumentAt(i).ExternalLocation;
      CATDocument* document = nullptr;
      if (FAILED(CATDocumentServices::GetDocumentInSession(location, document))) continue;
      const CATIProduct_var product = FindRootProduct(document);
      if (product != NULL_var)
        part_numbers[Text(document->StorageName())] = product->GetPartNumber();
    }
    if (plan->SetNewPartNumbers() != 0) {
      for (int i = 1; i <= plan->ChangeableDocumentCount(); ++i) {
        const ZTRChangeableDocument& record = plan->ChangeableDocumentAt(i);
        const size_t at = listed_.changeable_documents[i - 1];
        CATDocument* document = nullptr;
        if (FAILED(CATDocumentServices::GetDocumentInSession(record.ExternalLocation, document)) ||
            !HasRootProduct(record.ExternalLocation)) {
          Stop(Line(at, "EXTERNAL_LOCATION"), "new part numbers cannot reach " +
                                                  FileOf(record.ExternalLocation) +
                                                  "; nothing is saved");
          return;
        }
        CATUnicodeString& current = part_numbers[Text(document->StorageName())];
        if (current != record.PartNumber) {
          Stop(Line(at, "PARTNUMBER"), FileOf(record.ExternalLocation) + " has the part number " +
                                           Quote(Text(current)) +
                                           " by then, set by an earlier record, not " +
                                           Quote(Text(record.PartNumber)) + "; nothing is saved");
          return;
        }
        current = record.NewPartNumber;
      }
      Stop(0, "new part numbers stop; nothing is saved");
      return;
    }
    WorkOutSaves(*plan);
  }

  // The document the session would give for `location` at this point of the saving stage.
  CATDocument* Lookup(const CATUnicodeString& location) const {
    const std::string name = StorageNameOf(Text(location), cwd_);
    const auto moved_in = moved_in_.find(name);
    if (moved_in != moved_in_.end()) return moved_in->second;
    if (moved_out_.count(name) > 0) return nullptr;
    CATDocument* document = nullptr;
    CATDocumentServices::GetDocumentInSession(location, document);
    return document;
  }

  // One save as the platform would make it: false, with a finding, when it would fail.
  bool SaveAs(CATDocument* document, const CATUnicodeString& target, size_t record,
              const char* key) {
    const std::string name = StorageNameOf(Text(target), cwd_);
    const CATDocument* holder = Lookup(target);
    std::string problem;
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (holder != nullptr && holder != document) {
      problem = File(name) + " is the file of another document the run has open";
    } else if (!fs::is_directory(fs::path(name).parent_path(), error)) {
      problem = "there is no folder " + File(fs::path(name).parent_path().generic_string());
    } else if (fs::is_directory(status)) {
      problem = File(name) + " is a folder";
    } else if (fs::exists(status) &&
               (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                        fs::perms::others_write)) == fs::perms::none) {
      problem = File(name) + " is read-only";
    }
    const auto current = current_name_.find(document);
    const std::string old_name =
        current != current_name_.end() ? current->second : Text(document->StorageName());
    if (!problem.empty()) {
      Warn(Line(record, key), "the run cannot save " + File(old_name) + ": " + problem);
      return false;
    }
    if (old_name != name) {
      moved_in_.erase(old_name);
      moved_out_.insert(old_name);
    }
    moved_out_.erase(name);
    moved_in_[name] = document;
    current_name_[document] = name;
    saves_.push_back({document, name, record});
    return true;
  }

  // The saving stage's two passes, as it would go through them, saving nothing.
  void WorkOutSaves(const ZTRDocumentManager& plan) {
    for (int i = 1; i <= plan.ChangeableDocumentCount(); ++i) {
      const ZTRChangeableDocument& record = plan.ChangeableDocumentAt(i);
      const size_t at = listed_.changeable_documents[i - 1];
      if (record.ExternalLocation == CATUnicodeString() ||
          record.NewExternalLocation == CATUnicodeString()) {
        Stop(Line(at, "NEW_EXTERNAL_LOCATION"),
             "saving meets a record without a file; nothing after it is saved");
        return;
      }
      CATDocument* document = Lookup(record.ExternalLocation);
      if (document == nullptr) {
        Stop(Line(at, "EXTERNAL_LOCATION"),
             "saving finds no document " + FileOf(record.ExternalLocation) +
                 " (saved under another file before); nothing after it is saved");
        return;
      }
      SaveAs(document, record.NewExternalLocation, at, "NEW_EXTERNAL_LOCATION");
    }
    for (int i = 1; i <= plan.DocumentCount(); ++i) {
      const ZTRDocument& record = plan.DocumentAt(i);
      const size_t at = listed_.documents[i - 1];
      CATDocument* document =
          record.ExternalLocation == CATUnicodeString() ? nullptr : Lookup(record.ExternalLocation);
      if (document == nullptr) {
        Stop(Line(at, "EXTERNAL_LOCATION"),
             "saving finds no document " + FileOf(record.ExternalLocation) +
                 " (saved under another file before); nothing after it is saved");
        return;
      }
      SaveAs(document, record.ExternalLocation, at, "EXTERNAL_LOCATION");
    }
  }

  // The files on disk after the run, from the root's: a file written by the run holds its
  // document as the stages left it, referring to the files its children had when it was
  // saved; any other file holds what it held before.
  void BuildStructure(const ProductStructure& after) {
    const size_t count = after.documents.size();
    std::vector<std::vector<size_t>> saves_of(count);  // positions in saves_
    std::map<std::string, size_t> written;             // file -> last save that writes it
    for (size_t s = 0; s < saves_.size(); ++s) {
      written[saves_[s].target] = s;
      const auto in_tree = tree_document_.find(saves_[s].document);
      if (in_tree != tree_document_.end()) saves_of[in_tree->second].push_back(s);
    }
    const auto original = [&](int d) { return Text(after.documents[d].storage_name); };
    const auto final_file = [&](int d) {
      return saves_of[d].empty() ? original(d) : saves_[saves_of[d].back()].target;
    };
    // The file of `d` when save `step` writes another document (-1: before the run).
    const auto file_at = [&](int d, long step) {
      std::string file = original(d);
      for (size_t s : saves_of[d]) {
        if (static_cast<long>(s) < step) file = saves_[s].target;
      }
      return file;
    };

    std::vector<ShownNode>& nodes = preview_->structure.nodes;
    std::map<std::string, int> node_of;
    std::vector<std::string> pending{final_file(0)};
    node_of[pending[0]] = 0;
    nodes.emplace_back();
    std::set<std::pair<int, int>> stale_reported;
    for (size_t n = 0; n < nodes.size(); ++n) {
      const std::string file = pending[n];
      nodes[n].file = nodes[n].old_file = file;
      int d = -1;
      long step = -1;
      const auto write = written.find(file);
      if (write != written.end()) {
        step = static_cast<long>(write->second);
        const auto in_tree = tree_document_.find(saves_[step].document);
        if (in_tree == tree_document_.end()) {
          nodes[n].foreign = true;
          Warn(Line(saves_[step].record, "NEW_EXTERNAL_LOCATION"),
               "the run saves a document from outside this structure over " + File(file));
          continue;
        }
        d = in_tree->second;
      } else {
        // Every file reached is written by the run or one the walk found.
        const auto found = after_index_.find(file);
        if (found == after_index_.end()) continue;
        d = found->second;
      }
      const StructureDocument& now = after.documents[d];
      const StructureDocument& old = BeforeOf(after, d);
      ShownNode& node = nodes[n];
      node.old_file = original(d);
      node.has_product = now.has_product;
      node.old_part_number = Text(old.part_number);
      node.part_number = step < 0 ? node.old_part_number : Text(now.part_number);
      for (size_t j = 0; j < now.instances.size(); ++j) {
        ShownInstance instance;
        instance.old_name =
            Text(j < old.instances.size() ? old.instances[j].name : now.instances[j].name);
        instance.name = step < 0 ? instance.old_name : Text(now.instances[j].name);
        const int child = now.instances[j].document;
        if (child >= 0) {
          const std::string child_file = file_at(child, step);
          if (child_file != final_file(child)) {
            instance.stale_new_file = final_file(child);
            if (stale_reported.insert({static_cast<int>(n), child}).second) {
              ReportStale(file, step >= 0, child_file, saves_[saves_of[child].back()]);
            }
          }
          const auto [place, added] = node_of.emplace(child_file, static_cast<int>(nodes.size()));
          if (added) {
            pending.push_back(child_file);
            nodes.emplace_back();
          }
          instance.node = place->second;
        }
        nodes[n].instances.push_back(std::move(instance));
      }
    }
  }

  void ReportStale(const std::string& parent, bool parent_saved, const std::string& old_file,
                   const Save& save) {
    Warn(Line(save.record, "NEW_EXTERNAL_LOCATION"),
         File(parent) + " still refers to " + File(old_file) + " after the run, which saves " +
             "that document as " + File(save.target) +
             (parent_saved ? ": " + File(parent) + " is saved before it"
                           : " but does not save " + File(parent)));
  }

  // Records whose document, or whose instance's parent, is not in this structure, and
  // instance names not found where the run looks for them.
  void FindUntouchedRecords(const ZTRDocumentManager& plan, const ProductStructure& after) {
    const auto in_tree = [&](const CATUnicodeString& location) {
      CATDocument* document = nullptr;
      const std::string name =
          SUCCEEDED(CATDocumentServices::GetDocumentInSession(location, document))
              ? Text(document->StorageName())
              : StorageNameOf(Text(location), cwd_);
      const auto found = after_index_.find(name);
      return found == after_index_.end() ? -1 : found->second;
    };
    const auto document_records = [&](const char* key, const std::vector<size_t>& records,
                                      const auto& record_at) {
      for (size_t i = 0; i < records.size(); ++i) {
        const CATUnicodeString& location = record_at(static_cast<int>(i) + 1).ExternalLocation;
        if (in_tree(location) >= 0) continue;
        Warn(Line(records[i]), std::string(key) + " lists " + Quote(Identifier(records[i])) +
                                   ", whose file " + FileOf(location) +
                                   " is not part of this structure");
      }
    };
    document_records("PARENT_OBJECTS", listed_.documents,
                     [&](int i) -> const ZTRDocument& { return plan.DocumentAt(i); });
    document_records("CHILD_OBJECTS", listed_.changeable_documents,
                     [&](int i) -> const ZTRDocument& { return plan.ChangeableDocumentAt(i); });

    // The instance names of each document as the records before rename them.
    std::map<int, std::vector<std::string>> names;
    std::map<std::string, int> parent_of;  // parent part number -> document, -1 none
    for (int i = 1; i <= plan.DocumentInstanceCount(); ++i) {
      const ZTRDocumentInstance& record = plan.DocumentInstanceAt(i);
      const size_t at = listed_.instances[i - 1];
      const std::string part_number = Text(record.ParentPartNumber);
      auto parent = parent_of.find(part_number);
      if (parent == parent_of.end()) {
        const CATUnicodeString location = plan.FindDocumentName(record.ParentPartNumber);
        parent =
            parent_of.emplace(part_number, location == CATUnicodeString() ? -2 : in_tree(location))
                .first;
      }
      if (parent->second == -2) continue;  // no document of the plan: where the run stops
      if (parent->second < 0) {
        Warn(Line(at), "INSTANCE_OBJECTS lists " + Quote(Identifier(at)) + ", whose parent " +
                           Quote(part_number) + " is not part of this structure");
        continue;
      }
      const int d = parent->second;
      auto list = names.find(d);
      if (list == names.end()) {
        std::vector<std::string> initial;
        // The names before the run, from the walk of the session as it was before the stages.
        for (const StructureInstance& instance : BeforeOf(after, d).instances) {
          initial.push_back(Text(instance.name));
        }
        list = names.emplace(d, std::move(initial)).first;
      }
      std::vector<std::string>& current = list->second;
      const auto match = std::find(current.begin(), current.end(), Text(record.Instancename));
      if (match == current.end()) {
        Warn(Line(at, "INSTANCENAME"), File(Text(after.documents[d].storage_name)) +
                                           " has no instance " + Quote(Text(record.Instancename)) +
                                           " when the run renames it");
        continue;
      }
      const std::string wanted = Text(record.NewInstancename);
      if (!wanted.empty() && std::find(current.begin(), current.end(), wanted) == current.end()) {
        *match = wanted;
      } else if (wanted != *match) {
        Warn(Line(at, "NEW_INSTANCENAME"), "the run cannot rename " + Quote(*match) + " to " +
                                               Quote(wanted) + ": another instance of " +
                                               File(Text(after.documents[d].storage_name)) +
                                               " has that name");
      }
    }
  }

  // Document `d` of the walk after the stages, as the walk before them found it.
  const StructureDocument& BeforeOf(const ProductStructure& after, int d) const {
    const auto found = before_index_.find(Text(after.documents[d].storage_name));
    return found != before_index_.end() ? before_.documents[found->second] : after.documents[d];
  }

  const ZTRObjectManager& objects_;
  const ReadingMap& map_;
  ListedRecords listed_;
  Preview* preview_;
  ProductStructure before_;  // the walk before the run
  std::string cwd_;
  std::map<std::string, size_t> before_index_;
  std::map<std::string, int> after_index_;
  std::map<const CATDocument*, int> tree_document_;
  // The saving stage as worked out: the saves that would succeed, in order, and the names
  // they would give the documents.
  std::vector<Save> saves_;
  std::map<std::string, CATDocument*> moved_in_;
  std::set<std::string> moved_out_;
  std::map<const CATDocument*, std::string> current_name_;
};

}  // namespace

bool ComputePreview(const std::string& root, const std::string& control_file, Preview* preview,
                    std::string* why) {
  *preview = Preview();
  const std::string reason = UnreadableReason(control_file);
  if (!reason.empty()) {
    *why = control_file + ": " + reason;
    return false;
  }
  ReadingMap map;
  ZTRObjectManager objects;
  if (!objects.ReadFile(control_file.c_str(), &map)) {
    *why = control_file + ": cannot be read";
    return false;
  }
  // The stages' console lines stay off; their log goes to memory.
  const int trace_level = g_ZTRConfig.GetTraceLevel();
  g_ZTRConfig.SetTraceLevel(0);
  std::ostringstream log;
  const bool built = PreviewBuilder(objects, map, preview).Build(root, &log, why);
  g_ZTRConfig.SetTraceLevel(trace_level);
  return built;
}
