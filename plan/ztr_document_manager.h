// ZTRDocumentManager: the rename plan. Built once from the control file's objects into three
// lists of owned records, in control-file order, and never changed afterwards. The session
// stages are its operations too; they write through LogStream, which it does not own.
#ifndef PLAN_ZTR_DOCUMENT_MANAGER_H
#define PLAN_ZTR_DOCUMENT_MANAGER_H

#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "CATListPV.h"
#include "CATUnicodeString.h"
#include "controlfile/ztr_object_manager.h"
#include "plan/rename_records.h"
#include "plan/stage_event.h"

class ZTRDocumentManager {
 public:
  // Builds the lists from the objects that the object ROOT names under PARENT_OBJECTS,
  // CHILD_OBJECTS and INSTANCE_OBJECTS. Every value is copied; no reference to `objects` is
  // kept. Writes nothing.
  ZTRDocumentManager(const ZTRObjectManager& objects, std::ostream* log_stream);
  ~ZTRDocumentManager();
  ZTRDocumentManager(const ZTRDocumentManager&) = delete;
  ZTRDocumentManager& operator=(const ZTRDocumentManager&) = delete;

  // Writes the whole plan to the console while the trace switch is on.
  void Dump() const;

  // A document record by its list (kDocuments or kChangeableDocuments) and its position there,
  // from 1; index 0 names no record.
  struct DocumentPlace {
    StageList list = StageList::kDocuments;
    int index = 0;
  };

  // The record of the document whose product holds the instances with ParentPartNumber
  // `part_number`, as the run finds it: the first document whose PartNumber equals it, failing
  // that the first changeable document; index 0 when there is none. Takes the same time however
  // long the lists are, and writes nothing.
  DocumentPlace FindParentDocument(const CATUnicodeString& part_number) const;

  // The ExternalLocation of the record FindParentDocument finds; empty when there is none.
  CATUnicodeString FindDocumentName(const CATUnicodeString& part_number) const;

  // The session stages; each returns 0 or the code of the failure that stopped it. They are
  // the manager's operations, under the names the platform's convention gives them, but they
  // are defined in session/, one file a stage: load_documents.cc, set_new_instance_names.cc,
  // set_new_part_numbers.cc and save_documents.cc (with ProcessDocuments). This folder holds
  // the records and their lists, which need no session; session/ holds the work done inside
  // the CAD session (opening, finding, changing and saving documents).
  int LoadDocuments();
  int SetNewInstanceNames();
  int SetNewPartNumbers();
  int SaveDocuments();
  // Instance names, part numbers and saving, each only when the one before returned 0.
  int ProcessDocuments();

  // From now on the stages append to `events` each record that failed or stopped them (null:
  // they tell nothing). Their log lines and results stay the same either way.
  // Saving also appends every save it asks for to `saves`, when it is not null.
  void TellStageEvents(std::vector<StageEvent>* events, std::vector<StageSave>* saves = nullptr) {
    Events = events;
    Saves = saves;
  }
  void Tell(const char* stage, StageList list, int index, bool stopped,
            const EventText& why) const {
    if (Events != nullptr) Events->push_back({stage, list, index, stopped, why});
  }
  void TellSave(const StageSave& save) const {
    if (Saves != nullptr) Saves->push_back(save);
  }

  int DocumentCount() const { return Documents.Size(); }
  int ChangeableDocumentCount() const { return ChangeableDocuments.Size(); }
  int DocumentInstanceCount() const { return DocumentInstances.Size(); }
  // Records by position, from 1 to the list's count.
  const ZTRDocument& DocumentAt(int i) const {
    return *static_cast<const ZTRDocument*>(Documents[i]);
  }
  const ZTRChangeableDocument& ChangeableDocumentAt(int i) const {
    return *static_cast<const ZTRChangeableDocument*>(ChangeableDocuments[i]);
  }
  const ZTRDocumentInstance& DocumentInstanceAt(int i) const {
    return *static_cast<const ZTRDocumentInstance*>(DocumentInstances[i]);
  }
  // The record at `place`, which names one.
  const ZTRDocument& DocumentAt(DocumentPlace place) const {
    return place.list == StageList::kDocuments ? DocumentAt(place.index)
                                               : ChangeableDocumentAt(place.index);
  }

 private:
  CATRawCollPV Documents;
  CATRawCollPV ChangeableDocuments;
  CATRawCollPV DocumentInstances;
  std::ostream* LogStream;
  // The record that FindParentDocument finds for each part number, by its bytes.
  std::unordered_map<std::string, DocumentPlace> DocumentsByPartNumber;
  std::vector<StageEvent>* Events = nullptr;
  std::vector<StageSave>* Saves = nullptr;
};

#endif  // PLAN_ZTR_DOCUMENT_MANAGER_H
