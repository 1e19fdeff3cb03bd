#include "session/run_stages.h"

int RunStages(ZTRDocumentManager* plan) {
  const int loaded = plan->LoadDocuments();
  if (loaded == 0) plan->ProcessDocuments();
  return loaded;
}
