#include "shell/window/file_type_filters.h"

#include <algorithm>

namespace dw {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

// The display name without its own "(...)" list of patterns, which is rebuilt.
std::string BaseName(const std::string& name) {
  std::string base = name;
  if (!base.empty() && base.back() == ')') {
    size_t open = base.rfind('(');
    if (open != std::string::npos) base.erase(open);
  }
  while (!base.empty() && base.back() == ' ') base.pop_back();
  return base;
}

std::string RequesterPatterns(const std::string& patternPiece) {
  std::string joined;
  for (const std::string& pattern : Split(patternPiece, ';')) {
    if (pattern.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += pattern == "*.*" ? std::string("*") : pattern;
  }
  return joined.empty() ? std::string("*") : joined;
}

}  // namespace

std::vector<std::string> NameFiltersFromTypeList(const std::string& typeList) {
  std::vector<std::string> pieces = Split(typeList, '|');
  std::vector<std::string> filters;
  for (size_t i = 0; i < pieces.size(); i += 2) {
    if (pieces[i].empty()) continue;
    const std::string patterns = RequesterPatterns(i + 1 < pieces.size() ? pieces[i + 1] : "");
    const std::string base = BaseName(pieces[i]);
    filters.push_back(base.empty() ? patterns : base + " (" + patterns + ")");
  }
  return filters;
}

int PreselectedEntry(int entry, int entryCount) {
  if (entryCount <= 0) return 0;
  return std::clamp(entry, 0, entryCount - 1);
}

}  // namespace dw
