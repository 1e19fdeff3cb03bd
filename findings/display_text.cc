#include "findings/display_text.h"

#include "system/paths.h"

namespace {

void Octal(unsigned char byte, std::string* out) {
  out->push_back('\\');
  out->push_back(static_cast<char>('0' + (byte >> 6)));
  out->push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
  out->push_back(static_cast<char>('0' + (byte & 7)));
}

// The length of the valid UTF-8 sequence at `text[i]` (a byte of 0x80 or more) and its code
// point, or 0 when the bytes there are not one.
size_t Utf8Sequence(const std::string& text, size_t i, unsigned* code_point) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length;
  unsigned value, minimum;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, value = lead & 0x1f, minimum = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, value = lead & 0x0f, minimum = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xc0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3f);
  }
  if (value < minimum || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return 0;
  *code_point = value;
  return length;
}

bool Invisible(unsigned c) {
  return (c >= 0x80 && c <= 0x9f) || (c >= 0x200b && c <= 0x200f) || (c >= 0x2028 && c <= 0x202e) ||
         (c >= 0x2060 && c <= 0x2069) || c == 0xfeff;
}

// DisplayText, appended to `out`; with `quote`, a double quote is escaped too.
void AppendEscaped(const std::string& text, bool quote, std::string* result) {
  static const char kLetters[] = "abtnvfr";  // the escapes of bytes 7 to 13
  std::string& out = *result;
  out.reserve(out.size() + text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte == '\\' || (quote && byte == '"')) {
      out.push_back('\\');
      out.push_back(static_cast<char>(byte));
    } else if (byte >= 7 && byte <= 13) {
      out.push_back('\\');
      out.push_back(kLetters[byte - 7]);
    } else if (byte < 0x20 || byte == 0x7f) {
      Octal(byte, &out);
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
    } else {
      unsigned code_point = 0;
      const size_t length = Utf8Sequence(text, i, &code_point);
      if (length == 0 || Invisible(code_point)) {
        for (size_t k = 0; k < (length == 0 ? 1 : length); ++k) {
          Octal(static_cast<unsigned char>(text[i + k]), &out);
        }
        i += length == 0 ? 1 : length;
      } else {
        out.append(text, i, length);
        i += length;
      }
      continue;
    }
    ++i;
  }
}

}  // namespace

std::string DisplayText(const std::string& text) {
  std::string out;
  AppendEscaped(text, false, &out);
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  AppendEscaped(text, true, &out);
  return out + '"';
}

std::string QuotedFile(const std::string& path) { return Quoted(StorageName(path)); }

std::string DisplayEvent(const EventText& text) {
  std::string out;
  for (const EventText::Piece& piece : text.pieces()) {
    out += piece.kind == EventText::Kind::kText    ? piece.text
           : piece.kind == EventText::Kind::kValue ? Quoted(piece.text)
                                                   : QuotedFile(piece.text);
  }
  return out;
}

std::string DisplayFile(const std::string& storage_name, const std::string& cwd) {
  return DisplayText(RelativePath(storage_name, cwd));
}
