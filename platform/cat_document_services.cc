#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "CATDocumentServices.h"
#include "standin_faults.h"
#include "standin_paths.h"
#include "standin_session.h"

namespace {

// Opens the document with `storage_name` in `session`, then what its components refer to.
// Null when the file cannot be read or is malformed.
StandinDocument* Open(CATSession* session, const std::string& storage_name) {
  if (StandinFaultOnPath("OpenDocument", storage_name)) return nullptr;
  if (StandinDocument* open = session->Find(storage_name)) return open;
  std::vector<StandinRoot> roots;
  if (!ReadStandinDocument(storage_name, &roots)) return nullptr;
  StandinDocument* document =
      session->Add(std::make_unique<StandinDocument>(storage_name, std::move(roots)));
  const std::string directory = DirectoryOf(storage_name);
  for (StandinRoot& root : document->roots()) {
    for (StandinComponent& component : root.components) {
      if (!component.has_reference || component.reference.empty()) continue;
      const std::string& reference = component.reference;
      component.resolved = Open(session, ReferenceStorageName(reference, directory));
    }
  }
  return document;
}

// Writes `text` to a new file beside `target` and renames it over `target`; on any failure
// the target is untouched and the new file removed.
bool ReplaceFile(const std::string& target, const std::string& text) {
  const std::string directory = DirectoryOf(target);
  std::string temporary = directory + "/.quorvel-save-XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) return false;
  bool written = true;
  for (size_t done = 0; written && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      written = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  written = written && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  // mkstemp makes the file readable by its owner only; a document is as readable as any file.
  const mode_t mask = umask(0);
  umask(mask);
  written = written && chmod(temporary.c_str(), 0666 & ~mask) == 0;
  if (written && std::rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace

HRESULT CATDocumentServices::OpenDocument(const CATUnicodeString& path, CATDocument*& document,
                                          bool) {
  document = nullptr;
  CATSession* session = CurrentStandinSession();
  if (session == nullptr) return E_FAIL;
  const std::string storage_name = StorageName(path.ConvertToChar());
  const bool was_open = session->Find(storage_name) != nullptr;
  document = Open(session, storage_name);
  if (document == nullptr) return E_FAIL;
  return was_open ? S_FALSE : S_OK;
}

HRESULT CATDocumentServices::GetDocumentInSession(const CATUnicodeString& name,
                                                  CATDocument*& document) {
  document = nullptr;
  CATSession* session = CurrentStandinSession();
  const std::string storage_name = StorageName(name.ConvertToChar());
  if (session == nullptr || StandinFaultOnPath("GetDocumentInSession", storage_name)) {
    return E_FAIL;
  }
  document = session->Find(storage_name);
  return document ? S_OK : E_FAIL;
}

HRESULT CATDocumentServices::SaveAs(CATDocument& document, const CATUnicodeString& target,
                                    const CATUnicodeString&, unsigned char) {
  CATSession* session = CurrentStandinSession();
  auto& saved = static_cast<StandinDocument&>(document);
  const std::string storage_name = StorageName(target.ConvertToChar());
  if (session == nullptr || storage_name.empty() || StandinFaultOnPath("SaveAs", storage_name)) {
    return E_FAIL;
  }
  const StandinDocument* holder = session->Find(storage_name);
  if (holder != nullptr && holder != &saved) return E_FAIL;

  // References follow the documents they name, written relative to the new file's folder.
  const std::string directory = DirectoryOf(storage_name);
  std::vector<std::string> references;
  for (const StandinRoot& root : saved.roots()) {
    for (const StandinComponent& component : root.components) {
      if (!component.has_reference) continue;
      references.push_back(component.resolved
                               ? RelativePath(component.resolved->storage_name(), directory)
                               : component.reference);
    }
  }
  if (!ReplaceFile(storage_name, FormatStandinDocument(saved.roots(), references))) return E_FAIL;
  session->Rename(&saved, storage_name);
  return S_OK;
}
