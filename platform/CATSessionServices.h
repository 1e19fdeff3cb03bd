// Creation and deletion of the process's one batch session.
#ifndef CATSESSIONSERVICES_H
#define CATSESSIONSERVICES_H

#include <vector>

#include "CATErrorDef.h"
#include "CATSession.h"
#include "system/files.h"

// Creates the session `name` and points `session` at it. Fails (negative, `session` null)
// while a session exists in the process.
HRESULT Create_Session(const char* name, CATSession*& session);

// The stand-in's own: the same, for a session that reads and writes documents through `files`
// (system/files.h) instead of the disk, and, when `answers` is not null, adds to it the answer
// to each save asked of it, in order. The companions that run a plan to see what it would do
// give it a file system that writes nothing.
HRESULT Create_Session(const char* name, CATSession*& session, FileSystem& files,
                       std::vector<SaveAnswer>* answers);

// Deletes the session `name` and discards its documents unsaved. Fails when no session of that
// name exists.
HRESULT Delete_Session(const char* name, int force_delete = 0, int close_storage = 0);

#endif  // CATSESSIONSERVICES_H
