// Findings that need the documents themselves: every listed document opened in a session of
// the check's own, nothing changed or saved, the session deleted again.
#ifndef CHECK_OPEN_CHECK_H
#define CHECK_OPEN_CHECK_H

#include "check/plan_check.h"
#include "check/reading_map.h"
#include "check/report.h"
#include "plan/ztr_document_manager.h"

void CheckOpen(const ZTRDocumentManager& plan, const CheckedPlan& listed, const ReadingMap& map,
               Report* report);

#endif  // CHECK_OPEN_CHECK_H
