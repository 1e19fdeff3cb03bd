// What the session stages tell their caller besides their log lines and results: each record
// that failed while the stage went on, and the record at which a stage stopped, with the
// reason in words. The companions that predict a run read them; the run itself does not ask.
#ifndef PLAN_STAGE_EVENT_H
#define PLAN_STAGE_EVENT_H

#include <string>
#include <vector>

#include "CATUnicodeString.h"

enum class StageList { kDocuments, kChangeableDocuments, kDocumentInstances };

// A reason in the tool's words: fixed text and the values and files it names, kept apart so that
// a companion shows each value and file in its own way (quoted, escaped, the file in full).
// Made with + from text and the pieces below: "the component " + EventValue(name) + " ...".
class EventText {
 public:
  enum class Kind { kText, kValue, kFile };
  struct Piece {
    Kind kind;
    std::string text;  // a file as the plan spells it
  };

  EventText() = default;
  EventText(const char* text) : pieces_{{Kind::kText, text}} {}         // NOLINT: implicit
  EventText(const std::string& text) : pieces_{{Kind::kText, text}} {}  // NOLINT: implicit
  EventText(Kind kind, const CATUnicodeString& text)
      : pieces_{{kind,
                 std::string(text.ConvertToChar(), static_cast<size_t>(text.GetLengthInChar()))}} {}

  const std::vector<Piece>& pieces() const { return pieces_; }

  friend EventText operator+(EventText a, const EventText& b) {
    a.pieces_.insert(a.pieces_.end(), b.pieces_.begin(), b.pieces_.end());
    return a;
  }

 private:
  std::vector<Piece> pieces_;
};

// A part number, instance name or other value named in a reason, every byte as it is.
inline EventText EventValue(const CATUnicodeString& text) {
  return EventText(EventText::Kind::kValue, text);
}
// A document's file named in a reason, as the plan spells it.
inline EventText EventFile(const CATUnicodeString& path) {
  return EventText(EventText::Kind::kFile, path);
}

struct StageEvent {
  const char* stage;  // "loading", "new instance names", "new part numbers" or "saving"
  StageList list;     // the list of the record
  int index;          // its position in that list, from 1
  bool stopped;       // the stage ended at this record; otherwise the record alone failed
  EventText why;      // with the files and names concerned
};

// A save that the saving stage asked of the platform, made or not, in the order it asked them:
// the companions pair each with the platform's answer instead of working out the order again.
struct StageSave {
  StageList list;  // kChangeableDocuments: under its new file; kDocuments: in place
  int index;
  CATUnicodeString location;  // the document's file before the save, as the plan spells it
  CATUnicodeString target;    // the file it is saved to, as the plan spells it
  bool made;                  // the platform saved it
};

#endif  // PLAN_STAGE_EVENT_H
