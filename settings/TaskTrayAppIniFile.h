// The program's settings file, Kanasift.ini beside the executable: one getter per key of
// section [main] (the key's default when it is missing) and setters for the seven on/off
// settings that change at run time.
#pragma once

#include <cstdint>
#include <string>

#include "settings/AppSettings.h"
#include "settings/IniFile.h"

class TaskTrayAppIniFile : public IniFile {
 public:
  static constexpr const char* kFileName = "Kanasift.ini";
  static constexpr const char* kSection = "main";

  // Kanasift.ini in the executable's folder.
  TaskTrayAppIniFile();
  // Another file, for tests and tools.
  explicit TaskTrayAppIniFile(const char* path);

  // Booleans are true exactly when the value reads as the integer 1 (so 2, -1, "yes"
  // and an empty value are false, even where the default is true).
  bool getIsUse();
  bool getIsForceEnable();
  bool getIsUsePartialMatch();
  bool getIsKeepAliveDict();
  std::int32_t getDictAliveTime();
  const char* getDictPath(std::string& out);
  std::int32_t getKanafyLength();
  std::int32_t getPermissibleInputInterval();
  bool getIsCheckBySpace();
  bool getIsUseTooltip();
  std::int32_t getToolTipAliveTime();
  bool getIsAnimateTooltip();
  std::int32_t getTooltipAnimationInterval();
  ColorRef getTooltipAnimationBarColor();
  ColorRef getTooltipExpiredColor();
  std::int32_t getTooltipAnimationBarHeight();
  std::int32_t getRegexHistMax();
  // String getters fill `out` with the value (a present but empty value stays empty) or
  // the default, and return its text.
  const char* getClasses(std::string& out);
  const char* getTreeClasses(std::string& out);
  const char* getShellViewClasses(std::string& out);
  const char* getTargetConditions(std::string& out);

  // Written as 1 or 0; true when the file was written.
  bool setIsUse(bool value);
  bool setIsForceEnable(bool value);
  bool setIsKeepAliveDict(bool value);
  bool setIsUsePartialMatch(bool value);
  bool setIsUseTooltip(bool value);
  bool setIsAnimateTooltip(bool value);
  bool setIsCheckBySpace(bool value);

 private:
  bool readBool(const char* key, bool fallback);
  std::int32_t readIntOr(const char* key, std::int32_t fallback);
  ColorRef readColorOr(const char* key, ColorRef fallback);
  const char* readStringOr(const char* key, const std::string& fallback, std::string& out);
  bool writeBool(const char* key, bool value);
};

// Every [main] setting, read in the order the main frame takes them at start-up.
void LoadAppSettings(TaskTrayAppIniFile& file, AppSettings& settings);

// Writes the seven on/off settings, in this order: IsUse, IsForceEnable (the hook
// library's current state, passed in), IsKeepAliveDict, IsUsePartialMatch, IsUseTooltip,
// IsAnimateTooltip, IsCheckBySpace. No other key is touched. True when all were written.
bool SaveToggleSettings(TaskTrayAppIniFile& file, const AppSettings& settings, bool isForceEnable);
// The same on a fresh TaskTrayAppIniFile for the executable's Kanasift.ini.
bool SaveToggleSettings(const AppSettings& settings, bool isForceEnable);
