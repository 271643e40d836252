// The two input dialogs on a real (Wine) desktop, driven through the system's mouse and
// keyboard input, with their history files in a scratch folder.
#include "ui/InputDialog.h"

#include <gtest/gtest.h>

#include "HistoryTestSupport.h"
#include "ScreenShot.h"
#include "UiTestSupport.h"
#include "framework/Dpi.h"
#include "ui/HistoryFile.h"

namespace {

using Entries = std::vector<std::string>;

const UINT kRegexMessage = RegisterWindowMessageA("Kanasift::UM_SEARCH_WITH_REGEX");
const UINT kNisMessage = RegisterWindowMessageA("Kanasift::UM_SET_NIS_HEADER");

Entries ComboEntries(HWND combo) {
  Entries entries;
  const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(SendMessageA(combo, CB_GETLBTEXTLEN, i, 0));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    entries.push_back(text);
  }
  return entries;
}

std::string ComboText(HWND combo) {
  char text[1024] = {};
  GetWindowTextA(combo, text, sizeof text);
  return text;
}

class InputDialogTest : public ::testing::Test {
 protected:
  std::unique_ptr<InputDialog> MakeDialog(InputDialogKind kind, std::int32_t historyMax = 10) {
    return CreateInputDialog(kind, owner.hwnd(), GetModuleHandleA(nullptr), historyMax,
                             kind == InputDialogKind::Regex ? kRegexMessage : kNisMessage,
                             folder.Folder());
  }

  // Opens the dialog as the shortcut does, replaces the edit field's text by typing, and
  // presses Enter (or `finalKey`).
  void TypeIntoDialog(InputDialog& dialog, const std::string& text, WORD finalKey = VK_RETURN) {
    dialog.ShowInputDialog();
    PumpMessages(150);
    ASSERT_TRUE(IsWindowVisible(dialog.window()));
    PressKey(VK_HOME);
    PressKey(VK_END, true);  // select everything: typing replaces it
    TypeText(text);
    PressKey(finalKey);
    PumpMessages(100);
  }

  std::vector<std::string> ReceivedTexts(UINT message) const {
    std::vector<std::string> texts;
    for (const auto& r : owner.received()) {
      if (r.message == message) texts.push_back(r.text);
    }
    return texts;
  }

  MessageLoop loop;
  ScratchFolder folder;
  OwnerWindow owner{{kRegexMessage, kNisMessage}};
};

}  // namespace

TEST_F(InputDialogTest, TemplateAsCompiled) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_INPUT_DIALOG), reinterpret_cast<LPCSTR>(RT_DIALOG));
  ASSERT_NE(resource, nullptr);
  const auto* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, resource)));
  const auto* header = reinterpret_cast<const DLGTEMPLATE*>(words);
  EXPECT_EQ(header->style, 0x80C80042u);
  EXPECT_EQ(header->cdit, 3);
  EXPECT_EQ(header->x, 0);
  EXPECT_EQ(header->y, 0);
  EXPECT_EQ(header->cx, 187);
  EXPECT_EQ(header->cy, 45);
  // After the fixed header: menu (none), class (default), caption, point size, face name.
  const WORD* p = words + sizeof(DLGTEMPLATE) / sizeof(WORD);
  EXPECT_EQ(*p++, 0);
  EXPECT_EQ(*p++, 0);
  const std::wstring caption(reinterpret_cast<const wchar_t*>(p));
  EXPECT_EQ(caption, L"正規表現入力");  // the UTF-8 source became these UTF-16 characters
  p += caption.size() + 1;
  EXPECT_EQ(*p++, 9);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p)), L"ＭＳ Ｐゴシック");

  auto dialog = MakeDialog(InputDialogKind::Regex);
  ASSERT_NE(dialog->window(), nullptr);
  EXPECT_FALSE(IsWindowVisible(dialog->window()));
  EXPECT_EQ(WindowTextW(dialog->window()), L"正規表現入力");
  EXPECT_EQ(WindowTextW(GetDlgItem(dialog->window(), IDOK)), L"検索");
  EXPECT_EQ(WindowTextW(GetDlgItem(dialog->window(), IDCANCEL)), L"ｷｬﾝｾﾙ");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog->window(), IDOK), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  const LONG comboStyle = GetWindowLongA(dialog->comboBox(), GWL_STYLE);
  EXPECT_EQ(comboStyle & 0x3, CBS_DROPDOWN);
  EXPECT_TRUE(comboStyle & CBS_AUTOHSCROLL);
  EXPECT_FALSE(comboStyle & CBS_SORT);
  EXPECT_TRUE(GetWindowLongA(dialog->window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  // The edit field takes at most 255 characters.
  HWND edit = FindWindowExA(dialog->comboBox(), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 255);
  // The program's icon in both sizes.
  EXPECT_NE(SendMessageA(dialog->window(), WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(dialog->window(), WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(InputDialogTest, CentredOnTheWorkArea) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT rect{};
  GetWindowRect(dialog->window(), &rect);
  EXPECT_NEAR((rect.left + rect.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((rect.top + rect.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

// A child's rectangle in the dialog's client coordinates.
RECT ChildRect(HWND dialog, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LONG FontHeight(HWND window) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font.lfHeight;
}

int IconWidth(HWND window, WPARAM which) {
  ICONINFO info{};
  if (!GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0)), &info)) return 0;
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// Moved to a monitor of one and a half times its DPI (the system sends WM_DPICHANGED with
// the new DPI and a suggested rectangle), the dialog lays itself out again: the buttons
// 1.5 times as large at 1.5 times the distance, the combo box as wide and as far in, the
// texts in a font 1.5 times as high, the icons at the new DPI's sizes. Moved back, it is
// exactly as it was created.
TEST_F(InputDialogTest, LaysItselfOutAgainAtAnotherDpi) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  HWND window = dialog->window();
  HWND ok = GetDlgItem(window, IDOK);
  HWND cancel = GetDlgItem(window, IDCANCEL);
  HWND combo = dialog->comboBox();
  const UINT from = dialog->dpi();
  ASSERT_EQ(from, dpi::System());
  const UINT to = from * 3 / 2;
  RECT windowRect{};
  GetWindowRect(window, &windowRect);
  const RECT okRect = ChildRect(window, ok);
  const RECT cancelRect = ChildRect(window, cancel);
  const RECT comboRect = ChildRect(window, combo);
  const LONG fontHeight = FontHeight(ok);
  ASSERT_LT(fontHeight, 0);  // a character height, in pixels

  RECT suggested = windowRect;
  suggested.right = suggested.left + dpi::Convert(windowRect.right - windowRect.left, from, to);
  suggested.bottom = suggested.top + dpi::Convert(windowRect.bottom - windowRect.top, from, to);
  EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested)), 0);
  EXPECT_EQ(dialog->dpi(), to);
  RECT moved{};
  GetWindowRect(window, &moved);
  EXPECT_TRUE(EqualRect(&moved, &suggested));
  for (auto [child, before] : {std::pair{ok, okRect}, std::pair{cancel, cancelRect}}) {
    const RECT after = ChildRect(window, child);
    EXPECT_EQ(after.left, dpi::Convert(before.left, from, to));
    EXPECT_EQ(after.top, dpi::Convert(before.top, from, to));
    EXPECT_EQ(after.right, dpi::Convert(before.right, from, to));
    EXPECT_EQ(after.bottom, dpi::Convert(before.bottom, from, to));
    EXPECT_EQ(FontHeight(child), dpi::Convert(fontHeight, from, to));
  }
  // The combo box's closed height follows its font.
  const RECT comboAfter = ChildRect(window, combo);
  EXPECT_EQ(comboAfter.left, dpi::Convert(comboRect.left, from, to));
  EXPECT_EQ(comboAfter.top, dpi::Convert(comboRect.top, from, to));
  EXPECT_EQ(comboAfter.right, dpi::Convert(comboRect.right, from, to));
  EXPECT_GT(comboAfter.bottom - comboAfter.top, comboRect.bottom - comboRect.top);
  EXPECT_EQ(FontHeight(combo), dpi::Convert(fontHeight, from, to));
  EXPECT_EQ(IconWidth(window, ICON_SMALL), dpi::SystemMetric(SM_CXSMICON, to));
  EXPECT_EQ(IconWidth(window, ICON_BIG), dpi::SystemMetric(SM_CXICON, to));

  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(from, from), reinterpret_cast<LPARAM>(&windowRect));
  EXPECT_EQ(dialog->dpi(), from);
  for (auto [child, before] : {std::pair{ok, okRect}, std::pair{cancel, cancelRect}, std::pair{combo, comboRect}}) {
    const RECT after = ChildRect(window, child);
    EXPECT_TRUE(EqualRect(&after, &before));
    EXPECT_EQ(FontHeight(child), fontHeight);
  }
  EXPECT_EQ(IconWidth(window, ICON_SMALL), GetSystemMetrics(SM_CXSMICON));
}

TEST_F(InputDialogTest, CaseVariantsLeaveOneEntryInListAndFile) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  for (const char* text : {"b", "a", "B"}) TypeIntoDialog(*dialog, text);

  EXPECT_EQ(ReceivedTexts(kRegexMessage), (Entries{"b", "a", "B"}));
  EXPECT_FALSE(IsWindowVisible(dialog->window()));
  EXPECT_EQ(ComboEntries(dialog->comboBox()), (Entries{"B", "a"}));
  EXPECT_EQ(dialog->history().entries(), (Entries{"B", "a"}));
  EXPECT_EQ(ComboText(dialog->comboBox()), "B");

  ASSERT_TRUE(dialog->SaveHistory());
  EXPECT_EQ(ReadBytes(folder.File("RegexHistory.ini")), "B\r\na\r\n");
  EXPECT_EQ(dialog->historyPath(), HistoryFilePath(folder.Folder(), "RegexHistory.ini"));
}

TEST_F(InputDialogTest, CancelAndCloseSendNothing) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  TypeIntoDialog(*dialog, "abc");
  owner.ClearReceived();

  TypeIntoDialog(*dialog, "zzz", VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(dialog->window()));
  EXPECT_TRUE(owner.received().empty());
  EXPECT_EQ(ComboEntries(dialog->comboBox()), (Entries{"abc"}));
  // Shown again, the field holds what was typed before Cancel.
  dialog->ShowInputDialog();
  PumpMessages(100);
  EXPECT_EQ(ComboText(dialog->comboBox()), "zzz");

  // The caption's close box.
  SendMessageA(dialog->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PumpMessages(100);
  EXPECT_FALSE(IsWindowVisible(dialog->window()));
  EXPECT_TRUE(owner.received().empty());
}

TEST_F(InputDialogTest, EmptyTextIsSentAndKept) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  TypeIntoDialog(*dialog, "x");
  dialog->ShowInputDialog();
  PumpMessages(100);
  PressKey(VK_HOME);
  PressKey(VK_END, true);
  PressKey(VK_DELETE);
  PressKey(VK_RETURN);
  PumpMessages(100);
  EXPECT_EQ(ReceivedTexts(kRegexMessage), (Entries{"x", ""}));
  EXPECT_EQ(ComboEntries(dialog->comboBox()), (Entries{"", "x"}));
}

TEST_F(InputDialogTest, LongTextsAreCutAtACharacterBoundary) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  const std::string ascii(255, 'q');
  SetWindowTextA(dialog->comboBox(), ascii.c_str());
  SendMessageA(dialog->window(), WM_COMMAND, IDOK, 0);
  // 200 double-byte characters (400 bytes) do not fit: 127 of them do.
  SetWindowTextW(dialog->comboBox(), std::wstring(200, L'あ').c_str());
  SendMessageA(dialog->window(), WM_COMMAND, IDOK, 0);

  std::string kana;
  for (int i = 0; i < 127; ++i) kana += "\x82\xA0";
  EXPECT_EQ(ReceivedTexts(kRegexMessage), (Entries{ascii, kana}));
  ASSERT_TRUE(dialog->SaveHistory());
  EXPECT_EQ(ReadHistoryFile(dialog->historyPath(), 10), (Entries{kana, ascii}));
}

TEST_F(InputDialogTest, RestartShowsTheLastHeaderButSendsNothing) {
  {
    auto dialog = MakeDialog(InputDialogKind::NisHeader);
    TypeIntoDialog(*dialog, "hdr1");
    TypeIntoDialog(*dialog, "hdr2");
    EXPECT_EQ(ReceivedTexts(kNisMessage), (Entries{"hdr1", "hdr2"}));
    ASSERT_TRUE(dialog->SaveHistory());
  }
  owner.ClearReceived();

  auto dialog = MakeDialog(InputDialogKind::NisHeader);
  PumpMessages(200);
  EXPECT_EQ(WindowTextW(dialog->window()), L"NISヘッダ設定");
  EXPECT_EQ(WindowTextW(GetDlgItem(dialog->window(), IDOK)), L"設定");
  EXPECT_EQ(ComboText(dialog->comboBox()), "hdr2");
  EXPECT_EQ(ComboEntries(dialog->comboBox()), (Entries{"hdr2", "hdr1"}));
  EXPECT_TRUE(owner.received().empty());

  // Confirmed as it stands, it reaches the owner.
  dialog->ShowInputDialog();
  PumpMessages(150);
  const ScreenShot shot = TakeScreenShot("nis_dialog_after_restart");
  EXPECT_TRUE(shot.valid());
  EXPECT_TRUE(owner.received().empty());
  PressKey(VK_RETURN);
  PumpMessages(100);
  EXPECT_EQ(ReceivedTexts(kNisMessage), (Entries{"hdr2"}));
}

TEST_F(InputDialogTest, BothDialogsOnScreen) {
  auto regex = MakeDialog(InputDialogKind::Regex);
  auto nis = MakeDialog(InputDialogKind::NisHeader);
  TypeIntoDialog(*regex, "kaisya");
  regex->ShowInputDialog();
  nis->ShowInputDialog();
  PumpMessages(100);
  // Side by side, so both captions can be read.
  SetWindowPos(regex->window(), nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetWindowPos(nis->window(), nullptr, 560, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpMessages(300);
  const ScreenShot shot = TakeScreenShot("input_dialogs");
  ASSERT_TRUE(shot.valid());
  // Something other than the desktop is painted inside each dialog.
  for (HWND dialog : {regex->window(), nis->window()}) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    EXPECT_NE(shot.Pixel(rect.left + 20, rect.top + 40), shot.Pixel(rect.left - 10, rect.top - 10));
  }
  std::printf("screenshot: %s\n", shot.pngPath.c_str());
}

TEST_F(InputDialogTest, LockedFileKeepsItsOldContents) {
  WriteBytes(folder.File("RegexHistory.ini"), "old\r\n");
  auto dialog = MakeDialog(InputDialogKind::Regex);
  TypeIntoDialog(*dialog, "new");
  HANDLE lock = CreateFileA(dialog->historyPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(dialog->SaveHistory());
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(dialog->historyPath()), "old\r\n");
  EXPECT_EQ(GetFileAttributesA((dialog->historyPath() + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  // Once the file is free again, the next save goes through.
  EXPECT_TRUE(dialog->SaveHistory());
  EXPECT_EQ(ReadBytes(dialog->historyPath()), "new\r\nold\r\n");
}

TEST_F(InputDialogTest, DestroyedDialogLeavesTheLoop) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  HWND window = dialog->window();
  dialog.reset();
  EXPECT_FALSE(IsWindow(window));
  MSG msg{};
  msg.hwnd = window;
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_RETURN;
  EXPECT_FALSE(loop.PreTranslateMessage(&msg));
}

TEST_F(InputDialogTest, OwnerDestroyedFirst) {
  auto dialog = MakeDialog(InputDialogKind::Regex);
  DestroyWindow(owner.hwnd());
  EXPECT_EQ(dialog->window(), nullptr);
  MSG msg{};
  msg.message = WM_KEYDOWN;
  EXPECT_FALSE(loop.PreTranslateMessage(&msg));
  EXPECT_TRUE(dialog->SaveHistory());  // the list outlives the window
}
