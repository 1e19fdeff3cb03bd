// Findings that need the documents themselves: every listed document opened in a session of
// the check's own, nothing changed or saved, the session deleted again.
#ifndef CHECK_OPEN_CHECK_H
#define CHECK_OPEN_CHECK_H

#include "check/plan_check.h"
#include "findings/reading_map.h"
#include "findings/report.h"
#include "plan/ztr_document_manager.h"

void CheckOpen(const ZTRDocumentManager& plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report);

#endif  // CHECK_OPEN_CHECK_H
