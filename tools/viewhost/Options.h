// viewhost's command line.
#pragma once

#include <string>
#include <vector>

struct Options {
  std::wstring listFile;
  std::wstring treeFile;
  int count = -1;            // generated names instead of a list file
  unsigned seed = 1;
  bool checkBoxes = false;
  std::vector<int> checked;
  std::vector<int> selected;
  int focused = -1;
  int treeCaret = -1;        // line index in the tree file
  std::wstring expand;       // "all", "none" or empty (as the file marks it)
  std::wstring title = L"viewhost";
  std::wstring topClass = L"CabinetWClass";
  std::wstring focusView = L"list";  // "list", "tree" or "none"
  std::wstring handlesFile;
  std::wstring shellFolder;  // a real shell view of this folder instead of the list view
  std::wstring shellOther;   // where kBrowseMessage takes it
  bool help = false;
};

// False with a message in `error` when the command line is not understood.
bool ParseOptions(int argc, wchar_t** argv, Options& options, std::wstring& error);

extern const wchar_t kUsage[];
