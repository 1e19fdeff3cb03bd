// The stages in the order a run makes them: loading, then the processing sequence (instance
// names, part numbers, saving) only when loading went through. The tool's run and the
// companions that predict it call this one sequence.
#ifndef SESSION_RUN_STAGES_H
#define SESSION_RUN_STAGES_H

#include "plan/ztr_document_manager.h"

// Returns loading's result; the processing sequence's result is the stages' own lines'.
int RunStages(ZTRDocumentManager* plan);

#endif  // SESSION_RUN_STAGES_H
