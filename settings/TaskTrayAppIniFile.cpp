#include "settings/TaskTrayAppIniFile.h"

#include "settings/ModuleDirectory.h"

namespace {

const AppSettings kDefaults;

}  // namespace

TaskTrayAppIniFile::TaskTrayAppIniFile() {
  setPath(ModuleFilePath(kFileName).c_str());
}

TaskTrayAppIniFile::TaskTrayAppIniFile(const char* path) : IniFile(path) {}

bool TaskTrayAppIniFile::readBool(const char* key, bool fallback) {
  std::int32_t value = 0;
  if (!readInt(kSection, key, value)) return fallback;
  return value == 1;
}

std::int32_t TaskTrayAppIniFile::readIntOr(const char* key, std::int32_t fallback) {
  std::int32_t value = fallback;
  readInt(kSection, key, value);
  return value;
}

ColorRef TaskTrayAppIniFile::readColorOr(const char* key, ColorRef fallback) {
  ColorRef value = fallback;
  readColor(kSection, key, value);
  return value;
}

const char* TaskTrayAppIniFile::readStringOr(const char* key, const std::string& fallback,
                                             std::string& out) {
  if (!readString(kSection, key, out)) out = fallback;
  return out.c_str();
}

bool TaskTrayAppIniFile::writeBool(const char* key, bool value) {
  return writeInt(kSection, key, value ? 1 : 0);
}

bool TaskTrayAppIniFile::getIsUse() { return readBool("IsUse", kDefaults.isUse); }
bool TaskTrayAppIniFile::getIsForceEnable() { return readBool("IsForceEnable", kDefaults.isForceEnable); }
bool TaskTrayAppIniFile::getIsUsePartialMatch() {
  return readBool("IsUsePartialMatch", kDefaults.isUsePartialMatch);
}
bool TaskTrayAppIniFile::getIsKeepAliveDict() {
  return readBool("IsKeepAliveDict", kDefaults.isKeepAliveDict);
}
std::int32_t TaskTrayAppIniFile::getDictAliveTime() {
  return readIntOr("DictAliveTime", kDefaults.dictAliveTime);
}
const char* TaskTrayAppIniFile::getDictPath(std::string& out) {
  return readStringOr("DictPath", kDefaults.dictPath, out);
}
std::int32_t TaskTrayAppIniFile::getKanafyLength() {
  return readIntOr("KanafyLength", kDefaults.kanafyLength);
}
std::int32_t TaskTrayAppIniFile::getPermissibleInputInterval() {
  return readIntOr("PermissibleInputInterval", kDefaults.permissibleInputInterval);
}
bool TaskTrayAppIniFile::getIsCheckBySpace() {
  return readBool("IsCheckBySpace", kDefaults.isCheckBySpace);
}
bool TaskTrayAppIniFile::getIsUseTooltip() { return readBool("IsUseTooltip", kDefaults.isUseTooltip); }
std::int32_t TaskTrayAppIniFile::getToolTipAliveTime() {
  return readIntOr("ToolTipAliveTime", kDefaults.toolTipAliveTime);
}
bool TaskTrayAppIniFile::getIsAnimateTooltip() {
  return readBool("IsAnimateTooltip", kDefaults.isAnimateTooltip);
}
std::int32_t TaskTrayAppIniFile::getTooltipAnimationInterval() {
  return readIntOr("TooltipAnimationInterval", kDefaults.tooltipAnimationInterval);
}
ColorRef TaskTrayAppIniFile::getTooltipAnimationBarColor() {
  return readColorOr("TooltipAnimationBarColor", kDefaults.tooltipAnimationBarColor);
}
ColorRef TaskTrayAppIniFile::getTooltipExpiredColor() {
  return readColorOr("TooltipExpiredColor", kDefaults.tooltipExpiredColor);
}
std::int32_t TaskTrayAppIniFile::getTooltipAnimationBarHeight() {
  return readIntOr("TooltipAnimationBarHeight", kDefaults.tooltipAnimationBarHeight);
}
std::int32_t TaskTrayAppIniFile::getRegexHistMax() {
  return readIntOr("RegexHistMax", kDefaults.regexHistMax);
}
const char* TaskTrayAppIniFile::getClasses(std::string& out) {
  return readStringOr("Classes", kDefaults.classes, out);
}
const char* TaskTrayAppIniFile::getTreeClasses(std::string& out) {
  return readStringOr("TreeClasses", kDefaults.treeClasses, out);
}
const char* TaskTrayAppIniFile::getShellViewClasses(std::string& out) {
  return readStringOr("ShellViewClasses", kDefaults.shellViewClasses, out);
}
const char* TaskTrayAppIniFile::getTargetConditions(std::string& out) {
  return readStringOr("TargetConditions", kDefaults.targetConditions, out);
}

bool TaskTrayAppIniFile::setIsUse(bool value) { return writeBool("IsUse", value); }
bool TaskTrayAppIniFile::setIsForceEnable(bool value) { return writeBool("IsForceEnable", value); }
bool TaskTrayAppIniFile::setIsKeepAliveDict(bool value) { return writeBool("IsKeepAliveDict", value); }
bool TaskTrayAppIniFile::setIsUsePartialMatch(bool value) {
  return writeBool("IsUsePartialMatch", value);
}
bool TaskTrayAppIniFile::setIsUseTooltip(bool value) { return writeBool("IsUseTooltip", value); }
bool TaskTrayAppIniFile::setIsAnimateTooltip(bool value) { return writeBool("IsAnimateTooltip", value); }
bool TaskTrayAppIniFile::setIsCheckBySpace(bool value) { return writeBool("IsCheckBySpace", value); }

void LoadAppSettings(TaskTrayAppIniFile& file, AppSettings& settings) {
  settings.isUse = file.getIsUse();
  settings.isUsePartialMatch = file.getIsUsePartialMatch();
  settings.isKeepAliveDict = file.getIsKeepAliveDict();
  settings.dictAliveTime = file.getDictAliveTime();
  file.getDictPath(settings.dictPath);
  settings.kanafyLength = file.getKanafyLength();
  settings.permissibleInputInterval = file.getPermissibleInputInterval();
  settings.isCheckBySpace = file.getIsCheckBySpace();
  settings.isUseTooltip = file.getIsUseTooltip();
  settings.toolTipAliveTime = file.getToolTipAliveTime();
  settings.isAnimateTooltip = file.getIsAnimateTooltip();
  settings.tooltipAnimationInterval = file.getTooltipAnimationInterval();
  settings.tooltipAnimationBarColor = file.getTooltipAnimationBarColor();
  settings.tooltipExpiredColor = file.getTooltipExpiredColor();
  settings.tooltipAnimationBarHeight = file.getTooltipAnimationBarHeight();
  settings.isForceEnable = file.getIsForceEnable();
  file.getClasses(settings.classes);
  file.getTreeClasses(settings.treeClasses);
  file.getShellViewClasses(settings.shellViewClasses);
  file.getTargetConditions(settings.targetConditions);
  settings.regexHistMax = file.getRegexHistMax();
}

bool SaveToggleSettings(TaskTrayAppIniFile& file, const AppSettings& settings, bool isForceEnable) {
  bool ok = file.setIsUse(settings.isUse);
  ok = file.setIsForceEnable(isForceEnable) && ok;
  ok = file.setIsKeepAliveDict(settings.isKeepAliveDict) && ok;
  ok = file.setIsUsePartialMatch(settings.isUsePartialMatch) && ok;
  ok = file.setIsUseTooltip(settings.isUseTooltip) && ok;
  ok = file.setIsAnimateTooltip(settings.isAnimateTooltip) && ok;
  ok = file.setIsCheckBySpace(settings.isCheckBySpace) && ok;
  return ok;
}

bool SaveToggleSettings(const AppSettings& settings, bool isForceEnable) {
  TaskTrayAppIniFile file;
  return SaveToggleSettings(file, settings, isForceEnable);
}
