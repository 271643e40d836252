#include "spotter/SpotterTexts.h"

namespace {

constexpr std::uint16_t kLangJapanese = 0x11;  // the primary language id of Japanese

const SpotterTexts kJapanese = {
    L"%1 - Spotter",
    L"ローマ字(&R):",
    L"部分一致(&P)",
    L"参照(&B)...",
    L"名前",
    L"フォルダー",
    L"サイズ",
    L"更新日時",
    L"%1 件 / 全 %2 件",
    L"読み込み中: フォルダー %1、ファイル %2",
    L"フォルダー %1、ファイル %2",
    L"読めないフォルダー %1",
    L"項目が多すぎるため、一部だけを読み込みました。",
    L"フォルダーを読めません: %1 (エラー %2)",
    L"Kanasift が起動していないため、ローマ字を展開できません。入力をそのまま探しています。",
    L"Kanasift が起動していません (ローマ字の展開には Kanasift が必要です)。",
    L"Kanasift が Migemo 辞書を開けませんでした (Kanasift.ini の DictPath を確認してください)。入力をそのまま探しています。",
    L"Kanasift が応答しません。入力をそのまま探しています。",
    L"入力が長すぎて展開できません。入力をそのまま探しています。",
    L"この入力の展開は正規表現として使えません。",
    L"辞書にこの入力の展開がありません。",
    L"開けませんでした: %1",
    L"%1 件のパスをコピーしました。",
    L"検索するフォルダーを選択",
    L"ファイル(&F)",
    L"フォルダーを選択(&O)...\tCtrl+O",
    L"再読み込み(&R)\tF5",
    L"閉じる(&C)\tEsc",
    L"編集(&E)",
    L"開く(&O)\tEnter",
    L"フォルダーを開いて選択(&F)\tCtrl+Enter",
    L"パスをコピー(&C)\tCtrl+C",
    L"すべて選択(&A)\tCtrl+A",
    L"表示(&V)",
    L"部分一致(&P)\tCtrl+P",
    L"隠しファイルを表示(&H)\tCtrl+H",
    L"Spotter %1 - 起動中の Kanasift を使ってローマ字でファイルを探します\r\n"
    L"\r\n"
    L"  Spotter.exe [/partial] [フォルダー]\r\n"
    L"      ウィンドウを開き、フォルダー (省略時はドキュメント) の下のファイルとフォルダーを\r\n"
    L"      すべて探します。\r\n"
    L"  Spotter.exe /query 語 [/utf8]\r\n"
    L"      語の Migemo 展開 (Kanasift の答え) を表示します。\r\n"
    L"  Spotter.exe /find 語 [フォルダー] [/partial] [/utf8]\r\n"
    L"      フォルダー (省略時は現在のフォルダー) の下で語に一致するものを、1 行に 1 つずつ\r\n"
    L"      フルパスで表示します。\r\n"
    L"\r\n"
    L"\\ か / を含む語は、フォルダーからの相対パスと照合します (例: kaisya\\houkoku)。\r\n"
    L"ファイルやパイプへの出力は ANSI コード ページ (Shift_JIS)、/utf8 を付けると UTF-8 です。\r\n"
    L"コンソールには文字として表示します。\r\n"
    L"終了コード: 0 完了、1 コマンド ラインの誤り、2 Kanasift が起動していない、\r\n"
    L"3 Kanasift が辞書を開けない、4 Kanasift が時間内に応答しない、5 フォルダーを読めない。\r\n",
    L"Spotter: Kanasift が起動していません。先に Kanasift.exe を起動してください。\r\n",
    L"Spotter: Kanasift が Migemo 辞書を開けませんでした (Kanasift.ini の DictPath を確認してください)。\r\n",
    L"Spotter: Kanasift が時間内に応答しませんでした。\r\n",
    L"Spotter: 語が長すぎて Kanasift に問い合わせできません。\r\n",
    L"Spotter: 語の展開が正規表現として使えません。\r\n",
    L"Spotter: フォルダーを読めません: %1 (エラー %2)\r\n",
    L"Spotter: 読めないフォルダーが %1 個ありました。\r\n",
    L"/query と /find は一緒に使えません",
    L"%1 には語が必要です",
    L"語が空です",
    L"/query にはフォルダーを指定できません",
    L"/partial は /query には使えません",
    L"フォルダーが 2 つ以上指定されています",
    L"/utf8 は /query と /find にだけ使えます",
    L"不明なスイッチ %1",
};

const SpotterTexts kEnglish = {
    L"%1 - Spotter",
    L"&Romaji:",
    L"&Partial match",
    L"&Browse...",
    L"Name",
    L"Folder",
    L"Size",
    L"Date modified",
    L"%1 of %2 items",
    L"Reading: %1 folders, %2 files",
    L"%1 folders, %2 files",
    L"%1 folders could not be read",
    L"Too many items: only part of the folder was read.",
    L"Cannot read the folder %1 (error %2).",
    L"Kanasift is not running, so romaji cannot be expanded; the input is matched as typed.",
    L"Kanasift is not running (it is needed to expand romaji).",
    L"Kanasift could not open its Migemo dictionary (see DictPath in Kanasift.ini); the input is matched as typed.",
    L"Kanasift does not answer; the input is matched as typed.",
    L"The input is too long to expand; it is matched as typed.",
    L"The expansion of this input is not a valid regular expression.",
    L"The dictionary has no expansion for this input.",
    L"Could not open %1",
    L"Copied %1 paths.",
    L"Choose the folder to search",
    L"&File",
    L"&Choose folder...\tCtrl+O",
    L"&Reload\tF5",
    L"&Close\tEsc",
    L"&Edit",
    L"&Open\tEnter",
    L"Open &folder and select\tCtrl+Enter",
    L"&Copy paths\tCtrl+C",
    L"Select &all\tCtrl+A",
    L"&View",
    L"&Partial match\tCtrl+P",
    L"Show &hidden files\tCtrl+H",
    L"Spotter %1 - finds files by romaji with the running Kanasift\r\n"
    L"\r\n"
    L"  Spotter.exe [/partial] [FOLDER]\r\n"
    L"      Opens the window and searches every file and folder under FOLDER\r\n"
    L"      (default: Documents).\r\n"
    L"  Spotter.exe /query WORD [/utf8]\r\n"
    L"      Prints Kanasift's Migemo expansion of WORD.\r\n"
    L"  Spotter.exe /find WORD [FOLDER] [/partial] [/utf8]\r\n"
    L"      Prints the full path of everything under FOLDER (default: the current\r\n"
    L"      directory) that matches WORD, one per line.\r\n"
    L"\r\n"
    L"A WORD with \\ or / is matched against the path below FOLDER (kaisya\\houkoku).\r\n"
    L"Output to a file or pipe is in the ANSI code page (Shift_JIS), or in UTF-8 with /utf8;\r\n"
    L"a console shows it as text.\r\n"
    L"Exit codes: 0 done, 1 bad command line, 2 Kanasift is not running,\r\n"
    L"3 Kanasift could not open its dictionary, 4 Kanasift did not answer in time,\r\n"
    L"5 the folder could not be read.\r\n",
    L"Spotter: Kanasift is not running; start Kanasift.exe first.\r\n",
    L"Spotter: Kanasift could not open its Migemo dictionary (see DictPath in Kanasift.ini).\r\n",
    L"Spotter: Kanasift did not answer in time.\r\n",
    L"Spotter: the word is too long for Kanasift's query service.\r\n",
    L"Spotter: the expansion of the word is not a valid regular expression.\r\n",
    L"Spotter: cannot read the folder %1 (error %2).\r\n",
    L"Spotter: %1 folders could not be read.\r\n",
    L"only one of /query and /find may be given",
    L"%1 needs a word",
    L"the word is empty",
    L"/query takes no folder",
    L"/partial does not apply to /query",
    L"more than one folder given",
    L"/utf8 applies to /query and /find only",
    L"unknown switch %1",
};

}  // namespace

const SpotterTexts& JapaneseTexts() { return kJapanese; }
const SpotterTexts& EnglishTexts() { return kEnglish; }

const SpotterTexts& TextsForLanguage(std::uint16_t languageId) {
  return (languageId & 0x3FF) == kLangJapanese ? kJapanese : kEnglish;
}

std::wstring Fill(std::wstring_view text, std::initializer_list<std::wstring_view> values) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
      const std::size_t n = static_cast<std::size_t>(text[i + 1] - L'1');
      if (n < values.size()) out += *(values.begin() + n);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::wstring Grouped(std::uint64_t value) {
  std::wstring digits = std::to_wstring(value);
  std::wstring out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += L',';
    out += digits[i];
  }
  return out;
}
