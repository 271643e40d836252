#include "ui/HistoryFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "HistoryTestSupport.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using Entries = std::vector<std::string>;

namespace {

std::string Repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

const std::string kA = "\x82\xA0";  // あ

}  // namespace

TEST(ParseHistory, LineEnds) {
  EXPECT_EQ(ParseHistory("b\r\na\r\n", 10), (Entries{"b", "a"}));
  EXPECT_EQ(ParseHistory("b\na\n", 10), (Entries{"b", "a"}));
  EXPECT_EQ(ParseHistory("b\r\na\nc\r\n", 10), (Entries{"b", "a", "c"}));
  // A last line without a line end is read whole.
  EXPECT_EQ(ParseHistory("b\r\nlast", 10), (Entries{"b", "last"}));
  EXPECT_EQ(ParseHistory("b\r\nlast\r", 10), (Entries{"b", "last"}));
  // A CR inside a line belongs to the entry.
  EXPECT_EQ(ParseHistory("a\rb\r\n", 10), (Entries{"a\rb"}));
}

TEST(ParseHistory, EmptyLinesAreEntries) {
  EXPECT_EQ(ParseHistory("", 10), Entries{});
  EXPECT_EQ(ParseHistory("\r\n", 10), (Entries{""}));
  EXPECT_EQ(ParseHistory("a\r\n\r\nb\r\n", 10), (Entries{"a", "", "b"}));
}

TEST(ParseHistory, AtMostHistoryMaxLines) {
  std::string fifteen;
  for (int i = 0; i < 15; ++i) fifteen += "line" + std::to_string(i) + "\r\n";
  const Entries ten = ParseHistory(fifteen, 10);
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.front(), "line0");
  EXPECT_EQ(ten.back(), "line9");
  EXPECT_EQ(ParseHistory(fifteen, 0), Entries{});
  EXPECT_EQ(ParseHistory(fifteen, -3), Entries{});
}

TEST(ParseHistory, LongLinesAreCutAtACharacterBoundary) {
  const std::string exact = Repeat("x", 255);
  EXPECT_EQ(ParseHistory(exact + "\r\nnext\r\n", 10), (Entries{exact, "next"}));
  EXPECT_EQ(ParseHistory(Repeat("x", 300) + "\r\nnext", 10), (Entries{exact, "next"}));
  // 200 double-byte characters: 127 of them (254 bytes) fit, half of one never does.
  const Entries kana = ParseHistory(Repeat(kA, 200) + "\r\n", 10);
  ASSERT_EQ(kana.size(), 1u);
  EXPECT_EQ(kana[0], Repeat(kA, 127));
  // One byte first shifts the boundary: 1 + 127 × 2 = 255 bytes.
  EXPECT_EQ(ParseHistory("x" + Repeat(kA, 200), 10), (Entries{"x" + Repeat(kA, 127)}));
  // A long line ending in CR LF keeps no CR.
  EXPECT_EQ(ParseHistory(Repeat("y", 256) + "\r\n", 10), (Entries{Repeat("y", 255)}));
}

TEST(ParseHistory, NulEndsTheEntry) {
  EXPECT_EQ(ParseHistory(std::string("ab\0cd\r\nz\r\n", 10), 10), (Entries{"ab", "z"}));
}

TEST(FormatHistory, CrLfForTheFirstHistoryMaxEntries) {
  EXPECT_EQ(FormatHistory({"B", "a"}, 10), "B\r\na\r\n");
  EXPECT_EQ(FormatHistory({"3", "2", "1"}, 2), "3\r\n2\r\n");
  EXPECT_EQ(FormatHistory({"", "x"}, 10), "\r\nx\r\n");
  EXPECT_EQ(FormatHistory({"a", "b"}, 0), "");
  EXPECT_EQ(FormatHistory({"a", "b"}, -1), "");
  // An entry never spills onto a second line.
  EXPECT_EQ(FormatHistory({"one\r\ntwo", "x\ny"}, 10), "one\r\nx\r\n");
}

TEST(HistoryFile, RoundTrip) {
  ScratchFolder folder;
  const std::string path = folder.File("RegexHistory.ini");
  const std::string longest = Repeat(kA, 127) + "x";  // 255 bytes
  const Entries entries{"B", "a", "", longest, "\x89\xEF\x8E\xD0"};
  ASSERT_TRUE(WriteHistoryFile(path, entries, 10));
  EXPECT_EQ(ReadBytes(path), "B\r\na\r\n\r\n" + longest + "\r\n\x89\xEF\x8E\xD0\r\n");
  EXPECT_EQ(ReadHistoryFile(path, 10), entries);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(HistoryFile, MissingFileIsEmpty) {
  ScratchFolder folder;
  EXPECT_EQ(ReadHistoryFile(folder.File("NisHeaderHistory.ini"), 10), Entries{});
}

TEST(HistoryFile, ZeroMaxWritesAnEmptyFile) {
  ScratchFolder folder;
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "old\r\n");
  ASSERT_TRUE(WriteHistoryFile(path, {"a"}, 0));
  EXPECT_EQ(ReadBytes(path), "");
}

TEST(HistoryFile, FailedOpenLeavesTheOldFile) {
  ScratchFolder folder;
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "old\r\n");
  // Something that is not a file sits where the new contents would be written.
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_FALSE(WriteHistoryFile(path, {"new"}, 10));
  EXPECT_EQ(ReadBytes(path), "old\r\n");
}

TEST(HistoryFile, FailedReplaceLeavesNoTemporaryFile) {
  ScratchFolder folder;
  // The target is a folder: the finished temporary file cannot take its place.
  const std::string path = folder.File("h.ini");
  std::filesystem::create_directory(path);
  std::filesystem::create_directory(path + "/keep");
  EXPECT_FALSE(WriteHistoryFile(path, {"new"}, 10));
  EXPECT_TRUE(std::filesystem::is_directory(path + "/keep"));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(HistoryFile, MissingFolderFailsQuietly) {
  ScratchFolder folder;
  EXPECT_FALSE(WriteHistoryFile(folder.File("no/such/h.ini"), {"a"}, 10));
}

#ifndef _WIN32
TEST(HistoryFile, FailedWriteLeavesTheOldFile) {
  ScratchFolder folder;
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "old\r\nolder\r\n");
  // Every write to /dev/full fails with "no space left on device".
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  EXPECT_FALSE(WriteHistoryFile(path, {"new", "old"}, 10));
  EXPECT_EQ(ReadBytes(path), "old\r\nolder\r\n");
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));
}

TEST(HistoryFile, ReadOnlyFolderLeavesTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ScratchFolder folder;
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "old\r\n");
  std::filesystem::permissions(folder.Folder(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::owner_exec);
  EXPECT_FALSE(WriteHistoryFile(path, {"new"}, 10));
  EXPECT_EQ(ReadBytes(path), "old\r\n");
}
#endif

TEST(HistoryFile, ReadOnlyFileIsNotReplaced) {
  // Also where the system would let a privileged user (root, or Wine run as root) do it.
  ScratchFolder folder;
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "mine\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_FALSE(WriteHistoryFile(path, {"new"}, 10));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(ReadBytes(path), "mine\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(HistoryFile, TellsAnUnreadableFileFromAMissingOne) {
  ScratchFolder folder;
  bool unreadable = true;
  EXPECT_EQ(ReadHistoryFile(folder.File("missing.ini"), 10, &unreadable), Entries{});
  EXPECT_FALSE(unreadable);
  const std::string path = folder.File("h.ini");
  WriteBytes(path, "a\r\n");
  EXPECT_EQ(ReadHistoryFile(path, 10, &unreadable), Entries{"a"});
  EXPECT_FALSE(unreadable);
  const std::string notAFile = folder.File("folder.ini");
  std::filesystem::create_directory(notAFile);
  EXPECT_EQ(ReadHistoryFile(notAFile, 10, &unreadable), Entries{});
  EXPECT_TRUE(unreadable);
}

TEST(HistoryFilePath, ExecutableFolderAndName) {
  EXPECT_EQ(DirectoryOf("C:\\Tools\\Kanasift\\Kanasift.exe"), "C:\\Tools\\Kanasift");
  EXPECT_EQ(DirectoryOf("C:\\Kanasift.exe"), "C:");
  EXPECT_EQ(DirectoryOf("Kanasift.exe"), "");
  EXPECT_EQ(DirectoryOf(""), "");
  EXPECT_EQ(HistoryFilePath("C:\\Tools", "RegexHistory.ini"), "C:\\Tools\\RegexHistory.ini");
  // No executable path: the file lands at the root of the current drive.
  EXPECT_EQ(HistoryFilePath("", "NisHeaderHistory.ini"), "\\NisHeaderHistory.ini");
}

TEST(HistoryFilePath, TrailBytesAreNotSeparators) {
  // 表 is 0x95 0x5C: its second byte is a backslash.
  const std::string hyo = "\x95\x5C";
  EXPECT_EQ(DirectoryOf("C:\\" + hyo + "\\Kanasift.exe"), "C:\\" + hyo);
  EXPECT_EQ(DirectoryOf("C:\\bin\\" + hyo + ".exe"), "C:\\bin");
}
