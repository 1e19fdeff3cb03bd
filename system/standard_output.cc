#include "system/standard_output.h"

#include <algorithm>
#include <cstring>

#include "system/system.h"

StandardOutputBuffer::StandardOutputBuffer()
    : buffer_(size_t{1} << 16), by_line_(StandardOutputIsTerminal()) {
  // On a terminal every byte comes to overflow or xsputn, which write each line as it ends.
  if (!by_line_) setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool StandardOutputBuffer::Write(const char* bytes, size_t size) {
  int error = 0;
  if (size > 0 && failure_.empty() && !WriteStandardOutput(bytes, size, &error)) {
    failure_ = std::strerror(error);
  }
  return failure_.empty();
}

bool StandardOutputBuffer::Drain() {
  if (by_line_) {
    const bool written = Write(line_.data(), line_.size());
    line_.clear();
    return written;
  }
  const size_t size = static_cast<size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return Write(buffer_.data(), size);
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    return Drain() ? traits_type::not_eof(c) : traits_type::eof();
  }
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize StandardOutputBuffer::xsputn(const char* bytes, std::streamsize count) {
  if (!by_line_) {
    // Through the put area, draining it whenever it is full.
    std::streamsize done = 0;
    while (done < count) {
      if (pptr() == epptr() && !Drain()) return done;
      const std::streamsize room = std::min<std::streamsize>(epptr() - pptr(), count - done);
      std::memcpy(pptr(), bytes + done, static_cast<size_t>(room));
      pbump(static_cast<int>(room));
      done += room;
    }
    return done;
  }
  line_.append(bytes, static_cast<size_t>(count));
  const size_t end = line_.rfind('\n');
  if (end != std::string::npos) {
    const bool written = Write(line_.data(), end + 1);
    line_.erase(0, end + 1);
    if (!written) return 0;
  }
  return count;
}

int StandardOutputBuffer::sync() { return Drain() ? 0 : -1; }
