// The application settings: defaults, value types, the save of the seven on/off
// settings, and where the file lives.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "settings/ModuleDirectory.h"
#include "settings/TaskTrayAppIniFile.h"
#include "tests/settings/TempDir.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { path = dir.file("Kanasift.ini"); }
  AppSettings load(const std::string& contents) {
    WriteBytes(path, contents);
    TaskTrayAppIniFile file(path.c_str());
    AppSettings settings;
    // Start from values unlike every default, so a missed assignment shows.
    settings.isUse = false;
    settings.isUseTooltip = false;
    settings.isAnimateTooltip = false;
    settings.dictAliveTime = -1;
    settings.kanafyLength = -1;
    settings.classes = settings.treeClasses = settings.targetConditions = settings.dictPath = "?";
    settings.tooltipAnimationBarColor = settings.tooltipExpiredColor = 0xFFFFFFFF;
    settings.regexHistMax = settings.permissibleInputInterval = settings.toolTipAliveTime = -1;
    settings.tooltipAnimationInterval = settings.tooltipAnimationBarHeight = -1;
    LoadAppSettings(file, settings);
    return settings;
  }

  TempDir dir;
  std::string path;
};

void ExpectDefaults(const AppSettings& s, bool exceptIsUse = false) {
  const AppSettings d;
  if (!exceptIsUse) {
    EXPECT_EQ(s.isUse, d.isUse);
  }
  EXPECT_EQ(s.isForceEnable, false);
  EXPECT_EQ(s.isUsePartialMatch, false);
  EXPECT_EQ(s.isKeepAliveDict, false);
  EXPECT_EQ(s.dictAliveTime, 10000);
  EXPECT_EQ(s.dictPath, "./dict/migemo-dict");
  EXPECT_EQ(s.kanafyLength, 3);
  EXPECT_EQ(s.permissibleInputInterval, 1000);
  EXPECT_EQ(s.isCheckBySpace, false);
  EXPECT_EQ(s.isUseTooltip, true);
  EXPECT_EQ(s.toolTipAliveTime, 1000);
  EXPECT_EQ(s.isAnimateTooltip, true);
  EXPECT_EQ(s.tooltipAnimationInterval, 100);
  EXPECT_EQ(s.tooltipAnimationBarColor, 0x00FF0000u);
  EXPECT_EQ(s.tooltipExpiredColor, 0x000000FFu);
  EXPECT_EQ(s.tooltipAnimationBarHeight, 1);
  EXPECT_EQ(s.regexHistMax, 10);
  EXPECT_EQ(s.classes, "SysListView32");
  EXPECT_EQ(s.treeClasses, "SysTreeView32");
  EXPECT_EQ(s.shellViewClasses, "DirectUIHWND");
  EXPECT_EQ(s.targetConditions, "*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t*\t#32770\tDirectUIHWND\t");
}

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
  TaskTrayAppIniFile file(dir.file("absent.ini").c_str());
  AppSettings settings;
  settings.isUse = false;
  settings.dictPath = "?";
  LoadAppSettings(file, settings);
  ExpectDefaults(settings);
}

TEST_F(SettingsTest, OnlyIsUseGivenThenSaveWritesAllSeven) {
  AppSettings settings = load("[main]\r\nIsUse=0\r\n");
  EXPECT_FALSE(settings.isUse);
  ExpectDefaults(settings, true);

  TaskTrayAppIniFile file(path.c_str());
  settings.isUse = true;  // a toggle
  ASSERT_TRUE(SaveToggleSettings(file, settings, /*isForceEnable=*/true));
  AppSettings again = load(ReadBytes(path));
  EXPECT_TRUE(again.isUse);
  EXPECT_TRUE(again.isForceEnable);
  std::string text;
  for (const char* key : {"IsUse", "IsForceEnable", "IsKeepAliveDict", "IsUsePartialMatch", "IsUseTooltip",
                          "IsAnimateTooltip", "IsCheckBySpace"}) {
    EXPECT_TRUE(file.readString("main", key, text)) << key;
  }
  EXPECT_FALSE(file.readString("main", "DictAliveTime", text));
  EXPECT_FALSE(file.readString("main", "Classes", text));
}

TEST_F(SettingsTest, BooleansAreTrueOnlyForOne) {
  AppSettings s = load("[main]\r\nIsUse=2\r\nIsUseTooltip=\r\nIsAnimateTooltip=-1\r\nIsCheckBySpace=1\r\n"
                       "IsKeepAliveDict=yes\r\nIsUsePartialMatch= 1 \r\nIsForceEnable=01\r\n");
  EXPECT_FALSE(s.isUse);
  EXPECT_FALSE(s.isUseTooltip);
  EXPECT_FALSE(s.isAnimateTooltip);
  EXPECT_TRUE(s.isCheckBySpace);
  EXPECT_FALSE(s.isKeepAliveDict);
  EXPECT_TRUE(s.isUsePartialMatch);
  EXPECT_TRUE(s.isForceEnable);
  EXPECT_TRUE(load("[main]\r\n").isUseTooltip);  // missing: the default
}

TEST_F(SettingsTest, IntegersColoursAndStrings) {
  AppSettings s = load(
      "[main]\r\nDictAliveTime=0\r\nKanafyLength=abc\r\nPermissibleInputInterval=-300\r\n"
      "ToolTipAliveTime=99999999999\r\nTooltipAnimationBarColor=00FF00\r\nTooltipExpiredColor=0F0\r\n"
      "Classes=\r\nTreeClasses=MyTree\tSysTreeView32\t\r\nDictPath=  C:\\dict\\migemo-dict  \r\n"
      "TargetConditions=\"*\tX\t*\t\"\r\nRegexHistMax=0\r\n");
  EXPECT_EQ(s.dictAliveTime, 0);
  EXPECT_EQ(s.kanafyLength, 0);
  EXPECT_EQ(s.permissibleInputInterval, -300);
  EXPECT_EQ(s.toolTipAliveTime, INT32_MAX);
  EXPECT_EQ(s.tooltipAnimationBarColor, 0x0000FF00u);
  EXPECT_EQ(s.tooltipExpiredColor, 0x000000FFu);  // too short: the default
  EXPECT_EQ(s.classes, "");                       // present and empty stays empty
  EXPECT_EQ(s.treeClasses, "MyTree\tSysTreeView32");  // the trailing tab is a blank
  EXPECT_EQ(s.dictPath, "C:\\dict\\migemo-dict");
  EXPECT_EQ(s.targetConditions, "*\tX\t*\t");  // quotes keep the trailing tab
  EXPECT_EQ(s.regexHistMax, 0);
}

TEST_F(SettingsTest, StringGettersReturnTheirText) {
  WriteBytes(path, "[main]\r\nClasses=A\tB\r\n");
  TaskTrayAppIniFile file(path.c_str());
  std::string classes, tree;
  EXPECT_STREQ(file.getClasses(classes), "A\tB");
  EXPECT_EQ(file.getTreeClasses(tree), tree.c_str());
  EXPECT_EQ(tree, "SysTreeView32");
}

TEST_F(SettingsTest, SaveRewritesOnlyTheSevenKeys) {
  const std::string handEdited =
      "; Kanasift settings, edited by hand\r\n"
      "\r\n"
      "[main]\r\n"
      "  IsUse = 1   \r\n"
      "DictAliveTime=5000\r\n"
      "; the colour of the bar\r\n"
      "TooltipAnimationBarColor=00FF00\r\n"
      "IsCheckBySpace=1\r\n"
      "not a key value line\r\n"
      "\r\n"
      "[key]\r\n"
      "NextCandidateShortcut=N+\r\n"
      "IsUse=7\r\n";
  WriteBytes(path, handEdited);
  TaskTrayAppIniFile file(path.c_str());
  AppSettings settings;
  LoadAppSettings(file, settings);
  settings.isUse = false;
  settings.isCheckBySpace = false;
  settings.isAnimateTooltip = false;
  ASSERT_TRUE(SaveToggleSettings(file, settings, false));
  AppSettings reloaded = load(ReadBytes(path));
  EXPECT_FALSE(reloaded.isUse);
  EXPECT_FALSE(reloaded.isCheckBySpace);
  EXPECT_FALSE(reloaded.isAnimateTooltip);
  EXPECT_TRUE(reloaded.isUseTooltip);
  EXPECT_EQ(reloaded.dictAliveTime, 5000);
  EXPECT_EQ(reloaded.tooltipAnimationBarColor, 0x0000FF00u);
  std::string text;
  EXPECT_TRUE(file.readString("key", "IsUse", text));
  EXPECT_EQ(text, "7");
  EXPECT_TRUE(file.readString("key", "NextCandidateShortcut", text));
  EXPECT_EQ(text, "N+");
#ifdef _WIN32
  // The system lays the file out anew (Wine drops blank lines); the text of every
  // other line must still be there.
  std::string after = ReadBytes(path);
  for (const char* line : {"; Kanasift settings, edited by hand", "; the colour of the bar", "not a key value line",
                           "DictAliveTime=5000", "NextCandidateShortcut=N+"}) {
    EXPECT_NE(after.find(line), std::string::npos) << line;
  }
#else
  EXPECT_EQ(ReadBytes(path),
            "; Kanasift settings, edited by hand\r\n"
            "\r\n"
            "[main]\r\n"
            "  IsUse = 0\r\n"
            "DictAliveTime=5000\r\n"
            "; the colour of the bar\r\n"
            "TooltipAnimationBarColor=00FF00\r\n"
            "IsCheckBySpace=0\r\n"
            "not a key value line\r\n"
            "IsForceEnable=0\r\n"
            "IsKeepAliveDict=0\r\n"
            "IsUsePartialMatch=0\r\n"
            "IsUseTooltip=1\r\n"
            "IsAnimateTooltip=0\r\n"
            "\r\n"
            "[key]\r\n"
            "NextCandidateShortcut=N+\r\n"
            "IsUse=7\r\n");
#endif
}

TEST_F(SettingsTest, SaveIntoNewFileInOrder) {
  TaskTrayAppIniFile file(path.c_str());
  AppSettings settings;
  ASSERT_TRUE(SaveToggleSettings(file, settings, false));
  EXPECT_EQ(ReadBytes(path),
            "[main]\r\nIsUse=1\r\nIsForceEnable=0\r\nIsKeepAliveDict=0\r\nIsUsePartialMatch=0\r\n"
            "IsUseTooltip=1\r\nIsAnimateTooltip=1\r\nIsCheckBySpace=0\r\n");
}

TEST_F(SettingsTest, UnwritableFileKeepsSettingsAndFile) {
  TaskTrayAppIniFile nowhere(dir.file("missing-folder/Kanasift.ini").c_str());
  AppSettings settings;
  EXPECT_FALSE(SaveToggleSettings(nowhere, settings, false));
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));
}

TEST(ModuleDirectory, WindowsPaths) {
  EXPECT_EQ(DirectoryOfModulePath("C:\\Tools\\app.exe", '\\'), "C:\\Tools");
  EXPECT_EQ(DirectoryOfModulePath("C:\\app.exe", '\\'), "C:");
  EXPECT_EQ(DirectoryOfModulePath("C:/Tools/Sub/app.exe", '\\'), "C:/Tools/Sub");
  EXPECT_EQ(DirectoryOfModulePath("\\\\server\\share\\app.exe", '\\'), "\\\\server\\share");
  EXPECT_EQ(DirectoryOfModulePath("C:app.exe", '\\'), "C:");
  EXPECT_EQ(DirectoryOfModulePath("app.exe", '\\'), "");
  EXPECT_EQ(DirectoryOfModulePath("", '\\'), "");
}

TEST(ModuleDirectory, PosixPaths) {
  EXPECT_EQ(DirectoryOfModulePath("/opt/kanasift/app", '/'), "/opt/kanasift");
  EXPECT_EQ(DirectoryOfModulePath("/app", '/'), "");
  EXPECT_EQ(DirectoryOfModulePath("C:app", '/'), "");
  EXPECT_EQ(DirectoryOfModulePath("dir\\app", '/'), "");
}

TEST(ModuleDirectory, SettingsFileBesideTheExecutable) {
  std::string directory = "unchanged";
  ASSERT_TRUE(getModuleDirectory(directory));
  std::string executable = platform::ExecutablePath();
  ASSERT_FALSE(executable.empty());
  EXPECT_EQ(executable.compare(0, directory.size() + 1, directory + kPathSeparator), 0) << executable;
  EXPECT_EQ(executable.find_first_of("\\/", directory.size() + 1), std::string::npos) << executable;
  TaskTrayAppIniFile file;
  EXPECT_EQ(file.path(), directory + kPathSeparator + "Kanasift.ini");
}

}  // namespace
