// The pattern input dialog: a small modeless dialog in which a regular expression (or the
// header text for the hook library's NIS sort) is typed and confirmed. The confirmed text
// goes to the owner as a registered message; a drop-down list keeps the confirmed texts,
// most recent first, and a history file beside the executable keeps them between runs.
// Two instances exist, differing only in texts, history file and message. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/DialogDpiLayout.h"
#include "framework/MessageLoop.h"
#include "framework/ModelessDialog.h"
#include "platform/Win32Handles.h"
#include "ui/InputDialogIds.h"
#include "ui/InputHistory.h"

// The folder of the running executable, without the trailing backslash.
std::string ExecutableDirectory();

class InputDialog final : public ModelessDialog, public MessageFilter, public IdleHandler {
 public:
  // Does not create the window. The history file is `directory` + "\" + `historyFileName`;
  // an empty `directory` means the executable's folder.
  InputDialog(std::string historyFileName, std::int32_t historyMax, UINT resultMessage,
              std::string directory = {});
  ~InputDialog() override;

  // Creates the hidden dialog from template 401 of `instance`, owned by `owner`, centred
  // on the work area, with the history loaded (the edit field shows its newest entry).
  bool Create(HWND owner, HINSTANCE instance);
  // Replaces the caption and the OK button's text.
  void SetTexts(const wchar_t* caption, const wchar_t* okText);

  // Shows the dialog and clicks into its edit field, so that it comes to the foreground
  // with the caret there; the mouse is put back where it was.
  void ShowInputDialog();
  // Writes the first historyMax entries to the history file. False when the file could
  // not be written (the old one is then left as it was).
  bool SaveHistory();

  const std::string& historyPath() const { return historyPath_; }
  const InputHistory& history() const { return history_; }
  HWND comboBox() const { return comboBox_; }
  // The DPI the dialog is laid out for.
  UINT dpi() const { return layout_.dpi(); }

  // MessageFilter: Tab, Enter and Escape for the modeless dialog.
  bool PreTranslateMessage(MSG* msg) override;
  // IdleHandler: nothing to do.
  bool OnIdle() override { return false; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnDestroyWindow() override;

 private:
  BOOL OnInitDialog();
  void LoadHistory();
  void OnOK();
  // The window's icons at the size of the DPI it is laid out for.
  void SetIcons();

  HWND comboBox_ = nullptr;
  std::string historyFileName_;
  UINT resultMessage_;
  std::string historyPath_;
  InputHistory history_;
  HINSTANCE instance_ = nullptr;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
  DialogDpiLayout layout_;
  MessageLoop* loop_ = nullptr;  // the loop this dialog registered with
};

// The two instances.
enum class InputDialogKind {
  Regex,      // "正規表現入力" / "検索", RegexHistory.ini
  NisHeader,  // "NISヘッダ設定" / "設定", NisHeaderHistory.ini
};

// The history file name of each instance.
const char* InputDialogHistoryFile(InputDialogKind kind);

// Constructs and creates one of the two dialogs, hidden, owned by `owner`, sending
// `resultMessage` on OK ("Kanasift::UM_SEARCH_WITH_REGEX" or "Kanasift::UM_SET_NIS_HEADER").
// Never null; if the window could not be created the later calls have no effect.
std::unique_ptr<InputDialog> CreateInputDialog(InputDialogKind kind, HWND owner,
                                               HINSTANCE instance, std::int32_t historyMax,
                                               UINT resultMessage, std::string directory = {});
