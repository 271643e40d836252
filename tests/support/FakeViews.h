// In-memory list views and tree views for native tests. A fake keeps the state a real
// control keeps (items, selection, focus, check marks, expanded branches) and records
// what was asked of it, so tests can check walk orders and message counts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "view/ViewAccess.h"

struct FakeListItem {
  std::string name;
  std::uint32_t state = 0;  // kLvisSelected | kLvisFocused | state image index << 12
};

class FakeListModel {
 public:
  FakeListModel() = default;
  explicit FakeListModel(const std::vector<std::string>& names);

  std::vector<FakeListItem> items;
  std::uint32_t extendedStyle = 0;
  bool recordFails = false;     // OpenRecord reports "not ready"
  int loseAfterMessages = -1;   // the view vanishes after this many messages (-1: never)
  // Names kept from an earlier read: given instead of the items' own, until the view
  // finds one out of date when the walk confirms a candidate (then every name is read).
  std::vector<std::string> keptNames;
  int keptRejected = 0;

  // What happened, for the tests.
  std::vector<int> textReads;   // indices whose text was read, in order
  int messages = 0;             // every call that a real view would answer by a message
  int setStateMessages = 0;
  int ensureVisibleCalls = 0;
  int lastEnsuredVisible = -1;
  bool lost = false;
  int callsAfterLost = 0;       // messages attempted after the view was lost

  // Convenience for tests.
  void Select(int index, bool on = true);
  void Focus(int index);  // moves the focus, as a list view has only one focused item
  void SetChecked(int index, bool checked);   // state image 2 or 1
  bool IsSelected(int index) const;
  bool IsFocused(int index) const;
  bool IsChecked(int index) const;
  int StateImage(int index) const;
  std::vector<int> SelectedIndices() const;
  int FocusedIndex() const;
  ItemRect RectOf(int index) const;  // 20 pixels per row, label from x=24 to x=200
  bool CountMessage();               // false once the view is lost
};

struct FakeTreeNode {
  std::string name;
  bool expanded = false;
  std::vector<int> children;  // indices into nodes
  int parent = -1;
};

class FakeTreeModel {
 public:
  // Lines of "name" with two spaces of indentation per level; "+" after the indentation
  // marks an expanded branch ("  +Docs").
  explicit FakeTreeModel(const std::vector<std::string>& lines = {});

  std::vector<FakeTreeNode> nodes;
  std::vector<int> roots;
  int caret = -1;
  bool recordFails = false;
  int loseAfterMessages = -1;

  std::vector<std::string> textReads;  // names read, in order
  int messages = 0;
  int selects = 0;
  bool lost = false;
  int callsAfterLost = 0;

  static TreeItem HandleOf(int node) { return node < 0 ? 0 : static_cast<TreeItem>(node) + 0x1000; }
  static int NodeOf(TreeItem item) { return item == 0 ? -1 : static_cast<int>(item - 0x1000); }
  int Find(const std::string& name) const;
  std::vector<int> VisibleOrder() const;
  ItemRect RectOf(int node) const;
  bool CountMessage();
};

// Serves fakes by window handle; class names decide list or tree as for real views.
class FakeViewProvider : public ViewProvider {
 public:
  ViewHandle AddList(FakeListModel* model, const std::string& className = "SysListView32");
  ViewHandle AddTree(FakeTreeModel* model, const std::string& className = "SysTreeView32");

  std::string ClassName(ViewHandle view) override;
  std::unique_ptr<ListView> OpenList(ViewHandle view) override;
  std::unique_ptr<TreeView> OpenTree(ViewHandle view) override;
  void LockUpdate(ViewHandle view) override;
  void UnlockUpdate() override;

  ViewHandle lockedView = 0;
  int lockCount = 0;
  int unlockCount = 0;
  int openedViews = 0;

 private:
  struct Entry {
    std::string className;
    FakeListModel* list = nullptr;
    FakeTreeModel* tree = nullptr;
  };
  std::map<ViewHandle, Entry> views_;
  ViewHandle next_ = 0x100;
};
