#include "Options.h"

#include <cwchar>

const wchar_t kUsage[] =
    L"viewhost: a stand-in Explorer window with a list view and a tree view.\n"
    L"  --list FILE          list items, one name per line (UTF-8)\n"
    L"  --tree FILE          tree items, one per line (UTF-8); two spaces of indentation per level,\n"
    L"                       '+' before a name expands that branch\n"
    L"  --count N [--seed S] N generated names in the list instead of a file\n"
    L"  --checkboxes         check boxes in the list view\n"
    L"  --checked I,J,...    checked list items (turns check boxes on)\n"
    L"  --select I,J,...     selected list items\n"
    L"  --focus I            focused list item\n"
    L"  --tree-select I      tree caret: the item of line I of the tree file\n"
    L"  --expand all|none    expand or collapse every branch\n"
    L"  --title TEXT         window title\n"
    L"  --class NAME         class of the top-level window (default CabinetWClass)\n"
    L"  --focus-view list|tree|none  view with the keyboard focus at start\n"
    L"  --shell FOLDER       host a real shell view of FOLDER (IExplorerBrowser) instead of the\n"
    L"                       list and tree views; FOLDER may be a virtual one (::{CLSID})\n"
    L"  --shell-other FOLDER where posting WM_APP+2 (wParam 1) takes the shell view (0: back)\n"
    L"                       (posting WM_APP+3 clicks the first column header of the shell view)\n"
    L"                       (sending WM_APP+4 renames the shell view's item wParam: \"改名-\" before it)\n"
    L"  --handles FILE       write pid and window handles to FILE once the views are filled\n"
    L"                       (without it they go to standard output)\n"
    L"FILE may be a Unix path (/tmp/h.txt), read as Z:\\tmp\\h.txt.\n"
    L"Posting message 0x8001 (WM_APP+1) to the main window makes it sleep wParam milliseconds.\n"
    L"Sending message 0x8005 (WM_APP+5) to it puts \"renamed-\" before the name of list item wParam.\n";

namespace {

bool ParseInt(const wchar_t* text, int& value) {
  wchar_t* end = nullptr;
  long parsed = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0') return false;
  value = static_cast<int>(parsed);
  return true;
}

bool ParseIndices(const wchar_t* text, std::vector<int>& out) {
  out.clear();
  std::wstring all(text);
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t comma = all.find(L',', start);
    if (comma == std::wstring::npos) comma = all.size();
    std::wstring part = all.substr(start, comma - start);
    int value = 0;
    if (!part.empty()) {
      if (!ParseInt(part.c_str(), value)) return false;
      out.push_back(value);
    }
    start = comma + 1;
  }
  return true;
}

// Under Wine a script may hand over a Unix path: /tmp/h.txt is read as Z:\tmp\h.txt.
std::wstring FilePath(const wchar_t* text) {
  std::wstring path = text;
  if (path.empty() || path[0] != L'/') return path;
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + path;
}

}  // namespace

bool ParseOptions(int argc, wchar_t** argv, Options& o, std::wstring& error) {
  for (int i = 1; i < argc; ++i) {
    std::wstring name = argv[i];
    if (name == L"--help" || name == L"-h" || name == L"/?") {
      o.help = true;
      continue;
    }
    if (name == L"--checkboxes") {
      o.checkBoxes = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = L"missing value after " + name;
      return false;
    }
    const wchar_t* value = argv[++i];
    bool ok = true;
    if (name == L"--list") {
      o.listFile = FilePath(value);
    } else if (name == L"--tree") {
      o.treeFile = FilePath(value);
    } else if (name == L"--count") {
      ok = ParseInt(value, o.count) && o.count >= 0;
    } else if (name == L"--seed") {
      int seed = 0;
      ok = ParseInt(value, seed);
      o.seed = static_cast<unsigned>(seed);
    } else if (name == L"--checked") {
      ok = ParseIndices(value, o.checked);
      o.checkBoxes = true;
    } else if (name == L"--select") {
      ok = ParseIndices(value, o.selected);
    } else if (name == L"--focus") {
      ok = ParseInt(value, o.focused);
    } else if (name == L"--tree-select") {
      ok = ParseInt(value, o.treeCaret);
    } else if (name == L"--expand") {
      o.expand = value;
      ok = o.expand == L"all" || o.expand == L"none";
    } else if (name == L"--title") {
      o.title = value;
    } else if (name == L"--class") {
      o.topClass = value;
      ok = !o.topClass.empty();
    } else if (name == L"--focus-view") {
      o.focusView = value;
      ok = o.focusView == L"list" || o.focusView == L"tree" || o.focusView == L"none";
    } else if (name == L"--shell") {
      o.shellFolder = FilePath(value);
      ok = !o.shellFolder.empty();
    } else if (name == L"--shell-other") {
      o.shellOther = FilePath(value);
    } else if (name == L"--handles") {
      o.handlesFile = FilePath(value);
    } else {
      error = L"unknown option " + name;
      return false;
    }
    if (!ok) {
      error = L"bad value for " + name + L": " + value;
      return false;
    }
  }
  return true;
}
