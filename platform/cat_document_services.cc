#include <deque>
#include <unordered_map>

#include "CATDocumentServices.h"
#include "standin_faults.h"
#include "standin_session.h"
#include "system/files.h"
#include "system/paths.h"

namespace {

// The document with `storage_name` in `session`, read from its file and added when it is not
// there yet; null when the file cannot be read or is malformed. A document added joins
// `unresolved`, for its references to be opened in turn.
StandinDocument* FindOrRead(CATSession* session, const std::string& storage_name,
                            std::deque<StandinDocument*>* unresolved) {
  if (StandinFaultOnPath("OpenDocument", storage_name)) return nullptr;
  if (StandinDocument* open = session->Find(storage_name)) return open;
  std::vector<StandinRoot> roots;
  FileFacts file;
  if (!ReadStandinDocument(session->files(), storage_name, &roots, &file)) return nullptr;
  // Read under a name that reaches a file opened already (it may have just appeared there).
  if (StandinDocument* open = session->FindFile(file.id)) return open;
  StandinDocument* document =
      session->Add(std::make_unique<StandinDocument>(storage_name, std::move(roots), file));
  unresolved->push_back(document);
  return document;
}

// Opens the document with `storage_name`, then every document its components refer to, and
// theirs, one after the other: however deep the structure, the stack stays as it is.
StandinDocument* Open(CATSession* session, const std::string& storage_name) {
  std::deque<StandinDocument*> unresolved;
  StandinDocument* opened = FindOrRead(session, storage_name, &unresolved);
  while (!unresolved.empty()) {
    StandinDocument* document = unresolved.front();
    unresolved.pop_front();
    const std::string directory = DirectoryOf(document->storage_name());
    // Components of one document often refer to one file: each reference is worked out once.
    std::unordered_map<std::string, StandinDocument*> opened_for;
    for (StandinRoot& root : document->roots()) {
      for (StandinComponent& component : root.components) {
        if (!component.has_reference || component.reference.empty()) continue;
        const std::string& reference = component.reference;
        const auto known = opened_for.find(reference);
        if (known != opened_for.end()) {
          component.resolved = known->second;
          continue;
        }
        component.resolved =
            FindOrRead(session, ReferenceStorageName(reference, directory), &unresolved);
        opened_for.emplace(reference, component.resolved);
      }
    }
  }
  return opened;
}

}  // namespace

HRESULT CATDocumentServices::OpenDocument(const CATUnicodeString& path, CATDocument*& document,
                                          bool) {
  document = nullptr;
  CATSession* session = CurrentStandinSession();
  if (session == nullptr) return E_FAIL;
  const std::string storage_name =
      StorageName(std::string(path.ConvertToChar(), static_cast<size_t>(path.GetLengthInChar())));
  // Held before it is read, so that what is read stays the file until the session ends: a
  // document that another process holds is not opened.
  Holder holder;
  std::unique_ptr<FileHold> hold = session->files().Hold(storage_name, &holder);
  if (hold == nullptr) return E_FAIL;
  const bool was_open = session->Find(storage_name) != nullptr;
  document = Open(session, storage_name);
  if (document == nullptr) return E_FAIL;
  session->Keep(std::move(hold));
  return was_open ? S_FALSE : S_OK;
}

HRESULT CATDocumentServices::GetDocumentInSession(const CATUnicodeString& name,
                                                  CATDocument*& document) {
  document = nullptr;
  CATSession* session = CurrentStandinSession();
  const std::string storage_name =
      StorageName(std::string(name.ConvertToChar(), static_cast<size_t>(name.GetLengthInChar())));
  if (session == nullptr || StandinFaultOnPath("GetDocumentInSession", storage_name)) {
    return E_FAIL;
  }
  document = session->Find(storage_name);
  return document ? S_OK : E_FAIL;
}

namespace {

// The one answer to "may `document` be saved as `target` (a storage name), and if not, why?".
// A save that writes nothing asks it as a save on disk does: the files layer keeps what a
// process that writes nothing would have written.
std::string WhyNotSave(const CATSession& session, const StandinDocument& document,
                       const std::string& target) {
  const std::string problem = PathProblem(target);
  if (!problem.empty()) return problem;
  // Another open document, by its name or by its file (through links), is never overwritten.
  const StandinDocument* holder = session.Find(target);
  if (holder != nullptr && holder != &document) {
    return "\"" + target + "\" is the file of another open document, \"" + holder->storage_name() +
           "\"";
  }
  // A document whose file changed since it was read would write a stale copy, wherever it
  // went: another program (or run) has saved that file meanwhile.
  FileFacts now;
  if (!session.files().CurrentFacts(document.storage_name(), &now) ||
      !now.SameContentAs(document.file())) {
    return "\"" + document.storage_name() + "\" has changed on disk since it was opened";
  }
  return session.files().WhyNotReplace(target);
}

}  // namespace

HRESULT CATDocumentServices::SaveAs(CATDocument& document, const CATUnicodeString& target,
                                    const CATUnicodeString&, unsigned char) {
  CATSession* session = CurrentStandinSession();
  auto& saved = static_cast<StandinDocument&>(document);
  const std::string storage_name = StorageName(
      std::string(target.ConvertToChar(), static_cast<size_t>(target.GetLengthInChar())));
  if (session == nullptr) return E_FAIL;
  SaveAnswer answer;
  answer.target = storage_name;
  FileSystem& files = session->files();
  // The target is held before it is judged: what the judgement sees stays so until the save
  // is in place.
  Holder holder;
  std::unique_ptr<FileHold> hold;
  if (StandinFaultOnPath("SaveAs", storage_name)) {
    answer.refusal = "the platform fails this save (QUORVEL_STANDIN_FAIL)";
  } else if ((hold = files.Hold(storage_name, &holder)) == nullptr) {
    answer.refusal = "\"" + storage_name + "\" is " + DescribeHolder(holder);
  } else {
    answer.refusal = WhyNotSave(*session, saved, storage_name);
  }
  if (!answer.refusal.empty()) {
    session->NoteSaveAnswer(answer);
    return E_FAIL;
  }
  FileFacts there;
  const bool exists = files.CurrentFacts(storage_name, &there);
  answer.replaced = exists && !there.SameContentAs(saved.file());
  // What the target must still be when the save is put in place: the document's own file as
  // the session read it, another file as it is now, or nothing.
  const bool own_file = exists && (StorageKey(storage_name) == StorageKey(saved.storage_name()) ||
                                   there.id == saved.file().id);

  // References follow the documents they name, written relative to the new file's folder.
  const std::string directory = DirectoryOf(storage_name);
  std::unordered_map<const StandinDocument*, std::string> relative;
  std::unique_ptr<FileReplacement> replacement =
      files.BeginReplacement(storage_name, saved.file().permissions);
  if (replacement != nullptr)
    replacement->ExpectTarget(own_file ? &saved.file() : exists ? &there : nullptr);
  FileFacts written;
  if (replacement == nullptr ||
      !WriteStandinDocument(
          saved.roots(),
          [&](const StandinComponent& component) {
            if (component.resolved == nullptr) return component.reference;
            auto known = relative.find(component.resolved);
            if (known == relative.end()) {
              known = relative
                          .emplace(component.resolved,
                                   RelativePath(component.resolved->storage_name(), directory))
                          .first;
            }
            return known->second;
          },
          [&](const std::string& piece) { return replacement->Write(piece); }) ||
      !replacement->Commit(&written)) {
    answer.refusal = "\"" + storage_name + "\" could not be written";
    session->NoteSaveAnswer(answer);
    return E_FAIL;
  }
  session->NoteSaveAnswer(answer);
  session->Rename(&saved, storage_name, written);
  session->Keep(std::move(hold));
  return S_OK;
}
