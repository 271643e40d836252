// The interface of Tapline.dll, Kanasift's keyboard-hook library, as Kanasift calls it.
// One class of static operations, exported by the DLL.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tapline/TaplineTypes.h"

#if defined(TAPLINE_BUILD)
#define TAPLINE_API __declspec(dllexport)
#else
#define TAPLINE_API __declspec(dllimport)
#endif

class TAPLINE_API Tapline {
 public:
  // Installs the keyboard hook; key messages go to `window`.
  static bool setHook(HWND window);
  static void unsetHook();

  // Master switch: when off every key passes untouched.
  static void setIsUse(bool isUse);
  static bool isEnable();
  static bool isForceEnable();
  static bool toggleIsEnable();
  static bool toggleIsForceEnable();

  // Tab-separated lists of window classes and target conditions; false when the text
  // cannot be used.
  static bool setListViewClasses(const char* text);
  static bool setTreeViewClasses(const char* text);
  static bool setTargetConditions(const char* text);

  // Converts a tab-separated list in place into the form isTargetClass reads; the
  // buffer holds the text's length + 2 bytes.
  static void tssToNss(char* buffer);
  static bool isTargetClass(const char* className, const char* list);

  // The 13 shortcut records, in the order of the [key] section.
  static void setShortcuts(const Shortcut* shortcuts);
  // Header text for the sort by number in name.
  static bool setNisHeader(const char* header);

  // Takes up to INPUT_BATCH_MAX queued characters: the view they were typed in, the
  // bytes and their tick counts. Returns the count (0 or less: none).
  static int getInputs(HWND* view, unsigned char* chars, std::uint32_t* ticks);
};
