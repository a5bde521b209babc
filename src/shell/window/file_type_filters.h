#pragma once
// The program's file-type lists ("D64 Image (*.d64)|*.d64|all files (*.*)|*.*": display names
// and patterns alternating, separated by "|") turned into the name filters of a file
// requester. No Qt here.

#include <string>
#include <vector>

namespace dw {

// One name filter per entry, in order, as "name (pattern pattern ...)". The patterns come
// from the pattern piece (";"-separated); "*.*" becomes "*" so that it also matches names
// without a dot. A missing pattern piece means "*".
std::vector<std::string> NameFiltersFromTypeList(const std::string& typeList);

// The entry to preselect: entries past the end select the last one, negative ones the first.
int PreselectedEntry(int entry, int entryCount);

}  // namespace dw
