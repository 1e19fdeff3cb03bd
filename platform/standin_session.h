// Inside of the stand-in's batch session: the open documents, by storage name and by the file
// they were read from or last saved to.
#ifndef PLATFORM_STANDIN_SESSION_H
#define PLATFORM_STANDIN_SESSION_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CATDocument.h"
#include "CATSession.h"
#include "standin_counted.h"
#include "standin_document_format.h"
#include "system/files.h"

class StandinDocument : public CATDocument {
 public:
  StandinDocument(std::string storage_name, std::vector<StandinRoot> roots, const FileFacts& file)
      : storage_name_(std::move(storage_name)), roots_(std::move(roots)), file_(file) {}

  // Gives an editor for IID_CATIEditor. The session owns documents: no counting here.
  HRESULT QueryInterface(const IID& iid, void** out) override;
  unsigned long AddRef() override { return 1; }
  unsigned long Release() override { return 1; }

  CATUnicodeString StorageName() const override {
    return CATUnicodeString(storage_name_.data(), storage_name_.size());
  }
  const std::string& storage_name() const { return storage_name_; }
  std::vector<StandinRoot>& roots() { return roots_; }
  // The file it was read from or last saved to, as it was then.
  const FileFacts& file() const { return file_; }
  // The first root that is a product, or null.
  StandinRoot* FirstProduct();

 private:
  friend class CATSession;
  std::string storage_name_;
  std::vector<StandinRoot> roots_;
  FileFacts file_;
};

class CATSession {
 public:
  CATSession(std::string name, FileSystem& files, std::vector<SaveAnswer>* answers)
      : name_(std::move(name)), number_(StartStandinSession()), files_(files), answers_(answers) {}
  // Writes one line on standard error for each interface still held or released too often.
  ~CATSession();

  const std::string& name() const { return name_; }
  // Tells the interface objects made in this session from those of earlier ones.
  uint32_t number() const { return number_; }
  // The document with that storage name, or else the one whose file the path reaches; null
  // when there is none.
  StandinDocument* Find(const std::string& storage_name) const;
  StandinDocument* FindFile(const FileId& file) const;
  StandinDocument* Add(std::unique_ptr<StandinDocument> document);
  // The document now goes by `storage_name`, saved to the file `file`.
  void Rename(StandinDocument* document, const std::string& storage_name, const FileFacts& file);
  // The files the session reads and writes.
  FileSystem& files() const { return files_; }
  // Keeps `hold` until the session is deleted: the file of a document it opened or saved.
  void Keep(std::unique_ptr<FileHold> hold) { holds_.push_back(std::move(hold)); }
  // Keeps the answer to a save, where the session was asked to keep them.
  void NoteSaveAnswer(const SaveAnswer& answer) const {
    if (answers_ != nullptr) answers_->push_back(answer);
  }

 private:
  std::string name_;
  uint32_t number_;
  FileSystem& files_;
  std::vector<SaveAnswer>* answers_;
  std::vector<std::unique_ptr<StandinDocument>> documents_;
  std::map<std::string, StandinDocument*> by_name_;  // by StorageKey of the storage name
  std::map<FileId, StandinDocument*> by_file_;
  std::vector<std::unique_ptr<FileHold>> holds_;  // released when the session goes
};

// The session that exists in the process, or null.
CATSession* CurrentStandinSession();

#endif  // PLATFORM_STANDIN_SESSION_H
