// The folder walk over a scripted file system (links, loops, unreadable and hidden
// folders), the index it fills, and readers that read while it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "spotter/EntryIndex.h"
#include "spotter/FolderWalk.h"

namespace {

// Folders and files below "R:", with links that lead to other folders by node number.
class FakeTree : public DirectoryReader {
 public:
  struct Node {
    std::wstring name;
    std::uint32_t attributes = 0;
    int link = -1;  // a link's target
    bool unreadable = false;
    std::vector<int> children;
  };

  FakeTree() { nodes.push_back(Node{L"", kAttributeDirectory, -1, false, {}}); }

  int Folder(int parent, const wchar_t* name, std::uint32_t extra = 0) { return Add(parent, name, kAttributeDirectory | extra); }
  int File(int parent, const wchar_t* name, std::uint32_t extra = 0) { return Add(parent, name, extra); }
  int Link(int parent, const wchar_t* name, int target) {
    const int node = Add(parent, name, kAttributeDirectory | kAttributeReparsePoint);
    nodes[node].link = target;
    return node;
  }

  bool Read(const std::wstring& path, const std::function<bool(const Item&)>& each, std::uint32_t& error) override {
    ++reads;
    const int node = Resolve(path);
    if (node < 0 || nodes[node].unreadable) {
      error = node < 0 ? 3 : 5;
      return false;
    }
    for (int child : nodes[node].children) {
      const Node& c = nodes[child];
      if (!each(Item{c.name.c_str(), c.name.size(), c.attributes, 10, 20})) break;
    }
    return true;
  }

  bool Identify(const std::wstring& path, FolderIdentity& identity) override {
    const int node = Resolve(path);
    if (node < 0) return false;
    identity = FolderIdentity{7, static_cast<std::uint64_t>(node) + 1};
    return true;
  }

  std::vector<Node> nodes;
  int reads = 0;

 private:
  int Add(int parent, const wchar_t* name, std::uint32_t attributes) {
    nodes.push_back(Node{name, attributes, -1, false, {}});
    const int node = static_cast<int>(nodes.size()) - 1;
    nodes[parent].children.push_back(node);
    return node;
  }

  int Resolve(const std::wstring& path) const {
    if (path.compare(0, 2, L"R:") != 0) return -1;
    int node = 0;
    std::size_t at = 2;
    while (at < path.size()) {
      const std::size_t next = std::min(path.find(L'\\', at + 1), path.size());
      const std::wstring name = path.substr(at + 1, next - at - 1);
      int found = -1;
      for (int child : nodes[node].children) {
        if (nodes[child].name == name) found = child;
      }
      if (found < 0) return -1;
      node = nodes[found].link >= 0 ? nodes[found].link : found;
      if (node >= static_cast<int>(nodes.size())) return -1;  // a dangling link
      at = next;
    }
    return node;
  }
};

std::vector<std::wstring> AllPaths(const EntryIndex& index) {
  std::vector<std::wstring> paths;
  for (std::uint32_t i = 0; i < index.EntryCount(); ++i) paths.push_back(index.FullPath(i));
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(FolderWalk, LinksAreFollowedUnlessTheyLoopOrRepeat) {
  FakeTree tree;
  const int a = tree.Folder(0, L"a");
  const int b = tree.Folder(a, L"b");
  tree.File(b, L"f.txt");
  tree.Link(b, L"toRoot", 0);      // a loop through the root
  tree.Link(b, L"toSelf", b);      // a loop through the folder itself
  const int c = tree.Folder(0, L"c");
  tree.Link(c, L"toB", b);         // an ordinary link: followed
  tree.Link(c, L"toBAgain", b);    // the same target again: not followed
  tree.Link(c, L"dangling", 999);  // leads nowhere
  EntryIndex index(L"R:");
  FolderWalk walk(index, tree);
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(walk.Run(cancel));
  EXPECT_TRUE(index.listed());
  EXPECT_EQ(AllPaths(index), (std::vector<std::wstring>{
                                 L"R:\\a", L"R:\\a\\b", L"R:\\a\\b\\f.txt", L"R:\\a\\b\\toRoot", L"R:\\a\\b\\toSelf",
                                 L"R:\\c", L"R:\\c\\dangling", L"R:\\c\\toB", L"R:\\c\\toBAgain",
                                 L"R:\\c\\toB\\f.txt", L"R:\\c\\toB\\toRoot", L"R:\\c\\toB\\toSelf"}));
  // Inside the followed link, its own links loop back to it or to the root.
  EXPECT_EQ(walk.counts().skippedLinks.load(), 6u);
  EXPECT_EQ(walk.counts().files.load(), 2u);
  EXPECT_EQ(walk.counts().folders.load(), 5u);  // root, a, b, c, c\toB
}

TEST(FolderWalk, UnreadableFoldersAreCountedAndHiddenOnesAreWalkedOnlyWhenShown) {
  FakeTree tree;
  const int git = tree.Folder(0, L".git", kAttributeHidden);
  tree.File(git, L"config");
  tree.nodes[tree.Folder(git, L"locked")].unreadable = true;
  const int system = tree.Folder(0, L"$Recycle.Bin", kAttributeHidden | kAttributeSystem);
  tree.File(system, L"desktop.ini");
  tree.nodes[tree.Folder(0, L"private")].unreadable = true;
  tree.File(0, L"a.txt", kAttributeSystem);  // system alone is shown, as in Explorer
  EntryIndex index(L"R:");
  FolderWalk walk(index, tree);
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(walk.Run(cancel));
  EXPECT_EQ(walk.counts().unreadable.load(), 2u);
  std::vector<std::wstring> shown;
  for (std::uint32_t i = 0; i < index.EntryCount(); ++i) {
    const Entry& entry = index.entry(i);
    if (IsShown(entry.flags, ShowOptions{})) shown.push_back(entry.name);
    if (std::wstring(entry.name) == L"desktop.ini") {
      EXPECT_TRUE(entry.flags & kEntryProtected);
    }
    if (std::wstring(entry.name) == L"config") {
      EXPECT_EQ(entry.flags & (kEntryHidden | kEntryProtected), kEntryHidden);
    }
  }
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"private", L"a.txt"}));

  // As Explorer shows them by default: the hidden folders are listed, not read.
  EntryIndex plain(L"R:");
  tree.reads = 0;
  FolderWalk explorerLike(plain, tree, {}, ShowOptions{});
  ASSERT_TRUE(explorerLike.Run(cancel));
  EXPECT_EQ(tree.reads, 2);  // the root and "private"
  EXPECT_EQ(explorerLike.counts().unreadable.load(), 1u);
  EXPECT_EQ(plain.EntryCount(), 4u);

  FakeTree missing;
  EntryIndex nothing(L"R:\\gone");
  FolderWalk failed(nothing, missing);
  EXPECT_FALSE(failed.Run(cancel));
  EXPECT_EQ(failed.rootError(), 3u);
  EXPECT_TRUE(nothing.listed());
}

TEST(FolderWalk, ReadersSeeOnlyWholeEntriesWhileTheWalkRunsAndCancelStopsIt) {
  FakeTree tree;
  for (int f = 0; f < 60; ++f) {
    const int folder = tree.Folder(0, (L"folder" + std::to_wstring(f)).c_str());
    for (int n = 0; n < 300; ++n) tree.File(folder, (L"名前" + std::to_wstring(n) + L".txt").c_str());
  }
  EntryIndex index(L"R:");
  std::atomic<bool> stop{false};
  std::atomic<long> seen{0};
  std::thread reader([&] {
    while (!index.listed()) {
      const std::uint32_t count = index.EntryCount();
      for (std::uint32_t i = 0; i < count; ++i) {
        const Entry& entry = index.entry(i);
        ASSERT_EQ(std::wcslen(entry.name), entry.nameLength);
        ASSERT_LT(entry.folder, index.FolderCount());
      }
      if (count > 0) index.FullPath(count - 1);
      seen = count;
    }
  });
  FolderWalk walk(index, tree);
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(walk.Run(cancel));
  reader.join();
  EXPECT_EQ(index.EntryCount(), 60u * 301u);

  // Cancelled after the first folder was published: the walk ends at once, listed.
  EntryIndex partial(L"R:");
  FolderWalk cancelled(partial, tree, [&] { cancel = true; });
  cancelled.Run(cancel);
  EXPECT_TRUE(partial.listed());
  EXPECT_LT(partial.EntryCount(), 200u);
}

TEST(EntryIndex, OrderPutsNamesByTheCompareAndFoldersInTreeOrder) {
  FakeTree tree;
  const int b = tree.Folder(0, L"b");
  tree.Folder(b, L"z");
  tree.File(b, L"file10");
  tree.File(b, L"File2");
  tree.Folder(0, L"a");
  EntryIndex index(L"R:");
  FolderWalk walk(index, tree);
  std::atomic<bool> cancel{false};
  walk.Run(cancel);
  EXPECT_FALSE(index.ordered());
  const std::atomic<bool> replaced{true};  // the listing was replaced meanwhile
  index.ComputeOrder([](const wchar_t*, std::string& key) { key = "k"; }, &replaced);
  EXPECT_FALSE(index.ordered());
  // Case-blind order, with numbers as text (StrCmpLogicalW would put File2 first).
  index.ComputeOrder([](const wchar_t* name, std::string& key) {
    key.clear();
    for (; *name; ++name) {
      const auto unit = static_cast<std::uint32_t>(std::towlower(*name));
      for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((unit >> shift) & 0xFF);
    }
  });
  ASSERT_TRUE(index.ordered());
  std::vector<std::wstring> byName(index.EntryCount());
  for (std::uint32_t i = 0; i < index.EntryCount(); ++i) byName[index.NameRank(i)] = index.entry(i).name;
  EXPECT_EQ(byName, (std::vector<std::wstring>{L"a", L"b", L"file10", L"File2", L"z"}));
  std::vector<std::wstring> folders(index.FolderCount());
  for (std::uint32_t id = 0; id < index.FolderCount(); ++id) folders[index.FolderRank(id)] = index.RelativeFolderPath(id);
  EXPECT_EQ(folders, (std::vector<std::wstring>{L"", L"a", L"b", L"b\\z"}));
  EXPECT_GT(index.MemoryBytes(), 0u);
}

}  // namespace
