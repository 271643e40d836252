// Windows builds: the same case table through the system's GetPrivateProfileStringA /
// WritePrivateProfileStringA and through the portable functions. The two must agree,
// except in the cases the table marks, where the system (Wine here) is known to answer
// otherwise; the marks are checked too, so a change in either shows up.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/PortableProfile.h"
#include "tests/settings/ProfileCases.h"
#include "tests/settings/TempDir.h"

namespace {

struct Answer {
  std::string value;
  size_t count;
};

Answer SystemRead(const std::string& path, const char* section, const char* key, const char* fallback,
                  unsigned size) {
  std::string buffer(size + 8, '#');
  size_t n = platform::ReadProfileString(section, key, fallback, buffer.data(), size, path.c_str());
  return {std::string(buffer.c_str()), n};
}

Answer PortableRead(const std::string& path, const char* section, const char* key, const char* fallback,
                    unsigned size) {
  std::string buffer(size + 8, '#');
  size_t n = portable_profile::ReadString(section, key, fallback, buffer.data(), size, path.c_str());
  return {std::string(buffer.c_str()), n};
}

TEST(ProfileAgreement, Reads) {
  TempDir dir;
  int index = 0;
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    // One file per case: the system caches profiles by name.
    std::string path = dir.file("agree-read" + std::to_string(index++) + ".ini");
    if (c.file != "<none>") WriteBytes(path, c.file);
    Answer system = SystemRead(path, c.section, c.key, c.fallback, c.size);
    Answer portable = PortableRead(path, c.section, c.key, c.fallback, c.size);
    EXPECT_EQ(portable.value, c.expected);
    EXPECT_EQ(portable.count, c.expectedCount);
    if (c.windows) {
      EXPECT_EQ(system.value, *c.windows) << c.windowsNote;
      EXPECT_EQ(system.count, c.windowsCount) << c.windowsNote;
    } else {
      EXPECT_EQ(system.value, portable.value);
      EXPECT_EQ(system.count, portable.count);
    }
  }
}

// The system rewrites the whole file in its own layout, so the files are compared by
// what they read back, through both readers, under every name the cases use.
TEST(ProfileAgreement, Writes) {
  const char* sections[] = {"", "main", "MAIN", "a", "b", "x", "z", "m", "new"};
  const char* keys[] = {"", "k", "K", "a", "b", "c", "j", "x", "y", "isuse", "\x89\xEF"};
  TempDir dir;
  int index = 0;
  for (const WriteCase& c : WriteCases()) {
    SCOPED_TRACE(c.name);
    std::string systemPath = dir.file("agree-sys" + std::to_string(index) + ".ini");
    std::string portablePath = dir.file("agree-port" + std::to_string(index) + ".ini");
    ++index;
    if (c.file != "<none>") {
      WriteBytes(systemPath, c.file);
      WriteBytes(portablePath, c.file);
    }
    bool system = platform::WriteProfileString(c.section, c.key, c.value, systemPath.c_str());
    bool portable = portable_profile::WriteString(c.section, c.key, c.value, portablePath.c_str());
    EXPECT_EQ(portable, c.expectedResult);
    EXPECT_EQ(ReadBytes(portablePath), c.expectedFile);
    if (c.windowsResult) {
      EXPECT_EQ(system, *c.windowsResult) << c.windowsNote;
      continue;
    }
    EXPECT_EQ(system, portable);
    for (const char* section : sections) {
      for (const char* key : keys) {
        SCOPED_TRACE(std::string("[") + section + "] " + key);
        Answer bySystem = SystemRead(systemPath, section, key, "DEF", 64);
        EXPECT_EQ(bySystem.value, SystemRead(portablePath, section, key, "DEF", 64).value);
        EXPECT_EQ(bySystem.value, PortableRead(portablePath, section, key, "DEF", 64).value);
        EXPECT_EQ(bySystem.value, PortableRead(systemPath, section, key, "DEF", 64).value);
      }
    }
  }
}

}  // namespace
