#include "plan/ztr_document_manager.h"

// The session stages come with the stand-in's documents; until then there is nothing to do.
int ZTRDocumentManager::LoadDocuments() { return 0; }
int ZTRDocumentManager::ProcessDocuments() { return 0; }
