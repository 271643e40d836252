// The portable profile functions: the shared case table, and the file-safety promises
// (nothing lost on a failed write, every untouched line kept).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/PortableProfile.h"
#include "tests/settings/ProfileCases.h"
#include "tests/settings/TempDir.h"

namespace {

std::string PortableRead(const std::string& path, const char* section, const char* key,
                         const char* fallback = "DEF", unsigned size = 64, size_t* count = nullptr) {
  std::string buffer(size + 8, '#');
  size_t n = portable_profile::ReadString(section, key, fallback, buffer.data(), size, path.c_str());
  if (count) *count = n;
  return std::string(buffer.c_str());
}

void Prepare(const std::string& path, const std::string& contents) {
  if (contents != "<none>") WriteBytes(path, contents);
}

TEST(PortableProfile, ReadCases) {
  TempDir dir;
  int index = 0;
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    std::string path = dir.file("read" + std::to_string(index++) + ".ini");
    Prepare(path, c.file);
    std::string buffer(c.size + 8, '#');
    size_t n = portable_profile::ReadString(c.section, c.key, c.fallback, buffer.data(), c.size, path.c_str());
    EXPECT_EQ(std::string(buffer.c_str()), c.expected);
    EXPECT_EQ(n, c.expectedCount);
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer";
  }
}

TEST(PortableProfile, WriteCases) {
  TempDir dir;
  int index = 0;
  for (const WriteCase& c : WriteCases()) {
    SCOPED_TRACE(c.name);
    std::string path = dir.file("write" + std::to_string(index++) + ".ini");
    Prepare(path, c.file);
    EXPECT_EQ(portable_profile::WriteString(c.section, c.key, c.value, path.c_str()), c.expectedResult);
    EXPECT_EQ(ReadBytes(path), c.expectedFile);
  }
}

TEST(PortableProfile, NullAndEmptyArguments) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  WriteBytes(path, "[main]\r\nk=1\r\n");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(portable_profile::ReadString("main", "k", "D", nullptr, 8, path.c_str()), 0u);
  EXPECT_EQ(portable_profile::ReadString("main", "k", "D", buffer, 0, path.c_str()), 0u);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(portable_profile::ReadString("main", "k", "D", buffer, 8, nullptr), 1u);
  EXPECT_STREQ(buffer, "D");
  EXPECT_EQ(portable_profile::ReadString(nullptr, "k", "D", buffer, 8, path.c_str()), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(portable_profile::WriteString("main", "k", "2", nullptr));
  EXPECT_FALSE(portable_profile::WriteString(nullptr, "k", "2", path.c_str()));
  EXPECT_EQ(ReadBytes(path), "[main]\r\nk=1\r\n");
}

TEST(PortableProfile, WrittenValuesReadBack) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  WriteBytes(path, "; settings\n[main]\nIsUse=1\n\n[key]\nNextCandidateShortcut=N+\n");
  ASSERT_TRUE(portable_profile::WriteString("key", "BackSpaceShortcut", "H-", path.c_str()));
  ASSERT_TRUE(portable_profile::WriteString("main", "DictPath", "C:\\dict\\migemo-dict", path.c_str()));
  ASSERT_TRUE(portable_profile::WriteString("new", "x", "\x89\xEF\x8E\xD0", path.c_str()));
  ASSERT_TRUE(portable_profile::WriteString("main", "IsUse", "0", path.c_str()));
  EXPECT_EQ(PortableRead(path, "key", "BackSpaceShortcut"), "H-");
  EXPECT_EQ(PortableRead(path, "key", "NextCandidateShortcut"), "N+");
  EXPECT_EQ(PortableRead(path, "main", "DictPath"), "C:\\dict\\migemo-dict");
  EXPECT_EQ(PortableRead(path, "new", "x"), "\x89\xEF\x8E\xD0");
  EXPECT_EQ(PortableRead(path, "main", "IsUse"), "0");
  EXPECT_EQ(ReadBytes(path),
            "; settings\n[main]\nIsUse=0\nDictPath=C:\\dict\\migemo-dict\n\n[key]\nNextCandidateShortcut=N+\n"
            "BackSpaceShortcut=H-\n\n[new]\nx=\x89\xEF\x8E\xD0\n");
}

TEST(PortableProfile, HugeValuesAndLongLines) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  std::string huge(200000, 'v');
  std::string before = "[main]\r\nlong=" + std::string(3000, 'x') + "\r\n";
  WriteBytes(path, before);
  ASSERT_TRUE(portable_profile::WriteString("main", "huge", huge.c_str(), path.c_str()));
  EXPECT_EQ(ReadBytes(path), before + "huge=" + huge + "\r\n");
  size_t count = 0;
  EXPECT_EQ(PortableRead(path, "main", "huge", "D", 1024, &count), std::string(1023, 'v'));
  EXPECT_EQ(count, 1023u);
  std::string buffer(huge.size() + 1, '\0');
  EXPECT_EQ(portable_profile::ReadString("main", "huge", "D", buffer.data(), buffer.size(), path.c_str()),
            huge.size());
}

TEST(PortableProfile, NoTemporaryFileLeftBehind) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  ASSERT_TRUE(portable_profile::WriteString("main", "k", "1", path.c_str()));
  ASSERT_TRUE(portable_profile::WriteString("main", "k", "2", path.c_str()));
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++files;
    EXPECT_EQ(entry.path().filename().string(), "a.ini");
  }
  EXPECT_EQ(files, 1);
}

TEST(PortableProfile, StaleTemporaryFileDoesNotBlock) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  WriteBytes(path + ".kstmp", "half-written leftovers");
  ASSERT_TRUE(portable_profile::WriteString("main", "k", "1", path.c_str()));
  EXPECT_EQ(ReadBytes(path), "[main]\r\nk=1\r\n");
  EXPECT_EQ(ReadBytes(path + ".kstmp"), "<missing>");
}

TEST(PortableProfile, ReadOnlyFileIsNotWritten) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  const std::string original = "; mine\r\n[main]\r\nk=1\r\n";
  WriteBytes(path, original);
  MakeReadOnly(path);
  EXPECT_FALSE(portable_profile::WriteString("main", "k", "2", path.c_str()));
  EXPECT_FALSE(portable_profile::WriteString("main", "new", "2", path.c_str()));
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(PortableRead(path, "main", "k"), "1");
}

TEST(PortableProfile, MissingFolderFailsCleanly) {
  TempDir dir;
  std::string path = dir.file("no-such-folder") + "/a.ini";
  EXPECT_FALSE(portable_profile::WriteString("main", "k", "1", path.c_str()));
  EXPECT_EQ(PortableRead(path, "main", "k"), "DEF");
  EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

TEST(PortableProfile, FolderInsteadOfFile) {
  TempDir dir;
  std::string path = dir.file("folder.ini");
  std::filesystem::create_directory(path);
  EXPECT_FALSE(portable_profile::WriteString("main", "k", "1", path.c_str()));
  EXPECT_EQ(PortableRead(path, "main", "k"), "DEF");
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

#ifndef _WIN32
TEST(PortableProfile, DevicesAreNeitherReadNorWritten) {
  EXPECT_EQ(PortableRead("/dev/zero", "main", "k"), "DEF");
  EXPECT_FALSE(portable_profile::WriteString("main", "k", "1", "/dev/null"));
}

TEST(PortableProfile, KeepsPermissionsAndSymbolicLinks) {
  TempDir dir;
  std::string target = dir.file("real.ini");
  std::string link = dir.file("link.ini");
  WriteBytes(target, "[main]\nk=1\n");
  std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink(target, link);
  ASSERT_TRUE(portable_profile::WriteString("main", "k", "2", link.c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[main]\nk=2\n");
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
#endif

// Every value length and shape from the [key] section's point of view: written values
// always read back as the reader normalises them.
TEST(PortableProfile, ShortValuesRoundTrip) {
  TempDir dir;
  std::string path = dir.file("a.ini");
  const char* values[] = {"", "!", "N", "N+", "N-", "NX", "N+x", "N-+", "''", "\"\"", "'a'", " N", "N ", "+", "-"};
  const char* expected[] = {"", "!", "N", "N+", "N-", "NX", "N+x", "N-+", "", "", "a", "N", "N", "+", "-"};
  for (size_t i = 0; i < std::size(values); ++i) {
    SCOPED_TRACE(values[i]);
    ASSERT_TRUE(portable_profile::WriteString("key", "K", values[i], path.c_str()));
    EXPECT_EQ(PortableRead(path, "key", "K"), expected[i]);
  }
}

}  // namespace

TEST(PortableProfile, TellsAnUnusableFileFromAMissingOrUsableOne) {
  // The program keeps such a file as it is for the whole run: its values were never read.
  TempDir dir;
  EXPECT_FALSE(portable_profile::IsUnusable(dir.file("missing.ini").c_str()));
  std::string usable = dir.file("a.ini");
  ASSERT_TRUE(portable_profile::WriteString("main", "k", "1", usable.c_str()));
  EXPECT_FALSE(portable_profile::IsUnusable(usable.c_str()));
  std::string folder = dir.file("folder.ini");
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(portable_profile::IsUnusable(folder.c_str()));
  std::string utf16 = dir.file("utf16.ini");
  {
    std::FILE* f = std::fopen(utf16.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite("\xFF\xFE[\0m\0]\0", 1, 8, f);
    std::fclose(f);
  }
  EXPECT_TRUE(portable_profile::IsUnusable(utf16.c_str()));
  EXPECT_FALSE(portable_profile::IsUnusable(nullptr));
}
