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

// Every operation is safe to call from any thread of Kanasift's process. The states and
// the configuration belong to this process's copy of the library and start afresh in each
// run; each change is published at once to the hooks in the other processes.
// docs/tapline.md describes the hook, the syntax of the lists and the key rules.
class TAPLINE_API Tapline {
 public:
  // Installs the keyboard hook; key messages go to `window`. False when `window` is not a
  // window or the hook cannot be set. The hook belongs to the calling thread and ends
  // with it: call it from the thread that runs the message loop. Characters left in the
  // queue by an earlier run are dropped. Calling it again moves the hook to the new window.
  static bool setHook(HWND window);
  // Removes the hook; from then on every key passes untouched.
  static void unsetHook();

  // Master switch (initially on): when off every key passes untouched.
  static void setIsUse(bool isUse);
  // Enabled (initially true): keys are taken in target windows. Not enabled: only the
  // enable-toggle shortcut is taken there, so that the user can turn it back on.
  // Force-enabled (initially false): keys are taken in every window whose focused view
  // class is in a class list, whatever the target conditions and the enable state say.
  // The toggles return the new state.
  static bool isEnable();
  static bool isForceEnable();
  static bool toggleIsEnable();
  static bool toggleIsForceEnable();

  // Tab-separated lists of window classes, and target conditions (triples of
  // tab-terminated patterns: top-level title, top-level class, focused view class).
  // False, keeping the previous value (at first the defaults), when the text is null,
  // too long, holds a control character, would lose names after an empty one (lists), or
  // does not divide into triples (conditions).
  static bool setListViewClasses(const char* text);
  static bool setTreeViewClasses(const char* text);
  // Classes of windows served through the shell view that holds them (the file pane of
  // today's Explorer, DirectUIHWND): such a window counts as a list only while a shell
  // view is found for it; otherwise its keys pass untouched (or, when its class is a
  // list-view class too, it is served as a list view).
  static bool setShellViewClasses(const char* text);
  static bool setTargetConditions(const char* text);

  // Converts a tab-separated list in place into the NUL-separated form (ended by an empty
  // entry) that isTargetClass reads; the buffer holds the text's length + 2 bytes.
  static void tssToNss(char* buffer);
  // True when `className` is in the list, compared without regard to ASCII case.
  static bool isTargetClass(const char* className, const char* list);

  // The 13 shortcut records, in the order of the [key] section. Records with key '!' are
  // unassigned; a record needs Ctrl or Alt. The library carries out records 5, 8 and 10
  // (the sorts) itself and posts the others.
  static void setShortcuts(const Shortcut* shortcuts);
  // Header text (ANSI code page, at most 127 characters) of the sort by number in name;
  // false, keeping the previous header, when it is null or longer.
  static bool setNisHeader(const char* header);

  // Takes up to INPUT_BATCH_MAX queued characters, all typed in one view and in typing
  // order: the view, the bytes and their tick counts. Returns the count (0: none; -1:
  // bad arguments or no shared block). When more characters wait (of another view, or
  // beyond the batch), the input event is set again so that the next wait returns at once.
  static int getInputs(HWND* view, unsigned char* chars, std::uint32_t* ticks);

  // Reading a whole view inside its own process (docs/batch-reader.md). True when a read
  // request posted to `view` ("Kanasift::UM_READ_VIEW") will be answered: the hook is set
  // by this process, the view belongs to another process of this bitness that has the
  // library loaded, and the library's message hook watches the view's thread (set here
  // on first use, for a few threads at a time; removed by unsetHook and with the calling
  // thread). False at once otherwise, so the caller reads item by item. Call it on the
  // thread that called setHook.
  static bool prepareViewRead(HWND view);
  // Removes the message hook from the view's thread (a request was not answered although
  // the thread took messages); the next prepareViewRead sets it again.
  static void forgetViewRead(HWND view);
  // The key every read request must carry (viewread::RequestHeader): drawn afresh by each
  // setHook and published with the configuration, so that the library serves only the
  // process that owns the hook. 0 while no hook is set.
  static std::uint64_t viewReadKey();

  // Announces a key that the caller is about to inject with SendInput (dwExtraInfo =
  // kInjectedKeyMarker): the first key-down of that virtual key that a hook sees within a
  // second passes through to the view. Call it right before each SendInput; under Wine the
  // marker alone is not seen by the hook.
  static void expectInjectedKey(unsigned char virtualKey);
};
