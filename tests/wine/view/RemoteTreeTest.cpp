// The cross-process tree view against viewhost in another process: navigation among
// the visible items, texts, caret and selection, label rectangles.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/common/StartMacros.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/RemoteViews.h"

namespace {

// Display order of viewhost-tree.txt: ﾏｲ ｺﾝﾋﾟｭｰﾀ is collapsed, so Cドライブ is hidden.
const std::vector<std::string> kVisible = {"デスクトップ", "マイ ドキュメント", "会社",  "かいしゃ", "ﾏｲ ｺﾝﾋﾟｭｰﾀ",
                                           "資料",         "報告書",           "カイシャ", "readme"};

class RemoteTreeTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--tree", TestDataPath("viewhost-tree.txt"), "--focus-view", "tree"});
    ASSERT_TRUE(host.Start(args)) << host.Error();
    tree = OpenRemoteTree(host.Tree());
    ASSERT_FALSE(tree->Lost());
    ASSERT_TRUE(tree->OpenRecord());
  }
  std::string Text(TreeItem item) {
    std::string text;
    EXPECT_TRUE(tree->ItemText(item, text));
    return text;
  }
  ViewhostProcess host;
  std::unique_ptr<TreeView> tree;
};

TEST_F(RemoteTreeTest, WalksTheVisibleItemsForwardAndBack) {
  ASSERT_STARTED(Start());
  std::vector<TreeItem> items;
  for (TreeItem item = tree->NextItem(TreeRelation::Root, 0); item; item = tree->NextItem(TreeRelation::NextVisible, item)) {
    items.push_back(item);
    ASSERT_LT(items.size(), 100u);
  }
  ASSERT_EQ(items.size(), kVisible.size());
  for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(Text(items[i]), Utf8ToAnsi(kVisible[i])) << i;
  EXPECT_EQ(Text(items[0]), std::string("\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76"));  // デスクトップ

  EXPECT_EQ(tree->NextItem(TreeRelation::LastVisible, 0), items.back());
  std::vector<TreeItem> backwards;
  for (TreeItem item = items.back(); item; item = tree->NextItem(TreeRelation::PreviousVisible, item)) {
    backwards.insert(backwards.begin(), item);
    ASSERT_LT(backwards.size(), 100u);
  }
  EXPECT_EQ(backwards, items);
}

TEST_F(RemoteTreeTest, CaretAndSelect) {
  ASSERT_STARTED(Start({"--tree-select", "3"}));
  TreeItem caret = tree->NextItem(TreeRelation::Caret, 0);
  ASSERT_NE(caret, 0u);
  EXPECT_EQ(Text(caret), Utf8ToAnsi("かいしゃ"));

  TreeItem item = tree->NextItem(TreeRelation::Root, 0);
  for (int i = 0; i < 5; ++i) item = tree->NextItem(TreeRelation::NextVisible, item);
  ASSERT_EQ(Text(item), Utf8ToAnsi("資料"));
  EXPECT_TRUE(tree->Select(item));
  EXPECT_EQ(tree->NextItem(TreeRelation::Caret, 0), item);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(reinterpret_cast<HTREEITEM>(
                SendMessageA(host.Tree(), TVM_GETNEXTITEM, TVGN_CARET, 0))),
            item);
}

TEST_F(RemoteTreeTest, NoCaretAndBadItems) {
  ASSERT_STARTED(Start({"--focus-view", "none"}));
  EXPECT_EQ(tree->NextItem(TreeRelation::Caret, 0), 0u);
  TreeItem last = tree->NextItem(TreeRelation::LastVisible, 0);
  EXPECT_EQ(tree->NextItem(TreeRelation::NextVisible, last), 0u);
  EXPECT_EQ(tree->NextItem(TreeRelation::PreviousVisible, tree->NextItem(TreeRelation::Root, 0)), 0u);
  std::string text;
  EXPECT_FALSE(tree->ItemText(0, text));
  ItemRect rect;
  EXPECT_FALSE(tree->LabelRect(0, rect));
  EXPECT_FALSE(tree->Lost());
}

TEST_F(RemoteTreeTest, LabelRectanglesFollowTheRowsAndTheIndentation) {
  ASSERT_STARTED(Start());
  TreeItem root = tree->NextItem(TreeRelation::Root, 0);
  TreeItem child = tree->NextItem(TreeRelation::NextVisible, root);
  TreeItem grandchild = tree->NextItem(TreeRelation::NextVisible, child);
  ItemRect a, b, c;
  ASSERT_TRUE(tree->LabelRect(root, a));
  ASSERT_TRUE(tree->LabelRect(child, b));
  ASSERT_TRUE(tree->LabelRect(grandchild, c));
  EXPECT_GT(a.right, a.left);
  EXPECT_GE(b.top, a.bottom);  // one row after another, at the same pitch
  EXPECT_GT(b.top, a.top);
  EXPECT_EQ(c.top - b.top, b.top - a.top);
  EXPECT_LT(a.left, b.left);  // deeper items are indented
  EXPECT_LT(b.left, c.left);
}

}  // namespace
