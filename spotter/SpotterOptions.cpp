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

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += (c < 0x80) ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

bool ParseSpotterOptions(const std::vector<std::wstring>& args, SpotterOptions& options,
                         std::string& error) {
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
        error = "only one of /query and /find may be given";
        return false;
      }
      modeGiven = true;
      options.mode = name == L"query" ? SpotterMode::Query : SpotterMode::Find;
      if (i + 1 >= args.size()) {
        error = "/" + Narrow(name) + " needs a word";
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
      error = "unknown switch " + Narrow(arg);
      return false;
    }
  }

  if (options.mode == SpotterMode::Query) {
    if (!plain.empty()) {
      error = "/query takes no folder";
      return false;
    }
    if (options.partial) {
      error = "/partial does not apply to /query";
      return false;
    }
  }
  if (plain.size() > 1) {
    error = "more than one folder given";
    return false;
  }
  if (!plain.empty()) options.folder = plain[0];
  if (options.mode == SpotterMode::Window && options.utf8) {
    error = "/utf8 applies to /query and /find only";
    return false;
  }
  if ((options.mode == SpotterMode::Query || options.mode == SpotterMode::Find) && options.word.empty()) {
    error = "the word is empty";
    return false;
  }
  return true;
}

std::string SpotterUsage() {
  return std::string("Spotter " KANASIFT_VERSION " - finds files by romaji with the running Kanasift\r\n") +
         "\r\n"
         "  Spotter.exe [/partial] [FOLDER]\r\n"
         "      Opens the window and lists FOLDER (default: the current directory).\r\n"
         "  Spotter.exe /query WORD [/utf8]\r\n"
         "      Prints Kanasift's Migemo expansion of WORD.\r\n"
         "  Spotter.exe /find WORD [FOLDER] [/partial] [/utf8]\r\n"
         "      Prints the names in FOLDER that match WORD, one per line.\r\n"
         "\r\n"
         "Output to a file or pipe is in the ANSI code page (Shift_JIS), or in UTF-8 with /utf8;\r\n"
         "a console shows it as text.\r\n"
         "Exit codes: 0 done, 1 bad command line, 2 Kanasift is not running,\r\n"
         "3 Kanasift could not open its dictionary, 4 Kanasift did not answer in time,\r\n"
         "5 the folder could not be read.\r\n";
}
