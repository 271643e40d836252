#include "spotter/SpotterOptions.h"

#include <cwctype>

namespace {

bool IsSwitch(const std::wstring& arg) {
  return arg.size() >= 2 && (arg[0] == L'/' || arg[0] == L'-');
}

// The switch's name in lower case, without its '/' or '-'.
std::wstring SwitchName(const std::wstring& arg) {
  std::wstring name = arg.substr(1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

}  // namespace

bool ParseSpotterOptions(const std::vector<std::wstring>& args, SpotterOptions& options, std::wstring& error,
                         const SpotterTexts& texts) {
  options = SpotterOptions();
  std::vector<std::wstring> plain;  // the arguments that are not switches, in order
  bool modeGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (!IsSwitch(arg)) {
      plain.push_back(arg);
      continue;
    }
    const std::wstring name = SwitchName(arg);
    if (name == L"?" || name == L"h" || name == L"help") {
      options.mode = SpotterMode::Help;
      return true;
    }
    if (name == L"query" || name == L"find") {
      if (modeGiven) {
        error = texts.errorTwoForms;
        return false;
      }
      modeGiven = true;
      options.mode = name == L"query" ? SpotterMode::Query : SpotterMode::Find;
      if (i + 1 >= args.size()) {
        error = Fill(texts.errorNeedsWord, {L"/" + name});
        return false;
      }
      options.word = args[++i];  // taken as it is, even when it begins with '-'
      continue;
    }
    if (name == L"utf8") {
      options.utf8 = true;
    } else if (name == L"partial") {
      options.partial = true;
    } else {
      error = Fill(texts.errorUnknown, {arg});
      return false;
    }
  }

  if (options.mode == SpotterMode::Query) {
    if (!plain.empty()) {
      error = texts.errorQueryFolder;
      return false;
    }
    if (options.partial) {
      error = texts.errorQueryPartial;
      return false;
    }
  }
  if (plain.size() > 1) {
    error = texts.errorTwoFolders;
    return false;
  }
  if (!plain.empty()) options.folder = plain[0];
  if (options.mode == SpotterMode::Window && options.utf8) {
    error = texts.errorUtf8;
    return false;
  }
  if ((options.mode == SpotterMode::Query || options.mode == SpotterMode::Find) && options.word.empty()) {
    error = texts.errorEmptyWord;
    return false;
  }
  return true;
}

std::wstring SpotterUsage(const SpotterTexts& texts) {
  const std::string version = KANASIFT_VERSION;
  return Fill(texts.usage, {std::wstring(version.begin(), version.end())});
}
