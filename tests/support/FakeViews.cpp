#include "tests/support/FakeViews.h"

#include <algorithm>

FakeListModel::FakeListModel(const std::vector<std::string>& names) {
  for (const auto& name : names) items.push_back({name, 0});
}

void FakeListModel::Select(int index, bool on) {
  if (on) {
    items[index].state |= kLvisSelected;
  } else {
    items[index].state &= ~kLvisSelected;
  }
}

void FakeListModel::Focus(int index) {
  for (auto& item : items) item.state &= ~kLvisFocused;
  if (index >= 0) items[index].state |= kLvisFocused;
}

void FakeListModel::SetChecked(int index, bool checked) {
  items[index].state = (items[index].state & ~kLvisStateImageMask) | ((checked ? 2u : 1u) << 12);
}

bool FakeListModel::IsSelected(int index) const { return (items[index].state & kLvisSelected) != 0; }
bool FakeListModel::IsFocused(int index) const { return (items[index].state & kLvisFocused) != 0; }
bool FakeListModel::IsChecked(int index) const { return StateImage(index) == 2; }
int FakeListModel::StateImage(int index) const { return static_cast<int>(items[index].state >> 12) & 0xF; }

std::vector<int> FakeListModel::SelectedIndices() const {
  std::vector<int> out;
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    if (IsSelected(i)) out.push_back(i);
  }
  return out;
}

int FakeListModel::FocusedIndex() const {
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    if (IsFocused(i)) return i;
  }
  return -1;
}

ItemRect FakeListModel::RectOf(int index) const { return {24, index * 20, 200, index * 20 + 20}; }

bool FakeListModel::CountMessage() {
  if (lost) {
    ++callsAfterLost;
    return false;
  }
  ++messages;
  if (loseAfterMessages >= 0 && messages > loseAfterMessages) {
    lost = true;
    return false;
  }
  return true;
}

namespace {

class FakeList : public ListView {
 public:
  explicit FakeList(FakeListModel& m) : m_(m) {}

  int ItemCount() override { return m_.CountMessage() ? static_cast<int>(m_.items.size()) : 0; }
  int SelectedCount() override {
    return m_.CountMessage() ? static_cast<int>(m_.SelectedIndices().size()) : 0;
  }
  int FirstSelected() override {
    if (!m_.CountMessage()) return -1;
    std::vector<int> selected = m_.SelectedIndices();
    return selected.empty() ? -1 : selected.front();
  }
  std::uint32_t ItemState(int index, std::uint32_t mask) override {
    if (!m_.CountMessage() || !Valid(index)) return 0;
    return m_.items[index].state & mask;
  }
  std::uint32_t ExtendedStyle() override { return m_.CountMessage() ? m_.extendedStyle : 0; }
  void SetExtendedStyle(std::uint32_t style) override {
    if (m_.CountMessage()) m_.extendedStyle = style;
  }
  bool EnsureVisible(int index) override {
    if (!m_.CountMessage() || !Valid(index)) return false;
    ++m_.ensureVisibleCalls;
    m_.lastEnsuredVisible = index;
    return true;
  }
  bool OpenRecord() override {
    opened_ = !m_.recordFails;
    return opened_;
  }
  bool ItemText(int index, std::string& text) override {
    if (!opened_ || !Valid(index)) return false;
    if (index < static_cast<int>(m_.keptNames.size())) {  // no message for a kept name
      text = m_.keptNames[static_cast<std::size_t>(index)];
      return true;
    }
    if (!m_.CountMessage()) return false;
    m_.textReads.push_back(index);
    text = m_.items[index].name.substr(0, 259);
    return true;
  }
  bool ConfirmName(int index, const std::string& name) override {
    if (m_.keptNames.empty() || !Valid(index) || m_.items[index].name.substr(0, 259) == name) return true;
    ++m_.keptRejected;
    m_.keptNames.clear();
    return false;
  }
  bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) override {
    if (!opened_ || !m_.CountMessage()) return false;
    ++m_.setStateMessages;
    if (index == kAllItems) {
      for (int i = 0; i < static_cast<int>(m_.items.size()); ++i) Apply(i, state, mask);
      return true;
    }
    if (!Valid(index)) return false;
    Apply(index, state, mask);
    return true;
  }
  bool LabelRect(int index, ItemRect& rect) override {
    if (!opened_ || !m_.CountMessage() || !Valid(index)) return false;
    rect = m_.RectOf(index);
    return true;
  }
  bool Lost() const override { return m_.lost; }

 private:
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(m_.items.size()); }
  void Apply(int index, std::uint32_t state, std::uint32_t mask) {
    // A list view has one focused item: focusing one takes the focus from the others.
    if ((mask & kLvisFocused) && (state & kLvisFocused)) m_.Focus(-1);
    auto& s = m_.items[index].state;
    s = (s & ~mask) | (state & mask);
  }
  FakeListModel& m_;
  bool opened_ = false;
};

class FakeTree : public TreeView {
 public:
  explicit FakeTree(FakeTreeModel& m) : m_(m) {}

  TreeItem NextItem(TreeRelation relation, TreeItem item) override {
    if (!m_.CountMessage()) return 0;
    std::vector<int> visible = m_.VisibleOrder();
    int node = FakeTreeModel::NodeOf(item);
    auto at = std::find(visible.begin(), visible.end(), node);
    switch (relation) {
      case TreeRelation::Root:
        return m_.roots.empty() ? 0 : FakeTreeModel::HandleOf(m_.roots.front());
      case TreeRelation::Caret:
        return FakeTreeModel::HandleOf(m_.caret);
      case TreeRelation::LastVisible:
        return visible.empty() ? 0 : FakeTreeModel::HandleOf(visible.back());
      case TreeRelation::NextVisible:
        if (at == visible.end() || at + 1 == visible.end()) return 0;
        return FakeTreeModel::HandleOf(*(at + 1));
      case TreeRelation::PreviousVisible:
        if (at == visible.end() || at == visible.begin()) return 0;
        return FakeTreeModel::HandleOf(*(at - 1));
    }
    return 0;
  }
  bool Select(TreeItem item) override {
    if (!m_.CountMessage()) return false;
    int node = FakeTreeModel::NodeOf(item);
    if (node < 0 || node >= static_cast<int>(m_.nodes.size())) return false;
    ++m_.selects;
    m_.caret = node;
    // Selecting an item makes it visible: its ancestors expand, as in a real tree view.
    for (int p = m_.nodes[node].parent; p >= 0; p = m_.nodes[p].parent) m_.nodes[p].expanded = true;
    return true;
  }
  bool OpenRecord() override {
    opened_ = !m_.recordFails;
    return opened_;
  }
  bool ItemText(TreeItem item, std::string& text) override {
    int node = FakeTreeModel::NodeOf(item);
    if (!opened_ || !m_.CountMessage() || node < 0 || node >= static_cast<int>(m_.nodes.size())) {
      return false;
    }
    text = m_.nodes[node].name.substr(0, 259);
    m_.textReads.push_back(text);
    return true;
  }
  bool LabelRect(TreeItem item, ItemRect& rect) override {
    int node = FakeTreeModel::NodeOf(item);
    if (!opened_ || !m_.CountMessage() || node < 0) return false;
    rect = m_.RectOf(node);
    return true;
  }
  bool Lost() const override { return m_.lost; }

 private:
  FakeTreeModel& m_;
  bool opened_ = false;
};

}  // namespace

FakeTreeModel::FakeTreeModel(const std::vector<std::string>& lines) {
  std::vector<int> stack;  // node at each depth
  for (const auto& line : lines) {
    size_t spaces = line.find_first_not_of(' ');
    if (spaces == std::string::npos) continue;
    size_t depth = spaces / 2;
    std::string name = line.substr(spaces);
    bool expanded = false;
    if (!name.empty() && name[0] == '+') {
      expanded = true;
      name.erase(0, 1);
    }
    int index = static_cast<int>(nodes.size());
    FakeTreeNode node;
    node.name = name;
    node.expanded = expanded;
    stack.resize(depth);
    node.parent = depth == 0 ? -1 : stack[depth - 1];
    nodes.push_back(node);
    if (node.parent < 0) {
      roots.push_back(index);
    } else {
      nodes[node.parent].children.push_back(index);
    }
    stack.push_back(index);
  }
}

int FakeTreeModel::Find(const std::string& name) const {
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    if (nodes[i].name == name) return i;
  }
  return -1;
}

std::vector<int> FakeTreeModel::VisibleOrder() const {
  std::vector<int> out;
  std::vector<int> pending(roots.rbegin(), roots.rend());
  while (!pending.empty()) {
    int node = pending.back();
    pending.pop_back();
    out.push_back(node);
    if (nodes[node].expanded) {
      for (auto it = nodes[node].children.rbegin(); it != nodes[node].children.rend(); ++it) {
        pending.push_back(*it);
      }
    }
  }
  return out;
}

ItemRect FakeTreeModel::RectOf(int node) const {
  std::vector<int> visible = VisibleOrder();
  int row = static_cast<int>(std::find(visible.begin(), visible.end(), node) - visible.begin());
  int depth = 0;
  for (int p = nodes[node].parent; p >= 0; p = nodes[p].parent) ++depth;
  return {20 + depth * 16, row * 18, 120 + depth * 16, row * 18 + 18};
}

bool FakeTreeModel::CountMessage() {
  if (lost) {
    ++callsAfterLost;
    return false;
  }
  ++messages;
  if (loseAfterMessages >= 0 && messages > loseAfterMessages) {
    lost = true;
    return false;
  }
  return true;
}

ViewHandle FakeViewProvider::AddList(FakeListModel* model, const std::string& className) {
  ViewHandle h = next_++;
  views_[h] = {className, model, nullptr};
  return h;
}

ViewHandle FakeViewProvider::AddTree(FakeTreeModel* model, const std::string& className) {
  ViewHandle h = next_++;
  views_[h] = {className, nullptr, model};
  return h;
}

std::string FakeViewProvider::ClassName(ViewHandle view) {
  auto it = views_.find(view);
  return it == views_.end() ? std::string() : it->second.className.substr(0, 127);
}

std::unique_ptr<ListView> FakeViewProvider::OpenList(ViewHandle view) {
  auto it = views_.find(view);
  if (it == views_.end() || !it->second.list) return nullptr;
  ++openedViews;
  return std::make_unique<FakeList>(*it->second.list);
}

std::unique_ptr<TreeView> FakeViewProvider::OpenTree(ViewHandle view) {
  auto it = views_.find(view);
  if (it == views_.end() || !it->second.tree) return nullptr;
  ++openedViews;
  return std::make_unique<FakeTree>(*it->second.tree);
}

void FakeViewProvider::LockUpdate(ViewHandle view) {
  lockedView = view;
  ++lockCount;
}

void FakeViewProvider::UnlockUpdate() {
  lockedView = 0;
  ++unlockCount;
}
