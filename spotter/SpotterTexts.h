// Every text that Spotter shows, in Japanese and in English. The Japanese texts are used
// when the user's UI language is Japanese, the English ones otherwise. In a text, %1 and
// %2 stand for the values that Fill() puts in.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

struct SpotterTexts {
  // The window.
  const wchar_t* title;          // %1 the folder's name
  const wchar_t* inputLabel;
  const wchar_t* partial;
  const wchar_t* browse;
  const wchar_t* columnName;
  const wchar_t* columnFolder;
  const wchar_t* columnSize;
  const wchar_t* columnModified;
  const wchar_t* count;          // %1 results of %2 entries
  const wchar_t* reading;        // %1 folders, %2 files read so far
  const wchar_t* read;           // %1 folders, %2 files
  const wchar_t* unreadable;     // %1 folders that could not be read
  const wchar_t* truncated;
  const wchar_t* folderError;    // %1 the folder, %2 the system's error code
  const wchar_t* notRunning;
  const wchar_t* hintNotRunning;
  const wchar_t* noDictionary;
  const wchar_t* noAnswer;
  const wchar_t* tooLong;
  const wchar_t* patternError;
  const wchar_t* noExpansion;
  const wchar_t* openFailed;     // %1 the name
  const wchar_t* copied;         // %1 how many paths
  const wchar_t* pickFolder;     // the folder picker's title
  // The menu bar: the menus and their commands (a tab before the key).
  const wchar_t* menuFile;
  const wchar_t* menuChooseFolder;
  const wchar_t* menuReload;
  const wchar_t* menuClose;
  const wchar_t* menuEdit;
  const wchar_t* menuOpen;
  const wchar_t* menuOpenFolder;
  const wchar_t* menuCopyPaths;
  const wchar_t* menuSelectAll;
  const wchar_t* menuView;
  const wchar_t* menuPartial;
  const wchar_t* menuShowHidden;
  // The command line.
  const wchar_t* usage;          // %1 the version
  const wchar_t* cliNotRunning;
  const wchar_t* cliNoDictionary;
  const wchar_t* cliNoAnswer;
  const wchar_t* cliTooLong;
  const wchar_t* cliPatternError;
  const wchar_t* cliFolderError; // %1 the folder, %2 the system's error code
  const wchar_t* cliUnreadable;  // %1 folders that could not be read
  // Command-line mistakes.
  const wchar_t* errorTwoForms;
  const wchar_t* errorNeedsWord;  // %1 the switch
  const wchar_t* errorEmptyWord;
  const wchar_t* errorQueryFolder;
  const wchar_t* errorQueryPartial;
  const wchar_t* errorTwoFolders;
  const wchar_t* errorUtf8;
  const wchar_t* errorUnknown;    // %1 the switch
};

const SpotterTexts& JapaneseTexts();
const SpotterTexts& EnglishTexts();
// The texts for a Windows language id (LANGID): Japanese for any Japanese id.
const SpotterTexts& TextsForLanguage(std::uint16_t languageId);

// `text` with %1, %2, ... replaced by the values in order.
std::wstring Fill(std::wstring_view text, std::initializer_list<std::wstring_view> values);
// A count with thousands separators (12,345).
std::wstring Grouped(std::uint64_t value);
