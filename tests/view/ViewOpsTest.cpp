// The view classification and the check-box commands, against in-memory views.
#include "view/ViewOps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeViews.h"

namespace {

class CountingNotifier : public UserNotifier {
 public:
  void Beep() override { ++beeps; }
  void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override { ++messages; }
  int beeps = 0;
  int messages = 0;
};

std::vector<std::string> Names(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("item" + std::to_string(i));
  return names;
}

// A list view with check boxes on and every item unchecked.
FakeListModel CheckList(int count) {
  FakeListModel model(Names(count));
  model.extendedStyle = kLvsExCheckBoxes;
  for (int i = 0; i < count; ++i) model.SetChecked(i, false);
  return model;
}

struct OpenedList {
  FakeViewProvider views;
  std::unique_ptr<ListView> view;
  explicit OpenedList(FakeListModel& model) { view = views.OpenList(views.AddList(&model)); }
};

const char kTreeList[] = "SysTreeView32\0MyTree\0";

TEST(IsTreeViewTest, ClassesOfTheListAreTreesEverythingElseIsAList) {
  FakeListModel list;
  FakeTreeModel tree;
  FakeViewProvider views;
  EXPECT_TRUE(IsTreeView(views, views.AddTree(&tree), kTreeList));
  EXPECT_TRUE(IsTreeView(views, views.AddTree(&tree, "mytree"), kTreeList));  // case is ignored
  EXPECT_FALSE(IsTreeView(views, views.AddList(&list), kTreeList));
  // A tree view whose class is not in the list is worked on as a list view.
  EXPECT_FALSE(IsTreeView(views, views.AddTree(&tree, "NamespaceTree"), kTreeList));
  EXPECT_FALSE(IsTreeView(views, 0x9999, kTreeList));  // no such window
  EXPECT_FALSE(IsTreeView(views, views.AddTree(&tree), nullptr));
}

// A provider that reports class names as long as the window has them, to check the cut.
class LongNameProvider : public FakeViewProvider {
 public:
  std::string name;
  std::string ClassName(ViewHandle) override { return name; }
};

TEST(IsTreeViewTest, LongClassNamesAreComparedCutTo127Characters) {
  LongNameProvider views;
  views.name = std::string(127, 'T') + "ail";
  std::string cut = std::string(127, 'T') + std::string(1, '\0') + std::string(1, '\0');
  std::string whole = views.name + std::string(2, '\0');
  EXPECT_TRUE(IsTreeView(views, 1, cut.c_str()));
  EXPECT_FALSE(IsTreeView(views, 1, whole.c_str()));
}

TEST(CheckBoxStyleTest, ToggleTwiceRestoresTheExtendedStyle) {
  FakeListModel model(Names(3));
  model.extendedStyle = 0x20 | 0x1;  // full-row select, grid lines
  OpenedList list(model);
  EXPECT_FALSE(HasCheckBoxes(*list.view));
  ToggleCheckBoxes(*list.view);
  EXPECT_EQ(model.extendedStyle, 0x20u | 0x1u | kLvsExCheckBoxes);
  EXPECT_TRUE(HasCheckBoxes(*list.view));
  ToggleCheckBoxes(*list.view);
  EXPECT_EQ(model.extendedStyle, 0x21u);
}

TEST(CheckBoxStyleTest, AViewThatDoesNotAnswerKeepsItsStyle) {
  FakeListModel model(Names(3));
  model.extendedStyle = 0x21;
  model.loseAfterMessages = 0;
  OpenedList list(model);
  ToggleCheckBoxes(*list.view);
  EXPECT_EQ(model.extendedStyle, 0x21u);
}

TEST(ToggleSelectedChecksTest, OneUncheckedAmongTheSelectedChecksAllThenASecondSpaceUnchecksAll) {
  FakeListModel model = CheckList(6);
  for (int i : {1, 3, 4}) model.Select(i);
  model.SetChecked(1, true);
  model.SetChecked(4, true);
  model.SetChecked(5, true);  // not selected: stays as it is
  OpenedList list(model);

  ToggleSelectedChecks(*list.view);
  for (int i : {1, 3, 4, 5}) EXPECT_TRUE(model.IsChecked(i)) << i;
  for (int i : {0, 2}) EXPECT_FALSE(model.IsChecked(i)) << i;

  ToggleSelectedChecks(*list.view);
  for (int i : {0, 1, 2, 3, 4}) EXPECT_FALSE(model.IsChecked(i)) << i;
  EXPECT_TRUE(model.IsChecked(5));
  EXPECT_EQ(model.SelectedIndices(), (std::vector<int>{1, 3, 4}));
}

TEST(ToggleSelectedChecksTest, TheFocusedItemStandsInForAnEmptySelection) {
  FakeListModel model = CheckList(8);
  model.Focus(4);
  OpenedList list(model);
  ToggleSelectedChecks(*list.view);
  EXPECT_EQ(model.SelectedIndices(), std::vector<int>{4});
  EXPECT_EQ(model.FocusedIndex(), 4);
  EXPECT_TRUE(model.IsChecked(4));
  for (int i = 0; i < 8; ++i) {
    if (i != 4) {
      EXPECT_FALSE(model.IsChecked(i)) << i;
    }
  }
}

TEST(ToggleSelectedChecksTest, NothingSelectedNorFocusedChangesNothing) {
  FakeListModel model = CheckList(5);
  model.SetChecked(2, true);
  auto before = model.items;
  OpenedList list(model);
  ToggleSelectedChecks(*list.view);
  EXPECT_EQ(model.setStateMessages, 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(model.items[i].state, before[i].state) << i;
}

TEST(ToggleSelectedChecksTest, AnItemWithoutABoxCountsAsChecked) {
  FakeListModel model = CheckList(4);
  model.items[1].state = kLvisSelected;  // state image 0
  model.Select(2);
  model.SetChecked(2, true);
  OpenedList list(model);
  ToggleSelectedChecks(*list.view);
  EXPECT_FALSE(model.IsChecked(2));
  EXPECT_EQ(model.StateImage(1), 1);
}

TEST(ToggleSelectedChecksTest, DoesNothingWithoutCheckBoxesItemsOrRecord) {
  FakeListModel noBoxes(Names(3));
  noBoxes.Select(0);
  OpenedList a(noBoxes);
  ToggleSelectedChecks(*a.view);
  EXPECT_EQ(noBoxes.setStateMessages, 0);
  EXPECT_EQ(noBoxes.StateImage(0), 0);

  FakeListModel empty = CheckList(0);
  OpenedList b(empty);
  ToggleSelectedChecks(*b.view);
  EXPECT_EQ(empty.messages, 2);  // the style and the count, nothing more

  FakeListModel noRecord = CheckList(3);
  noRecord.Select(1);
  noRecord.recordFails = true;
  OpenedList c(noRecord);
  ToggleSelectedChecks(*c.view);
  EXPECT_EQ(noRecord.setStateMessages, 0);
  EXPECT_EQ(noRecord.messages, 2);  // no item message once the record is not ready
}

TEST(ToggleSelectedChecksTest, AViewLostWhileScanningIsNotWritten) {
  FakeListModel model = CheckList(50);
  for (int i = 0; i < 50; ++i) {
    model.Select(i);
    model.SetChecked(i, i != 49);  // the scan runs to the last item
  }
  model.loseAfterMessages = 30;
  OpenedList list(model);
  ToggleSelectedChecks(*list.view);
  EXPECT_TRUE(list.view->Lost());
  EXPECT_EQ(model.messages, 31);  // the unanswered one included, then silence
  EXPECT_EQ(model.setStateMessages, 0);
}

TEST(ToggleSelectedChecksTest, AViewLostWhileBeingWrittenGetsNoFurtherMessage) {
  FakeListModel model = CheckList(50);
  for (int i = 0; i < 50; ++i) model.Select(i);
  model.loseAfterMessages = 30;
  OpenedList list(model);
  ToggleSelectedChecks(*list.view);
  EXPECT_TRUE(list.view->Lost());
  EXPECT_EQ(model.messages, 31);
  EXPECT_GT(model.setStateMessages, 0);
  EXPECT_LT(model.setStateMessages, 50);
}

TEST(SelectCheckedItemsTest, ExactlyTheCheckedItemsEndSelectedWithTheFocusOnTheLast) {
  FakeListModel model = CheckList(8);
  model.SetChecked(2, true);
  model.SetChecked(5, true);
  model.Select(0);
  model.Select(3);
  model.Focus(7);
  OpenedList list(model);
  CountingNotifier notifier;
  SelectCheckedItems(*list.view, notifier);
  EXPECT_EQ(model.SelectedIndices(), (std::vector<int>{2, 5}));
  EXPECT_EQ(model.FocusedIndex(), 5);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_TRUE(model.IsChecked(2));
  EXPECT_TRUE(model.IsChecked(5));
}

TEST(SelectCheckedItemsTest, NothingCheckedBeepsOnceAndChangesNothing) {
  FakeListModel model = CheckList(8);
  model.Select(3);
  model.Focus(3);
  auto before = model.items;
  OpenedList list(model);
  CountingNotifier notifier;
  SelectCheckedItems(*list.view, notifier);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_EQ(model.setStateMessages, 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(model.items[i].state, before[i].state) << i;
}

TEST(SelectCheckedItemsTest, ItemsWithoutABoxCountAsChecked) {
  FakeListModel model = CheckList(4);
  model.items[3].state = 0;
  OpenedList list(model);
  CountingNotifier notifier;
  SelectCheckedItems(*list.view, notifier);
  EXPECT_EQ(model.SelectedIndices(), std::vector<int>{3});
  EXPECT_EQ(notifier.beeps, 0);
}

TEST(SelectCheckedItemsTest, SilentWithoutCheckBoxesItemsOrRecord) {
  CountingNotifier notifier;
  FakeListModel noBoxes(Names(3));
  OpenedList a(noBoxes);
  SelectCheckedItems(*a.view, notifier);

  FakeListModel empty = CheckList(0);
  OpenedList b(empty);
  SelectCheckedItems(*b.view, notifier);
  EXPECT_EQ(notifier.beeps, 0);

  FakeListModel noRecord = CheckList(4);
  noRecord.SetChecked(1, true);
  noRecord.Select(0);
  noRecord.recordFails = true;
  OpenedList c(noRecord);
  SelectCheckedItems(*c.view, notifier);
  EXPECT_EQ(noRecord.setStateMessages, 0);
  EXPECT_EQ(noRecord.SelectedIndices(), std::vector<int>{0});
  EXPECT_EQ(notifier.beeps, 0);
}

TEST(SelectCheckedItemsTest, AViewLostWhileScanningNeitherBeepsNorSelects) {
  FakeListModel model = CheckList(20);
  model.loseAfterMessages = 10;
  OpenedList list(model);
  CountingNotifier notifier;
  SelectCheckedItems(*list.view, notifier);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_EQ(model.setStateMessages, 0);
}

}  // namespace
