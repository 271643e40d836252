// The walks of one search step over a list view or a tree view. A walk visits each item
// once in the order the step asks for, asks the candidate test about its name, and
// selects the candidate (or every candidate). No list of candidates is kept: the view's
// own selection (list) or caret (tree) is the only record of the current candidate, and
// every step starts next to it.
//
// The walks read names only through a NameReader, so a reader that fetches names in
// batches can replace the per-item reads without touching the walks. After every call
// that reaches the view, a walk checks Lost() and gives up at once when the view is gone.
#pragma once

#include <string>

#include "view/ViewAccess.h"

struct WalkRequest {
  int step = 0;                 // 0: from the top; +1 forward, -1 backward from the current item
  bool selectAll = false;       // select every candidate instead of stopping at the first
  bool includeCurrent = false;  // list views: begin at the current item itself
};

enum class WalkEnd {
  Completed,
  NotReady,  // the item record could not be set up: nothing was changed
  Lost,      // the view went away during the walk
};

struct WalkResult {
  WalkEnd end = WalkEnd::Completed;
  bool anyMatch = false;
  bool haveRect = false;
  ItemRect rect;            // label of the last candidate found
  std::string matchedText;  // what the candidate test reported for it
};

class CandidateTest {
 public:
  virtual ~CandidateTest() = default;
  virtual bool IsCandidate(const std::string& name, std::string* matchedText) = 0;
};

class ListNameReader {
 public:
  virtual ~ListNameReader() = default;
  virtual bool ReadName(int index, std::string& name) = 0;
};

class TreeNameReader {
 public:
  virtual ~TreeNameReader() = default;
  virtual bool ReadName(TreeItem item, std::string& name) = 0;
};

// One message per name.
class PerItemListNames : public ListNameReader {
 public:
  explicit PerItemListNames(ListView& view) : view_(view) {}
  bool ReadName(int index, std::string& name) override { return view_.ItemText(index, name); }

 private:
  ListView& view_;
};

class PerItemTreeNames : public TreeNameReader {
 public:
  explicit PerItemTreeNames(TreeView& view) : view_(view) {}
  bool ReadName(TreeItem item, std::string& name) override { return view_.ItemText(item, name); }

 private:
  TreeView& view_;
};

// The order of a list walk: with s the first selected item (-1 for none),
//   step 0:  0 ... count-1
//   step +1: s+1 ... count-1, 0 ... s   (from s itself with includeCurrent; from 0 without s)
//   step -1: s-1 ... 0, count-1 ... s   (from s itself with includeCurrent; from count-1 without s)
struct ListWalkOrder {
  int count = 0;
  int start = 0;
  int direction = 1;

  static ListWalkOrder For(int count, int firstSelected, int step, bool includeCurrent);
  int At(int k) const;
};

// List view: deselects every item, walks, selects and focuses the candidate (select-all:
// every candidate selected, the focus on the last), makes it visible, and gives the
// earlier selected item back its selection when nothing matched.
WalkResult WalkListView(ListView& view, ListNameReader& names, CandidateTest& test,
                        const WalkRequest& request, bool wantMatchedText);

// Tree view: walks the visible items after the caret (step 0: after the first root item)
// in display order (backwards for step -1), wraps around and tests the start item
// last; the candidate becomes the caret. Every visible item is tested at most once, so
// the walk ends even when the start item is not among the visible items.
WalkResult WalkTreeView(TreeView& view, TreeNameReader& names, CandidateTest& test,
                        const WalkRequest& request, bool wantMatchedText);
