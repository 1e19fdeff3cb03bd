#include "prediction/run_prediction.h"

#include <map>
#include <set>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "findings/display_text.h"
#include "plan/text.h"
#include "product/root_product.h"
#include "session/run_stages.h"
#include "system/files.h"
#include "system/paths.h"
#include "system/system.h"

namespace {

// The files a run has open at once while it saves, besides those it was started with: its log,
// and the target's folder and the temporary file of the save. (A document read, or a hold file
// made, is open alone in its turn, within these.)
const int64_t kFilesOpenToSave = 3;

// Why no save of a run started as this process was would get the files it needs open, or empty
// when it would: this process's limit, and how to raise it.
std::string WhyNoRoomToSave(const OpenFileRoom& room) {
  if (room.limit < 0 || room.left >= kFilesOpenToSave) return std::string();
  const int64_t needed = room.limit + (kFilesOpenToSave - room.left);
  std::string why =
      "a save has the folder and a temporary file open at once, besides the "
      "run's log, and this process may have " +
      std::to_string(room.limit) + " files open (ulimit -n), " +
      std::to_string(room.limit - room.left) +
      " of them open already; raise the limit before the run, with ulimit -n " +
      std::to_string(needed) + " or more";
  if (room.hard_limit >= 0 && needed > room.hard_limit) {
    why += ", which the system's hard limit of " + std::to_string(room.hard_limit) +
           " does not allow: ask for a higher one";
  }
  return why;
}

class Predictor {
 public:
  Predictor(ZTRDocumentManager* plan, FileSystem& files, RunPrediction* prediction)
      : plan_(*plan),
        files_(files),
        prediction_(*prediction),
        no_room_(WhyNoRoomToSave(OpenFileRoomNow())) {}

  // Opens every listed document as loading will, in a session of its own: what cannot be
  // opened is said for every record at once (the run stops at the first), and a part number
  // on disk that loading overwrites is a warning. Also notes the files the plan reads.
  void LookFirst() {
    for (int i = 1; i <= plan_.DocumentCount(); ++i) Look(StageList::kDocuments, i);
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      Look(StageList::kChangeableDocuments, i);
    }
  }

  // The files the plan reads, by the storage names that reach them, taken before the run: each
  // file that a record saves to, under a new file or in place.
  void NoteReadFiles() {
    for (int i = 1; i <= plan_.ChangeableDocumentCount(); ++i) {
      NoteReadFile(plan_.ChangeableDocumentAt(i).NewExternalLocation);
    }
    for (int i = 1; i <= plan_.DocumentCount(); ++i)
      NoteReadFile(plan_.DocumentAt(i).ExternalLocation);
  }

  // The stages as the run makes them, in a session that keeps the platform's answer to each
  // save in `answers`.
  void Run(const std::vector<SaveAnswer>& answers) {
    std::vector<StageEvent> events;
    std::vector<StageSave> saves;
    plan_.TellStageEvents(&events, &saves);
    RunStages(&plan_);
    plan_.TellStageEvents(nullptr);
    const StageEvent* saving_stop = nullptr;
    for (const StageEvent& event : events) {
      if (event.stopped) prediction_.stops = true;
      if (std::string(event.stage) == "saving") {
        if (event.stopped) saving_stop = &event;
        continue;  // said below, with the saves
      }
      if (std::string(event.stage) == "loading" && reported_.count({event.list, event.index})) {
        continue;
      }
      Finding(event.list, event.index, KeyOf(event), true,
              event.stopped
                  ? "the run stops here: " + DisplayEvent(event.why) + "; nothing is saved"
                  : "the run fails here: " + DisplayEvent(event.why));
    }
    // Each save the stage asked for, with the answer the platform gave that very call: one
    // answer for each call, in the order of the calls.
    for (size_t s = 0; s < saves.size() && s < answers.size(); ++s) {
      if (StorageKey(StorageName(Text(saves[s].target))) != StorageKey(answers[s].target)) break;
      Judge(saves[s], answers[s]);
    }
    if (saving_stop != nullptr) {
      Finding(saving_stop->list, saving_stop->index, "EXTERNAL_LOCATION", true,
              "the run stops saving here: " + DisplayEvent(saving_stop->why) +
                  "; nothing after it is saved");
    }
  }

 private:
  void Finding(StageList list, int index, const char* key, bool error, const std::string& text) {
    prediction_.findings.push_back({list, index, key, error, text});
  }

  const ZTRDocument& Record(StageList list, int index) const {
    return list == StageList::kDocuments ? plan_.DocumentAt(index)
                                         : plan_.ChangeableDocumentAt(index);
  }

  static const char* KeyOf(const StageEvent& event) {
    const std::string stage = event.stage;
    if (stage == "loading") return "EXTERNAL_LOCATION";
    if (stage == "new part numbers") return "PARTNUMBER";
    return event.stopped ? "PARENT_PARTNUMBER" : "INSTANCENAME";
  }

  void NoteReadFile(const CATUnicodeString& saved_to) {
    const std::string target = StorageName(Text(saved_to));
    FileId file;
    if (target.empty() || !files_.FindFileId(target, &file)) return;
    const std::string link = files_.LinkTarget(target);
    if (!link.empty()) links_.emplace(StorageKey(target), link);
    const auto reader = reads_.find(file);
    if (reader != reads_.end()) {
      before_.emplace(StorageKey(target), reader->second);
      return;
    }
    // What a file that the run replaces holds, looked at while this session is the first.
    CATDocument* there = nullptr;
    if (SUCCEEDED(CATDocumentServices::OpenDocument(saved_to, there, false))) {
      CATIProduct_var root = FindRootProduct(there);
      if (root != NULL_var) held_.emplace(StorageKey(target), Text(root->GetPartNumber()));
    }
  }

  void Look(StageList list, int index) {
    const ZTRDocument& record = Record(list, index);
    const std::string location = Text(record.ExternalLocation);
    FileId file;
    if (!location.empty() && files_.FindFileId(location, &file)) reads_.emplace(file, &record);
    CATDocument* document = nullptr;
    if (FAILED(CATDocumentServices::OpenDocument(record.ExternalLocation, document, false)) ||
        document == nullptr) {
      reported_.insert({list, index});
      Finding(list, index, "EXTERNAL_LOCATION", true,
              "the run stops here: " + QuotedFile(location) +
                  " cannot be opened: " + WhyNotOpened(location) + "; nothing is saved");
      return;
    }
    CATIProduct_var root = FindRootProduct(document);
    if (root == NULL_var) {
      reported_.insert({list, index});
      Finding(
          list, index, "EXTERNAL_LOCATION", true,
          "the run stops here: " + QuotedFile(location) + " has no root product; nothing is saved");
      return;
    }
    const CATUnicodeString carried = root->GetPartNumber();
    if (carried != record.PartNumber) {
      Finding(list, index, "PARTNUMBER", false,
              "the root product of " + QuotedFile(location) + " carries the part number " +
                  Quoted(Text(carried)) + ", which loading overwrites with " +
                  Quoted(Text(record.PartNumber)));
    }
  }

  // Why the platform could not open `path`, in the words of the files layer.
  std::string WhyNotOpened(const std::string& path) {
    const std::string problem = PathProblem(path);
    if (!problem.empty()) return problem;
    Holder holder;
    if (files_.FindHolder(path, &holder)) return "it is " + DescribeHolder(holder);
    FileFacts facts;
    FileId id;
    if (files_.CurrentFacts(path, &facts)) return "it is not a document the platform can read";
    if (files_.FindFileId(path, &id)) return "it is not a regular file";
    return "there is no such file";
  }

  // One save as the platform answered it, held against the files the plan reads and writes.
  void Judge(const StageSave& saved, const SaveAnswer& answer) {
    const char* key =
        saved.list == StageList::kDocuments ? "EXTERNAL_LOCATION" : "NEW_EXTERNAL_LOCATION";
    const ZTRDocument* record = &Record(saved.list, saved.index);
    const std::string location = Text(saved.location);
    const std::string target = Text(saved.target);
    const std::string& refusal = answer.refusal.empty() ? no_room_ : answer.refusal;
    if (!refusal.empty()) {
      Finding(saved.list, saved.index, key, true,
              "the run cannot save " + QuotedFile(location) + " as " + QuotedFile(target) + ": " +
                  DisplayText(refusal));
      return;
    }
    prediction_.saves.push_back({saved.list, saved.index, StorageName(location), answer.target});
    const auto link = links_.find(StorageKey(answer.target));
    if (link != links_.end()) {
      Finding(saved.list, saved.index, key, false,
              QuotedFile(answer.target) + " is a link to " + QuotedFile(link->second) +
                  ": the run puts the saved document in place of the link, and " +
                  QuotedFile(link->second) + " keeps what it holds; save to " +
                  QuotedFile(link->second) + " itself to change it");
    }
    const auto was = before_.find(StorageKey(answer.target));
    if (was != before_.end()) {
      const ZTRDocument* reader = was->second;
      if (reader == record || files_.SameFile(Text(reader->ExternalLocation), location)) {
        if (saved.target != record->ExternalLocation) {
          Finding(saved.list, saved.index, key, true,
                  Quoted(target) + " is the document's own file " + QuotedFile(location) +
                      ", spelt otherwise: the run replaces the original instead of writing a " +
                      "new file");
        }
      } else {
        Finding(saved.list, saved.index, key, true,
                "the run saves " + QuotedFile(location) + " over " + QuotedFile(answer.target) +
                    ", the file of the document of part number " +
                    Quoted(Text(reader->PartNumber)) + " that the plan reads");
      }
    } else if (answer.replaced) {
      // A file that holds the same part, as an undo or a redo finds it, is what the plan
      // means to replace; any other is said.
      const auto held = held_.find(StorageKey(answer.target));
      const CATUnicodeString& new_part_number =
          saved.list == StageList::kChangeableDocuments
              ? static_cast<const ZTRChangeableDocument*>(record)->NewPartNumber
              : record->PartNumber;
      if (held == held_.end() || held->second != Text(new_part_number)) {
        Finding(saved.list, saved.index, key, false,
                "a file " + QuotedFile(answer.target) + " exists already and is replaced" +
                    (held == held_.end() ? std::string()
                                         : "; it holds the part " + Quoted(held->second)));
      }
    }
    const auto writer = written_.emplace(StorageKey(answer.target), record);
    if (!writer.second && writer.first->second != record &&
        !files_.SameFile(Text(writer.first->second->ExternalLocation), location)) {
      Finding(saved.list, saved.index, key, true,
              "the run saves " + QuotedFile(location) + " to " + QuotedFile(answer.target) +
                  ", which it has written with another document before");
    }
  }

 private:
  ZTRDocumentManager& plan_;
  FileSystem& files_;
  RunPrediction& prediction_;
  std::set<std::pair<StageList, int>> reported_;       // said by the first look
  std::map<FileId, const ZTRDocument*> reads_;         // file -> first record reading it
  std::map<std::string, const ZTRDocument*> before_;   // save target -> record reading it
  std::map<std::string, const ZTRDocument*> written_;  // by the storage key of the target
  std::map<std::string, std::string> links_;           // save target -> the file its link leads to
  std::map<std::string, std::string> held_;  // save target -> the part number its file holds
  const std::string no_room_;  // why no save gets the files it needs open; empty when all do
};

}  // namespace

bool PredictRun(ZTRDocumentManager* plan, FileSystem& files, const char* session_name,
                RunPrediction* prediction, std::string* why) {
  *prediction = RunPrediction();
  if (!files.KeepsWritesInMemory()) {
    *why = "a prediction of a run would write files";
    return false;
  }
  Predictor predictor(plan, files, prediction);
  std::vector<SaveAnswer> answers;
  CATSession* session = nullptr;
  if (FAILED(Create_Session(session_name, session, files, nullptr)) || session == nullptr) {
    *why = "no session of the platform can be created";
    return false;
  }
  predictor.LookFirst();
  predictor.NoteReadFiles();
  Delete_Session(session_name, 0, 0);
  session = nullptr;
  if (FAILED(Create_Session(session_name, session, files, &answers)) || session == nullptr) {
    *why = "no session of the platform can be created";
    return false;
  }
  predictor.Run(answers);
  Delete_Session(session_name, 0, 0);
  return true;
}
