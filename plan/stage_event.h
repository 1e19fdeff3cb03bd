// What the session stages tell their caller besides their log lines and results: each record
// that failed while the stage went on, and the record at which a stage stopped, with the
// reason in words. The companions that predict a run read them; the run itself does not ask.
#ifndef PLAN_STAGE_EVENT_H
#define PLAN_STAGE_EVENT_H

#include <string>

#include "CATUnicodeString.h"

enum class StageList { kDocuments, kChangeableDocuments, kDocumentInstances };

struct StageEvent {
  const char* stage;  // "loading", "new instance names", "new part numbers" or "saving"
  StageList list;     // the list of the record
  int index;          // its position in that list, from 1
  bool stopped;       // the stage ended at this record; otherwise the record alone failed
  std::string why;    // in the tool's words, with the files and names concerned
};

// `text` in double quotes, every byte as it is, for the reasons of stage events.
inline std::string QuotedForEvent(const CATUnicodeString& text) {
  return "\"" + std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar())) +
         "\"";
}

#endif  // PLAN_STAGE_EVENT_H
