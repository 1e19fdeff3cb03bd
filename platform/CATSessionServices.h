// Creation and deletion of the process's one batch session.
#ifndef CATSESSIONSERVICES_H
#define CATSESSIONSERVICES_H

#include "CATErrorDef.h"
#include "CATSession.h"

// Creates the session `name` and points `session` at it. Fails (negative, `session` null)
// while a session exists in the process.
HRESULT Create_Session(const char* name, CATSession*& session);

// Deletes the session `name` and discards its documents unsaved. Fails when no session of that
// name exists.
HRESULT Delete_Session(const char* name, int force_delete = 0, int close_storage = 0);

#endif  // CATSESSIONSERVICES_H
