// The stand-in's document files: a first line "STANDIN-DOCUMENT 1", then "product" and
// "other" roots, each product's "partnumber TEXT" and "component TEXT" lines, and a
// component's "reference TEXT". TEXT escapes "\\", "\n" and "\r".
#ifndef PLATFORM_STANDIN_DOCUMENT_FORMAT_H
#define PLATFORM_STANDIN_DOCUMENT_FORMAT_H

#include <functional>
#include <string>
#include <vector>

#include "system/files.h"

class StandinDocument;

struct StandinComponent {
  std::string instance_name;
  bool has_reference = false;
  std::string reference;                // as read, or as last written
  StandinDocument* resolved = nullptr;  // the document it refers to, once opened
};

struct StandinRoot {
  bool is_product = true;
  std::string part_number;
  std::vector<StandinComponent> components;
};

// `text` with "\\", line feed and carriage return escaped, as document files write it.
std::string EscapeStandinText(const std::string& text);

// The roots of a document file's text; false when the text is malformed.
bool ParseStandinDocument(const std::string& text, std::vector<StandinRoot>* roots);

// The roots of the document file at `path` in `files`, and what that file is; false when it is
// not a regular file, cannot be read or is malformed.
bool ReadStandinDocument(FileSystem& files, const std::string& path,
                         std::vector<StandinRoot>* roots, FileFacts* facts = nullptr);

// Writes a document file's text piece by piece to `write`, which stops the writing by
// returning false; `reference` gives what is written as a component's reference. False when
// `write` stopped it.
bool WriteStandinDocument(const std::vector<StandinRoot>& roots,
                          const std::function<std::string(const StandinComponent&)>& reference,
                          const std::function<bool(const std::string&)>& write);

// A document file's text. `references[i]` is written for the i-th component that has a
// reference, counting through all roots in order.
std::string FormatStandinDocument(const std::vector<StandinRoot>& roots,
                                  const std::vector<std::string>& references);

#endif  // PLATFORM_STANDIN_DOCUMENT_FORMAT_H
