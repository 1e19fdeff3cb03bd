// Standard output as the companions write it: a stream buffer that writes to the file behind
// standard output itself and remembers the first failure, so that a report, table or control
// file cut short by a full disk or a closed pipe is told as not written. On a terminal each
// line is written as it ends, as a person reading it expects.
#ifndef SYSTEM_STANDARD_OUTPUT_H
#define SYSTEM_STANDARD_OUTPUT_H

#include <streambuf>
#include <string>
#include <vector>

class StandardOutputBuffer : public std::streambuf {
 public:
  StandardOutputBuffer();
  ~StandardOutputBuffer() override { sync(); }
  StandardOutputBuffer(const StandardOutputBuffer&) = delete;
  StandardOutputBuffer& operator=(const StandardOutputBuffer&) = delete;

  // The system's reason why some of the output was not written; empty while all of it was.
  const std::string& failure() const { return failure_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int sync() override;

 private:
  bool Write(const char* bytes, size_t size);
  bool Drain();

  std::vector<char> buffer_;
  bool by_line_;
  std::string line_;  // on a terminal: the line begun and not written yet
  std::string failure_;
};

#endif  // SYSTEM_STANDARD_OUTPUT_H
