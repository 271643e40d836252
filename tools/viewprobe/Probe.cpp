#include "tools/viewprobe/Probe.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "view/RemoteViews.h"
#include "view/ViewOps.h"
#include "view/WindowPath.h"

const char kProbeUsage[] =
    "viewprobe [--layout 32|64] <command> <view> [args] [; <command> <view> [args]]...\n"
    "<view>: window handle (0x1A2B) or find:<TopClass[@title][#pid]>/<ChildClass>/...\n"
    "any view:   find <view>              hwnd= pid= bits= class=\n"
    "            info <view>              hwnd= pid= bits= class= kind=list|tree\n"
    "            classes <view>           the window's class tree, indented\n"
    "            screenrect <view>        screenrect=left,top,right,bottom (the window on screen)\n"
    "            hang <view> <ms>         the top-level window of the view sleeps (viewhost)\n"
    "            close <view>             asks the view's top-level window to close\n"
    "list view:  count <view>             count= selected=\n"
    "            selected <view>          selected=i,j,...\n"
    "            focused <view>           focused=i (-1: none)\n"
    "            texts <view>             item=i hex=.. text=.. (one line per item)\n"
    "            text <view> <i>          item=i hex=.. text=..\n"
    "            states <view>            item=i state=0x.. selected= focused= image=\n"
    "            checks <view>            checks=<state image index of every item>\n"
    "            rect <view> <i>          rect=left,top,right,bottom\n"
    "            style <view>             exstyle=0x..\n"
    "            select|deselect <view> <i,j,...|-1>    add to / take from the selection\n"
    "            focus <view> <i>         moves the focus\n"
    "            check|uncheck <view> <i,j,...|-1>\n"
    "            ensure <view> <i>        scrolls the item into view\n"
    "            toggle-checkboxes <view> | space <view> | select-checked <view> (beep=1 if nothing is checked)\n"
    "tree view:  root|caret|last <view>   item=0x.. hex=.. text=..\n"
    "            visible <view>           item=0x.. hex=.. text=.. in display order\n"
    "            tree-select <view> <0x item | text:NAME>\n"
    "            tree-rect <view> <0x item>   rect=left,top,right,bottom\n";

namespace {

constexpr UINT kViewhostHangMessage = WM_APP + 1;

bool ParseNumber(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

HWND ParseView(const std::string& text) {
  if (text.rfind("find:", 0) == 0) return FindWindowByClassPath(text.substr(5));
  long long value = 0;
  if (!ParseNumber(text, value)) return nullptr;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

bool ParseIndices(const std::string& text, std::vector<int>& out) {
  out.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    long long value = 0;
    if (!ParseNumber(text.substr(start, comma - start), value)) return false;
    out.push_back(static_cast<int>(value));
    start = comma + 1;
  }
  return !out.empty();
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

// ANSI code page text as UTF-8, with line breaks and other control characters as '?'.
std::string Utf8(const std::string& ansi) {
  if (ansi.empty()) return std::string();
  int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], wideLength);
  for (auto& c : wide) {
    if (c < 0x20) c = L'?';
  }
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &out[0], length, nullptr, nullptr);
  return out;
}

std::string HandleText(std::uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

void PrintItem(const std::string& key, const std::string& text) {
  std::printf("item=%s hex=%s text=%s\n", key.c_str(), Hex(text).c_str(), Utf8(text).c_str());
}

const char* BitsText(ProcessBits bits) {
  return bits == ProcessBits::Bits32 ? "32" : bits == ProcessBits::Bits64 ? "64" : "unknown";
}

class PrintingNotifier : public UserNotifier {
 public:
  void Beep() override {
    std::printf("beep=1\n");
    MessageBeep(0);
  }
  void ShowMessage(ViewHandle, const std::string& text, const std::string&, unsigned) override {
    std::printf("message=%s\n", Utf8(text).c_str());
  }
};

struct Context {
  HWND view = nullptr;
  std::vector<std::string> args;  // after the view
  ProcessBits layout = ProcessBits::Unknown;
};

int ListFailure(ListView& list) { return list.Lost() ? 1 : 0; }

int Describe(const Context& c, bool withKind) {
  DWORD pid = 0;
  GetWindowThreadProcessId(c.view, &pid);
  RemoteViewProvider views;
  std::string name = views.ClassName(ToViewHandle(c.view));
  std::printf("hwnd=%s pid=%lu bits=%s class=%s", HandleText(reinterpret_cast<std::uintptr_t>(c.view)).c_str(),
              static_cast<unsigned long>(pid), BitsText(ViewProcessBits(c.view)), name.c_str());
  if (withKind) {
    static const char kTrees[] = "SysTreeView32\0";
    std::printf(" kind=%s", IsTreeView(views, ToViewHandle(c.view), kTrees) ? "tree" : "list");
  }
  std::printf("\n");
  return 0;
}

int WithList(const Context& c, const std::function<int(ListView&)>& body) {
  auto list = OpenRemoteList(c.view, c.layout, SystemProcessMemory());
  int code = body(*list);
  return code != 0 ? code : ListFailure(*list);
}

int WithTree(const Context& c, const std::function<int(TreeView&)>& body) {
  auto tree = OpenRemoteTree(c.view, c.layout, SystemProcessMemory());
  int code = body(*tree);
  return code != 0 ? code : (tree->Lost() ? 1 : 0);
}

int ChangeStates(const Context& c, std::uint32_t state, std::uint32_t mask) {
  std::vector<int> indices;
  if (c.args.empty() || !ParseIndices(c.args[0], indices)) return 2;
  return WithList(c, [&](ListView& list) {
    if (!list.OpenRecord()) return 1;
    for (int i : indices) {
      if (!list.SetItemState(i, state, mask)) std::printf("failed=%d\n", i);
    }
    return 0;
  });
}

int OneIndex(const Context& c, int& index) {
  long long value = 0;
  if (c.args.empty() || !ParseNumber(c.args[0], value)) return 2;
  index = static_cast<int>(value);
  return 0;
}

int PrintTreeItem(TreeView& tree, TreeItem item) {
  std::string text;
  tree.ItemText(item, text);
  PrintItem(HandleText(item), text);
  return 0;
}

TreeItem FindTreeItem(TreeView& tree, const std::string& spec) {
  if (spec.rfind("text:", 0) != 0) {
    long long value = 0;
    return ParseNumber(spec, value) ? static_cast<TreeItem>(value) : 0;
  }
  // Names come in UTF-8 on the command line; the view holds the ANSI code page.
  std::string wanted = spec.substr(5);
  int wideLength = MultiByteToWideChar(CP_UTF8, 0, wanted.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, wanted.c_str(), -1, &wide[0], wideLength);
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof(ansi) - 1, nullptr, nullptr);
  std::string text;
  for (TreeItem item = tree.NextItem(TreeRelation::Root, 0); item; item = tree.NextItem(TreeRelation::NextVisible, item)) {
    if (tree.ItemText(item, text) && text == ansi) return item;
  }
  return 0;
}

using Command = std::function<int(const Context&)>;

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"find", [](const Context& c) { return Describe(c, false); }},
      {"info", [](const Context& c) { return Describe(c, true); }},
      {"screenrect",
       [](const Context& c) {
         RECT r{};
         if (!GetWindowRect(c.view, &r)) return 1;
         std::printf("screenrect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
         return 0;
       }},
      {"classes",
       [](const Context& c) {
         std::fputs(DescribeWindowClasses(c.view).c_str(), stdout);
         return 0;
       }},
      {"hang",
       [](const Context& c) {
         long long ms = 0;
         if (c.args.empty() || !ParseNumber(c.args[0], ms) || ms < 0) return 2;
         return PostMessageA(GetAncestor(c.view, GA_ROOT), kViewhostHangMessage, static_cast<WPARAM>(ms), 0) ? 0 : 1;
       }},
      {"close",
       [](const Context& c) { return PostMessageA(GetAncestor(c.view, GA_ROOT), WM_CLOSE, 0, 0) ? 0 : 1; }},
      {"count",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           int count = list.ItemCount();
           int selected = list.SelectedCount();
           std::printf("count=%d selected=%d\n", count, selected);
           return 0;
         });
       }},
      {"selected",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           std::string out;
           int count = list.ItemCount();
           for (int i = 0; i < count && !list.Lost(); ++i) {
             if (list.ItemState(i, kLvisSelected)) out += (out.empty() ? "" : ",") + std::to_string(i);
           }
           std::printf("selected=%s\n", out.c_str());
           return 0;
         });
       }},
      {"focused",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           int focused = -1;
           int count = list.ItemCount();
           for (int i = 0; i < count && !list.Lost() && focused < 0; ++i) {
             if (list.ItemState(i, kLvisFocused)) focused = i;
           }
           std::printf("focused=%d\n", focused);
           return 0;
         });
       }},
      {"texts",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           int count = list.ItemCount();
           if (!list.OpenRecord()) return 1;
           std::string text;
           for (int i = 0; i < count && !list.Lost(); ++i) {
             if (list.ItemText(i, text)) PrintItem(std::to_string(i), text);
           }
           return 0;
         });
       }},
      {"text",
       [](const Context& c) {
         int index = 0;
         if (OneIndex(c, index)) return 2;
         return WithList(c, [index](ListView& list) {
           std::string text;
           if (!list.OpenRecord() || !list.ItemText(index, text)) return 1;
           PrintItem(std::to_string(index), text);
           return 0;
         });
       }},
      {"states",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           int count = list.ItemCount();
           for (int i = 0; i < count && !list.Lost(); ++i) {
             std::uint32_t s = list.ItemState(i, 0xFFFFFFFF);
             std::printf("item=%d state=0x%X selected=%d focused=%d image=%u\n", i, s, (s & kLvisSelected) ? 1 : 0,
                         (s & kLvisFocused) ? 1 : 0, (s >> 12) & 0xF);
           }
           return 0;
         });
       }},
      {"checks",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           std::string out;
           int count = list.ItemCount();
           for (int i = 0; i < count && !list.Lost(); ++i) {
             out += (i ? "," : "") + std::to_string((list.ItemState(i, kLvisStateImageMask) >> 12) & 0xF);
           }
           std::printf("checks=%s\n", out.c_str());
           return 0;
         });
       }},
      {"rect",
       [](const Context& c) {
         int index = 0;
         if (OneIndex(c, index)) return 2;
         return WithList(c, [index](ListView& list) {
           ItemRect r;
           if (!list.OpenRecord() || !list.LabelRect(index, r)) return 1;
           std::printf("rect=%d,%d,%d,%d\n", r.left, r.top, r.right, r.bottom);
           return 0;
         });
       }},
      {"style",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           std::printf("exstyle=0x%X\n", list.ExtendedStyle());
           return 0;
         });
       }},
      {"select", [](const Context& c) { return ChangeStates(c, kLvisSelected, kLvisSelected); }},
      {"deselect", [](const Context& c) { return ChangeStates(c, 0, kLvisSelected); }},
      {"check", [](const Context& c) { return ChangeStates(c, 0x2000, kLvisStateImageMask); }},
      {"uncheck", [](const Context& c) { return ChangeStates(c, 0x1000, kLvisStateImageMask); }},
      {"focus",
       [](const Context& c) {
         int index = 0;
         if (OneIndex(c, index)) return 2;
         return WithList(c, [index](ListView& list) {
           return list.OpenRecord() && list.SetItemState(index, kLvisFocused, kLvisFocused) ? 0 : 1;
         });
       }},
      {"ensure",
       [](const Context& c) {
         int index = 0;
         if (OneIndex(c, index)) return 2;
         return WithList(c, [index](ListView& list) { return list.EnsureVisible(index) ? 0 : 1; });
       }},
      {"toggle-checkboxes",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           ToggleCheckBoxes(list);
           return 0;
         });
       }},
      {"space",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           ToggleSelectedChecks(list);
           return 0;
         });
       }},
      {"select-checked",
       [](const Context& c) {
         return WithList(c, [](ListView& list) {
           PrintingNotifier notifier;
           SelectCheckedItems(list, notifier);
           return 0;
         });
       }},
      {"root",
       [](const Context& c) {
         return WithTree(c, [](TreeView& tree) {
           TreeItem item = tree.NextItem(TreeRelation::Root, 0);
           return tree.OpenRecord() ? PrintTreeItem(tree, item) : 1;
         });
       }},
      {"caret",
       [](const Context& c) {
         return WithTree(c, [](TreeView& tree) {
           TreeItem item = tree.NextItem(TreeRelation::Caret, 0);
           return tree.OpenRecord() ? PrintTreeItem(tree, item) : 1;
         });
       }},
      {"last",
       [](const Context& c) {
         return WithTree(c, [](TreeView& tree) {
           TreeItem item = tree.NextItem(TreeRelation::LastVisible, 0);
           return tree.OpenRecord() ? PrintTreeItem(tree, item) : 1;
         });
       }},
      {"visible",
       [](const Context& c) {
         return WithTree(c, [](TreeView& tree) {
           if (!tree.OpenRecord()) return 1;
           int guard = 0;
           for (TreeItem item = tree.NextItem(TreeRelation::Root, 0); item && guard < 1000000;
                item = tree.NextItem(TreeRelation::NextVisible, item), ++guard) {
             PrintTreeItem(tree, item);
           }
           return 0;
         });
       }},
      {"tree-select",
       [](const Context& c) {
         if (c.args.empty()) return 2;
         return WithTree(c, [&c](TreeView& tree) {
           if (!tree.OpenRecord()) return 1;
           TreeItem item = FindTreeItem(tree, c.args[0]);
           if (!item || !tree.Select(item)) return 1;
           return PrintTreeItem(tree, item);
         });
       }},
      {"tree-rect",
       [](const Context& c) {
         long long value = 0;
         if (c.args.empty() || !ParseNumber(c.args[0], value)) return 2;
         return WithTree(c, [value](TreeView& tree) {
           ItemRect r;
           if (!tree.OpenRecord() || !tree.LabelRect(static_cast<TreeItem>(value), r)) return 1;
           std::printf("rect=%d,%d,%d,%d\n", r.left, r.top, r.right, r.bottom);
           return 0;
         });
       }},
  };
  return commands;
}

}  // namespace

int RunProbeCommand(const std::vector<std::string>& command, ProcessBits layout) {
  auto found = Commands().find(command[0]);
  if (found == Commands().end() || command.size() < 2) {
    std::fprintf(stderr, "viewprobe: unknown command or missing view: %s\n", command[0].c_str());
    return 2;
  }
  Context context;
  context.view = ParseView(command[1]);
  context.args.assign(command.begin() + 2, command.end());
  context.layout = layout;
  if (!context.view || !IsWindow(context.view)) {
    std::printf("error=no such window: %s\n", command[1].c_str());
    return 1;
  }
  return found->second(context);
}
