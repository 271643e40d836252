// A view in a process of the other bitness: a 64-bit reader and a 32-bit viewhost, or a
// 32-bit reader and a 64-bit viewhost (the other build's viewhost.exe), and the record
// layouts seen from the raw blocks.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/common/StartMacros.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/ItemRecords.h"
#include "view/RemoteViews.h"
#include "view/SharedMem.h"
#include "view/ViewOps.h"

namespace {

int OwnBits() { return static_cast<int>(sizeof(void*) * 8); }

class BitnessTest : public ::testing::TestWithParam<bool> {
 protected:
  // Starts this build's viewhost (false) or the other bitness's (true).
  void Start(std::vector<std::string> args) {
    std::string exe = ViewhostPath();
    if (GetParam()) {
      const std::string missing = OtherBitnessViewhostMissing();
      if (!missing.empty()) GTEST_SKIP() << missing;
      exe = OtherBitnessViewhostPath();
    }
    args.insert(args.begin(), {"--list", TestDataPath("viewhost-names.txt"), "--tree", TestDataPath("viewhost-tree.txt")});
    ASSERT_TRUE(host.Start(args, exe)) << host.Error();
    ASSERT_EQ(host.Bits(), GetParam() ? 96 - OwnBits() : OwnBits());
  }
  ViewhostProcess host;
};

TEST_P(BitnessTest, TheViewsProcessBitnessIsDetected) {
  ASSERT_STARTED(Start({}));
  EXPECT_EQ(ViewProcessBits(host.List()), host.Bits() == 64 ? ProcessBits::Bits64 : ProcessBits::Bits32);
  EXPECT_EQ(ViewProcessBits(host.Tree()), ViewProcessBits(host.List()));
}

TEST_P(BitnessTest, ListTextsStatesAndRectangles) {
  ASSERT_STARTED(Start({"--checked", "1,3", "--select", "0,2", "--focus", "2"}));
  std::vector<std::string> names = DataFileNames("viewhost-names.txt");
  auto list = OpenRemoteList(host.List());
  ASSERT_EQ(list->ItemCount(), static_cast<int>(names.size()));
  ASSERT_TRUE(list->OpenRecord());
  std::string text;
  ASSERT_TRUE(list->ItemText(0, text));
  EXPECT_EQ(text, std::string("\x89\xEF\x8E\xD0.txt"));
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    ASSERT_TRUE(list->ItemText(i, text)) << i;
    if (names[i].size() <= 259) {
      EXPECT_EQ(text, names[i]) << i;
    } else {
      EXPECT_GE(text.size(), 258u) << i;
      EXPECT_EQ(text, names[i].substr(0, text.size())) << i;
    }
  }
  EXPECT_EQ(list->SelectedCount(), 2);
  EXPECT_EQ(list->ItemState(2, kLvisFocused), kLvisFocused);
  EXPECT_EQ(list->ItemState(3, kLvisStateImageMask), 0x2000u);
  ItemRect a, b;
  ASSERT_TRUE(list->LabelRect(0, a));
  ASSERT_TRUE(list->LabelRect(1, b));
  EXPECT_GT(a.right, a.left);
  EXPECT_EQ(b.top, a.bottom);

  ToggleSelectedChecks(*list);  // 0 and 2 selected, both unchecked: both get checked
  EXPECT_EQ(list->ItemState(0, kLvisStateImageMask), 0x2000u);
  EXPECT_EQ(list->ItemState(2, kLvisStateImageMask), 0x2000u);
  EXPECT_TRUE(list->SetItemState(kAllItems, 0, kLvisSelected));
  EXPECT_EQ(list->SelectedCount(), 0);
  EXPECT_FALSE(list->Lost());
}

TEST_P(BitnessTest, TreeNavigationTextsAndSelection) {
  ASSERT_STARTED(Start({}));
  auto tree = OpenRemoteTree(host.Tree());
  ASSERT_TRUE(tree->OpenRecord());
  std::vector<std::string> texts;
  TreeItem last = 0;
  for (TreeItem item = tree->NextItem(TreeRelation::Root, 0); item; item = tree->NextItem(TreeRelation::NextVisible, item)) {
    std::string text;
    ASSERT_TRUE(tree->ItemText(item, text));
    texts.push_back(text);
    last = item;
    ASSERT_LT(texts.size(), 100u);
  }
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(texts[0], Utf8ToAnsi("デスクトップ"));
  EXPECT_EQ(texts[4], Utf8ToAnsi("ﾏｲ ｺﾝﾋﾟｭｰﾀ"));
  EXPECT_EQ(texts[8], "readme");
  EXPECT_EQ(tree->NextItem(TreeRelation::LastVisible, 0), last);
  ASSERT_TRUE(tree->Select(last));
  EXPECT_EQ(tree->NextItem(TreeRelation::Caret, 0), last);
  ItemRect rect;
  ASSERT_TRUE(tree->LabelRect(last, rect));
  EXPECT_GT(rect.right, rect.left);
  EXPECT_GT(rect.top, 0);
}

// The records as the view's process reads them: the text area right after the record,
// the rectangle in the first 16 bytes.
TEST_P(BitnessTest, RawBlocksCarryTheRecordOfTheViewsBitness) {
  ASSERT_STARTED(Start({}));
  const bool view64 = host.Bits() == 64;
  const DWORD listRecord = view64 ? 56 : 40;
  const DWORD treeRecord = view64 ? 64 : 44;
  SharedMemBase list(host.List(), listRecord + records::kItemTextMax);
  ASSERT_TRUE(list.IsReady());
  std::uint8_t* bytes = list.LocalBytes();
  const std::uint64_t text = list.RemoteAddress() + listRecord;
  std::uint32_t mask = LVIF_TEXT, iItem = 0, cch = records::kItemTextMax;
  std::memcpy(bytes, &mask, 4);
  std::memcpy(bytes + 4, &iItem, 4);
  std::memcpy(bytes + (view64 ? 24 : 20), &text, view64 ? 8 : 4);
  std::memcpy(bytes + (view64 ? 32 : 24), &cch, 4);
  ASSERT_TRUE(list.CopyToRemote());
  ASSERT_NE(SendMessageA(host.List(), LVM_GETITEMA, 0, list.RemoteParam()), 0);
  ASSERT_TRUE(list.CopyFromRemote());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + listRecord)), std::string("\x89\xEF\x8E\xD0.txt"));

  std::memset(bytes, 0, list.Size());
  const std::uint32_t label = LVIR_LABEL;
  std::memcpy(bytes, &label, 4);
  ASSERT_TRUE(list.CopyToRemote());
  ASSERT_NE(SendMessageA(host.List(), LVM_GETITEMRECT, 1, list.RemoteParam()), 0);
  ASSERT_TRUE(list.CopyFromRemote());
  RECT rect;
  std::memcpy(&rect, bytes, 16);
  EXPECT_GT(rect.right, rect.left);
  EXPECT_GT(rect.bottom, rect.top);

  auto root = static_cast<std::uint64_t>(SendMessageA(host.Tree(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  ASSERT_NE(root, 0u);
  SharedMemBase tree(host.Tree(), treeRecord + records::kItemTextMax);
  ASSERT_TRUE(tree.IsReady());
  bytes = tree.LocalBytes();
  const std::uint64_t treeText = tree.RemoteAddress() + treeRecord;
  mask = TVIF_TEXT | TVIF_HANDLE;
  std::memcpy(bytes, &mask, 4);
  std::memcpy(bytes + (view64 ? 8 : 4), &root, view64 ? 8 : 4);
  std::memcpy(bytes + (view64 ? 24 : 16), &treeText, view64 ? 8 : 4);
  std::memcpy(bytes + (view64 ? 32 : 20), &cch, 4);
  ASSERT_TRUE(tree.CopyToRemote());
  ASSERT_NE(SendMessageA(host.Tree(), TVM_GETITEMA, 0, tree.RemoteParam()), 0);
  ASSERT_TRUE(tree.CopyFromRemote());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + treeRecord)), Utf8ToAnsi("デスクトップ"));
}

INSTANTIATE_TEST_SUITE_P(Views, BitnessTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "OtherBitness" : "SameBitness");
                         });

}  // namespace
