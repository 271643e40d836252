// Every setting of [main] with its default, as the program keeps its copies.
#pragma once

#include <cstdint>
#include <string>

using ColorRef = std::uint32_t;  // 0x00BBGGRR, as a Windows COLORREF

struct AppSettings {
  bool isUse = true;
  bool isForceEnable = false;
  bool isUsePartialMatch = false;
  bool isKeepAliveDict = false;
  std::int32_t dictAliveTime = 10000;
  std::string dictPath = "./dict/migemo-dict";
  std::int32_t kanafyLength = 3;
  std::int32_t permissibleInputInterval = 1000;
  bool isCheckBySpace = false;
  bool isUseTooltip = true;
  std::int32_t toolTipAliveTime = 1000;
  bool isAnimateTooltip = true;
  std::int32_t tooltipAnimationInterval = 100;
  ColorRef tooltipAnimationBarColor = 0x00FF0000;  // blue
  ColorRef tooltipExpiredColor = 0x000000FF;       // red
  std::int32_t tooltipAnimationBarHeight = 1;
  std::int32_t regexHistMax = 10;
  std::string classes = "SysListView32";
  std::string treeClasses = "SysTreeView32";
  // Windows served through the shell view that holds them: the file pane of today's
  // Explorer and of the common file dialogs.
  std::string shellViewClasses = "DirectUIHWND";
  // The desktop, Explorer windows, and the file pane of the common file dialogs.
  std::string targetConditions =
      "*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t*\t#32770\tDirectUIHWND\t";
};
