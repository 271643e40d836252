// Fuzz target for the settings: an arbitrary Kanasift.ini read into every setting and
// the thirteen shortcuts, the shortcut list text, and the toggles saved into it.
//
// Checked: every shortcut is what its own parser makes of the value read; the list has
// one line per shortcut; saving the seven toggles either leaves the file's bytes as they
// were (a failed save) or reads them back as saved while every other setting stays what
// it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "settings/Shortcuts.h"
#include "settings/TaskTrayAppIniFile.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

void Check(bool condition, const char* what) { FuzzCheck(condition, "settings", what); }

const std::string& FilePath() {
  static const std::string path = FuzzScratchFile("settings", "Kanasift.ini");
  return path;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    std::fclose(f);
  }
  return bytes;
}

bool SameNonToggles(const AppSettings& a, const AppSettings& b) {
  return a.dictAliveTime == b.dictAliveTime && a.dictPath == b.dictPath && a.kanafyLength == b.kanafyLength &&
         a.permissibleInputInterval == b.permissibleInputInterval && a.toolTipAliveTime == b.toolTipAliveTime &&
         a.tooltipAnimationInterval == b.tooltipAnimationInterval &&
         a.tooltipAnimationBarColor == b.tooltipAnimationBarColor && a.tooltipExpiredColor == b.tooltipExpiredColor &&
         a.tooltipAnimationBarHeight == b.tooltipAnimationBarHeight && a.regexHistMax == b.regexHistMax &&
         a.classes == b.classes && a.treeClasses == b.treeClasses && a.targetConditions == b.targetConditions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = FilePath();
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "the file can be created");
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }

  TaskTrayAppIniFile file(path.c_str());
  AppSettings settings;
  LoadAppSettings(file, settings);
  Shortcut shortcuts[SHORTCUT_COUNT];
  LoadShortcuts(file, shortcuts);
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    std::string value;
    Shortcut expected = file.readString(kShortcutSection, kShortcutKeyNames[i], value)
                            ? ParseShortcut(value)
                            : ParseShortcut(std::string_view(kShortcutDefaults + i, 1));
    Check(std::memcmp(&shortcuts[i], &expected, sizeof(Shortcut)) == 0, "a shortcut is its value parsed");
    Check(shortcuts[i].ctrl || shortcuts[i].alt, "a shortcut has Ctrl or Alt");
  }
  std::string list = ShortcutListText(shortcuts);
  std::size_t lines = 0;
  for (char c : list) lines += c == '\n';
  Check(lines == SHORTCUT_COUNT, "one line per shortcut");

  // Save the toggles flipped, as a run of toggling would.
  const std::string before = ReadAll(path);
  AppSettings toggled = settings;
  toggled.isUse = !settings.isUse;
  toggled.isKeepAliveDict = !settings.isKeepAliveDict;
  toggled.isUsePartialMatch = !settings.isUsePartialMatch;
  toggled.isUseTooltip = !settings.isUseTooltip;
  toggled.isAnimateTooltip = !settings.isAnimateTooltip;
  toggled.isCheckBySpace = !settings.isCheckBySpace;
  bool saved = SaveToggleSettings(file, toggled, !settings.isForceEnable);
  TaskTrayAppIniFile again(path.c_str());
  AppSettings reread;
  LoadAppSettings(again, reread);
  if (!saved) {
    Check(ReadAll(path) == before, "a failed save leaves the file as it was");
    return 0;
  }
  Check(reread.isUse == toggled.isUse && reread.isForceEnable == !settings.isForceEnable &&
            reread.isKeepAliveDict == toggled.isKeepAliveDict && reread.isUsePartialMatch == toggled.isUsePartialMatch &&
            reread.isUseTooltip == toggled.isUseTooltip && reread.isAnimateTooltip == toggled.isAnimateTooltip &&
            reread.isCheckBySpace == toggled.isCheckBySpace,
        "the toggles read back as saved");
  Check(SameNonToggles(settings, reread), "no other setting changes");
  Shortcut shortcutsAgain[SHORTCUT_COUNT];
  LoadShortcuts(again, shortcutsAgain);
  Check(std::memcmp(shortcuts, shortcutsAgain, sizeof shortcuts) == 0, "the shortcuts are kept");
  return 0;
}
