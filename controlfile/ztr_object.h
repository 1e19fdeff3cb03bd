// ZTRObject: one record of the control file, an identifier with attribute keys and values.
// Keys are upper case and unique; values are stored encoded, a line break as "@EOL@".
#ifndef CONTROLFILE_ZTR_OBJECT_H
#define CONTROLFILE_ZTR_OBJECT_H

#include <cstddef>
#include <cstdio>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CATListOfCATString.h"
#include "CATString.h"
#include "controlfile/control_file_observer.h"
#include "controlfile/control_scanner.h"

class ZTRObject {
 public:
  // Records read one after the other from an open file's position, as the store reads a whole
  // file; `observer` and `read_ahead` as for ControlFileInput, offsets counted from the position.
  class Reader {
   public:
    explicit Reader(FILE* file, ControlFileObserver* observer = nullptr, bool read_ahead = false);
    // Records read from `bytes`, which outlive the reader.
    Reader(std::string_view bytes, ControlFileObserver* observer);
    // Bytes taken so far.
    size_t Taken() const { return input_.Taken(); }
    // Reads the next record into `object`, as ReadFromFile does.
    bool Read(ZTRObject* object);

   private:
    // Adds an attribute as read to the record's `text`. The new value of a key given again goes
    // at the end of the text, and the record is laid out in order once it is read.
    void Add(std::pmr::string* text, std::string_view key, std::string_view value);

    ControlFileInput input_;
    ControlFileObserver* observer_;
    struct Entry {
      size_t key, key_length, value, value_length;  // where they are in the record's text
    };
    std::vector<Entry> entries_;  // the attributes of the record being read, in order
    // The entry of each key, once a record has many.
    std::unordered_map<std::string, size_t> index_;
    bool scattered_ = false;  // a value is out of its place in the text
  };

  ZTRObject() = default;
  // A copy of `other` whose text is kept in `memory`.
  ZTRObject(const ZTRObject& other, std::pmr::memory_resource* memory)
      : text_(other.text_, memory) {}

  // Reads one record from the file's position: an identifier line and the attribute lines
  // after it, up to the first line that is not one; the file is left just after what was
  // matched. False when no identifier line is there, or its identifier is empty; the object
  // then holds no record.
  bool ReadFromFile(FILE* file);

  // Stores one attribute: the key upper-cased, the value with blanks cut from both ends and
  // carriage returns from its end. A key given again keeps its position and takes the new
  // value. Always true. Takes time that grows with the record.
  bool SetAttribute(const CATString& key, const CATString& value);

  // The value under `key` (any case), line breaks restored; empty when the key is absent.
  CATString GetAttribute(const CATString& key) const;

  // The value under `key` split into its items in braces; see the list rules in the .cc.
  CATListValCATString GetAttributeList(const CATString& key) const;

  // Writes the record to the console while the trace switch is on.
  void Dump() const;

  CATString GetIdentifier() const { return CATString(text_.c_str()); }
  // The identifier's text, valid as long as the object is not changed.
  const char* IdentifierText() const { return text_.c_str(); }

  // The attributes in order, from 1 like the platform's lists: their number, and the key and
  // the stored value at `position`. A position outside 1..AttributeCount() aborts the process,
  // as the platform's lists do.
  int AttributeCount() const;
  const char* Key(int position) const;
  const char* Value(int position) const;

 private:
  // Where the first key begins in text_, and where the text after the one at `at` begins.
  size_t FirstKey() const { return text_.find('\0') + 1; }
  size_t Next(size_t at) const { return text_.find('\0', at) + 1; }
  // Where the value of the stored `key` begins, or npos.
  size_t ValueOf(const char* key) const;
  // Where the key at `position` begins.
  size_t KeyAt(int position) const;

  // The identifier, then each key and its value, each text followed by a NUL byte.
  std::pmr::string text_;
};

#endif  // CONTROLFILE_ZTR_OBJECT_H
