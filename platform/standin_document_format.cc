#include "standin_document_format.h"

#include "system/files.h"

namespace {

const char kFirstLine[] = "STANDIN-DOCUMENT 1";
const size_t kNone = static_cast<size_t>(-1);

bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out->push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        out->push_back('\\');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      default:
        return false;
    }
  }
  return true;
}

// Splits "keyword TEXT" at its first blank; `has_text` tells whether there was one.
void SplitLine(const std::string& line, std::string* keyword, std::string* text, bool* has_text) {
  const size_t blank = line.find(' ');
  *has_text = blank != std::string::npos;
  keyword->assign(line, 0, blank);
  if (*has_text) {
    text->assign(line, blank + 1, std::string::npos);
  } else {
    text->clear();
  }
}

}  // namespace

std::string EscapeStandinText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

namespace {

// Counts the roots and each root's components ahead of reading them, so that the document
// takes no more memory than it needs, however large it is. Malformed text is counted as it
// comes; reading finds what is wrong with it.
std::vector<size_t> CountComponents(const std::string& text) {
  std::vector<size_t> counts;  // by root
  size_t product = kNone;
  for (size_t begin = text.find('\n'); begin != std::string::npos && begin + 1 < text.size();
       begin = text.find('\n', begin + 1)) {
    const char* line = text.c_str() + begin + 1;
    const size_t left = text.size() - begin - 1;
    auto is = [&](const char* keyword, size_t length, bool alone) {
      if (left < length || text.compare(begin + 1, length, keyword) != 0) return false;
      const char next = left == length ? '\n' : line[length];
      if (!alone) return next == ' ';
      return next == '\n' || (next == '\r' && left > length + 1 && line[length + 1] == '\n');
    };
    if (is("product", 7, true)) {
      product = counts.size();
      counts.push_back(0);
    } else if (is("other", 5, true)) {
      counts.push_back(0);
    } else if (product != kNone && is("component", 9, false)) {
      ++counts[product];
    }
  }
  return counts;
}

}  // namespace

bool ParseStandinDocument(const std::string& text, std::vector<StandinRoot>* roots) {
  roots->clear();
  const std::vector<size_t> counts = CountComponents(text);
  roots->reserve(counts.size());
  bool first = true;
  // The product begun last and the component begun last (indexes into `roots`), which an
  // "other" root between them and their lines does not change.
  size_t product = kNone, component_root = kNone;
  bool product_has_number = false;
  std::string line, keyword, raw, value;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    const bool ended = end != std::string::npos;  // a last line may lack its line feed
    if (!ended) end = text.size();
    line.assign(text, begin, end - begin);
    begin = end + 1;
    if (ended && !line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line != kFirstLine) return false;
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    bool has_text;
    SplitLine(line, &keyword, &raw, &has_text);
    if (!has_text && (keyword == "product" || keyword == "other")) {
      roots->push_back(StandinRoot{keyword == "product", "", {}});
      if (roots->size() <= counts.size())
        roots->back().components.reserve(counts[roots->size() - 1]);
      if (keyword == "product") {
        product = roots->size() - 1;
        product_has_number = false;
      }
      continue;
    }
    if (!has_text || !Unescape(raw, &value)) return false;
    if (keyword == "partnumber") {
      if (product == kNone || product_has_number) return false;
      (*roots)[product].part_number = value;
      product_has_number = true;
    } else if (keyword == "component") {
      if (product == kNone) return false;
      (*roots)[product].components.push_back(StandinComponent{value, false, "", nullptr});
      component_root = product;
    } else if (keyword == "reference") {
      if (component_root == kNone) return false;
      StandinComponent& component = (*roots)[component_root].components.back();
      if (component.has_reference) return false;
      component.has_reference = true;
      component.reference = value;
    } else {
      return false;
    }
  }
  return !first;
}

bool ReadStandinDocument(FileSystem& files, const std::string& path,
                         std::vector<StandinRoot>* roots, FileFacts* facts) {
  std::string text;
  FileFacts ignored;
  return files.ReadRegularFile(path, &text, facts ? facts : &ignored) &&
         ParseStandinDocument(text, roots);
}

bool WriteStandinDocument(const std::vector<StandinRoot>& roots,
                          const std::function<std::string(const StandinComponent&)>& reference,
                          const std::function<bool(const std::string&)>& write) {
  const size_t kPiece = 1 << 16;
  std::string text = std::string(kFirstLine) + "\n";
  for (const StandinRoot& root : roots) {
    text += root.is_product ? "product\n" : "other\n";
    if (!root.part_number.empty()) {
      text += "partnumber " + EscapeStandinText(root.part_number) + "\n";
    }
    for (const StandinComponent& component : root.components) {
      text += "component " + EscapeStandinText(component.instance_name) + "\n";
      if (component.has_reference) {
        text += "reference " + EscapeStandinText(reference(component)) + "\n";
      }
      if (text.size() >= kPiece) {
        if (!write(text)) return false;
        text.clear();
      }
    }
  }
  return write(text);
}

std::string FormatStandinDocument(const std::vector<StandinRoot>& roots,
                                  const std::vector<std::string>& references) {
  std::string text;
  size_t next_reference = 0;
  WriteStandinDocument(
      roots, [&](const StandinComponent&) { return references[next_reference++]; },
      [&](const std::string& piece) {
        text += piece;
        return true;
      });
  return text;
}
