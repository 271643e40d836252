// The resources as the program loads them: menu 101 with its Japanese texts, the icons,
// the version string and record, the manifest. This test executable links the same
// compiled resource script as Kanasift.exe; the manifests are read from the programs in
// dist/ as the system reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "app/resources/ResourceIds.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

TEST(Resources, TrayMenuHasTheJapaneseItemsInOrder) {
  HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_TRAY_MENU));
  ASSERT_NE(menu, nullptr);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  struct Item {
    int id;  // 0: separator
    const wchar_t* text;
  };
  const Item expected[] = {
      {1000, L"使用(&U)"},
      {1001, L"強制有効(&E)"},
      {1002, L"辞書非開放(&D)"},
      {1003, L"部分一致検索(&P)"},
      {1004, L"ツールチップ使用(&T)"},
      {1005, L"ツールチップアニメ(&A)"},
      {1006, L"チェックbyスペース(&S)"},
      {0, nullptr},
      {1007, L"バージョン情報(&V)"},
      {1008, L"ショートカット一覧(&C)"},
      {1009, L"Spotter起動(&W)"},
      {0, nullptr},
      {1010, L"トレイアイコン削除(&R)"},
      {1020, L"Windows 起動時に実行(&B)"},
      {0, nullptr},
      {1011, L"終了(&Q)"},
  };
  constexpr int kItems = sizeof(expected) / sizeof(expected[0]);
  ASSERT_EQ(GetMenuItemCount(popup), kItems);
  std::set<wchar_t> accessKeys;
  for (int i = 0; i < kItems; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
    if (expected[i].id == 0) {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR) << i;
      continue;
    }
    EXPECT_EQ(static_cast<int>(info.wID), expected[i].id) << i;
    wchar_t text[64] = {};
    GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, expected[i].text) << i;
    // Every item has its own access key.
    const wchar_t* amp = std::wcschr(text, L'&');
    ASSERT_NE(amp, nullptr) << i;
    EXPECT_TRUE(accessKeys.insert(static_cast<wchar_t>(std::towupper(amp[1]))).second)
        << "access key of item " << i << " is taken";
  }
  // The same texts reach the program's narrow interface in code page 932.
  char narrow[64] = {};
  GetMenuStringA(popup, ID_CMD_USE, narrow, sizeof(narrow), MF_BYCOMMAND);
  if (GetACP() == 932) {
    EXPECT_STREQ(narrow, "\x8E\x67\x97\x70(&U)");
  }
  DestroyMenu(menu);
}

// The 16x16 picture of an icon as 0x00RRGGBB values, transparent pixels as 0xFF000000.
std::vector<std::uint32_t> Pixels(int id, int size) {
  std::vector<std::uint32_t> out;
  HICON icon = static_cast<HICON>(
      LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon == nullptr) return out;
  ICONINFO info{};
  if (GetIconInfo(icon, &info)) {
    BITMAP bm{};
    GetObjectA(info.hbmColor, sizeof(bm), &bm);
    if (bm.bmWidth == size && bm.bmHeight == size) {
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
      bi.bmiHeader.biWidth = size;
      bi.bmiHeader.biHeight = -size;
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      std::vector<std::uint32_t> colour(size * size), mask(size * size);
      HDC dc = GetDC(nullptr);
      GetDIBits(dc, info.hbmColor, 0, size, colour.data(), &bi, DIB_RGB_COLORS);
      GetDIBits(dc, info.hbmMask, 0, size, mask.data(), &bi, DIB_RGB_COLORS);
      ReleaseDC(nullptr, dc);
      out.resize(size * size);
      for (int i = 0; i < size * size; ++i) {
        out[i] = (mask[i] & 0xFFFFFF) ? 0xFF000000u : (colour[i] & 0xFFFFFF);
      }
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  DestroyIcon(icon);
  return out;
}

// The width of the picture that icon group `id` holds for `size` × `size`: a group that
// has no picture of that size offers the nearest one, which the system would stretch.
int DrawnWidth(int id, int size) {
  HRSRC group = FindResourceA(Module(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  if (!group) return 0;
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(Module(), group)));
  const int picture = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(picture), MAKEINTRESOURCEA(3));  // RT_ICON
  if (!found) return 0;
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Module(), found)));
  return header ? header->biWidth : 0;
}

TEST(Resources, EveryPictureIsDrawnAtEverySizeTheShellAsksFor) {
  // 16 px at 100 % to 48 px at 300 %, the small-icon sizes of the system's DPI steps, and
  // the large icon (32 px at 96 DPI).
  for (int id : {IDI_APP, 200, 201, 202, 203, 300, 301, 302, 303}) {
    for (int size : {16, 20, 24, 32, 40, 48}) {
      EXPECT_EQ(DrawnWidth(id, size), size) << "icon " << id << " at " << size;
    }
  }
  EXPECT_EQ(Pixels(IDI_APP, 16).size(), 256u);
  EXPECT_EQ(Pixels(IDI_APP, 32).size(), 1024u);
}

TEST(Resources, EveryTrayStateHasItsOwnPicture) {
  std::vector<std::vector<std::uint32_t>> pictures;
  for (int id : {200, 201, 202, 203, 300, 301, 302, 303}) {
    pictures.push_back(Pixels(id, 16));
    ASSERT_EQ(pictures.back().size(), 256u) << id;
  }
  for (size_t a = 0; a < pictures.size(); ++a) {
    for (size_t b = a + 1; b < pictures.size(); ++b) {
      EXPECT_NE(pictures[a], pictures[b]) << a << " " << b;
    }
  }
  // Red marks the states that stop the search (201 prohibition sign, 202 X); 200 has none.
  auto redCount = [](const std::vector<std::uint32_t>& p) {
    int n = 0;
    for (auto c : p) n += (c == 0xFF0000u);
    return n;
  };
  EXPECT_EQ(redCount(pictures[0]), 0);
  EXPECT_GT(redCount(pictures[1]), 20);
  EXPECT_GT(redCount(pictures[2]), 20);
  // The force-enabled picture sits on a grey background: no transparent pixel.
  for (auto c : pictures[3]) {
    EXPECT_NE(c, 0xFF000000u);
  }
}

TEST(Resources, PartialMatchSetDiffersOnlyInTheLowerRightCorner) {
  for (int state = 0; state < 4; ++state) {
    auto prefix = Pixels(200 + state, 16);
    auto partial = Pixels(300 + state, 16);
    ASSERT_EQ(prefix.size(), 256u);
    ASSERT_EQ(partial.size(), 256u);
    int cornerDifferences = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        bool corner = x >= 8 && y >= 8;
        bool differs = prefix[y * 16 + x] != partial[y * 16 + x];
        if (!corner) {
          EXPECT_FALSE(differs) << "state " << state << " at " << x << "," << y;
        }
        cornerDifferences += corner && differs;
      }
    }
    EXPECT_GT(cornerDifferences, 10) << state;
  }
}

TEST(Resources, VersionTextComesFromTheProjectVersion) {
  wchar_t text[256] = {};
  ASSERT_GT(LoadStringW(Module(), IDS_VERSION, text, 256), 0);
  std::wstring version(KANASIFT_VERSION, KANASIFT_VERSION + std::strlen(KANASIFT_VERSION));
  EXPECT_NE(std::wstring(text).find(version), std::wstring::npos);
  EXPECT_NE(std::wstring(text).find(L"バージョン"), std::wstring::npos);
  char narrow[256] = {};
  EXPECT_GT(LoadStringA(Module(), IDS_VERSION, narrow, sizeof(narrow)), 0);
}

TEST(Resources, VersionRecordCarriesTheProjectVersion) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
  char* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104B0\\ProductVersion",
                             reinterpret_cast<void**>(&value), &length));
  EXPECT_STREQ(value, KANASIFT_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  char fromFixed[64];
  std::snprintf(fromFixed, sizeof(fromFixed), "%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
  EXPECT_STREQ(fromFixed, KANASIFT_VERSION);
}

TEST(Resources, ManifestAsksForCommonControls6AsInvoker) {
  HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  DWORD size = SizeofResource(Module(), found);
  const char* data = static_cast<const char*>(LockResource(LoadResource(Module(), found)));
  ASSERT_NE(data, nullptr);
  std::string manifest(data, size);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("6595b64144ccf1df"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

// What the system reads from the manifest of a program in dist/.
struct ManifestFacts {
  bool read = false;
  std::wstring dpiAware;
  std::wstring dpiAwareness;
  std::vector<BYTE> compatibility;  // the activation context's compatibility record
};

ManifestFacts ReadManifest(const char* program) {
  ManifestFacts facts;
  const std::string path = std::string(KANASIFT_DIST_DIR) + "/" + program;
  std::wstring source = L"Z:";
  for (char c : path) source += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = source.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
  HANDLE handle = CreateActCtxW(&context);
  if (handle == INVALID_HANDLE_VALUE) return facts;
  facts.read = true;
  wchar_t text[128] = {};
  SIZE_T written = 0;
  if (QueryActCtxSettingsW(0, handle, nullptr, L"dpiAware", text, 128, &written)) facts.dpiAware = text;
  text[0] = L'\0';
  if (QueryActCtxSettingsW(0, handle, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                           L"dpiAwareness", text, 128, &written)) {
    facts.dpiAwareness = text;
  }
  SIZE_T needed = 0;
  QueryActCtxW(0, handle, nullptr, CompatibilityInformationInActivationContext, nullptr, 0, &needed);
  facts.compatibility.resize(needed);
  if (needed == 0 || !QueryActCtxW(0, handle, nullptr, CompatibilityInformationInActivationContext,
                                   facts.compatibility.data(), needed, &needed)) {
    facts.compatibility.clear();
  }
  ReleaseActCtx(handle);
  return facts;
}

bool Names(const std::vector<BYTE>& record, const GUID& id) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&id);
  for (size_t i = 0; i + sizeof(GUID) <= record.size(); ++i) {
    if (std::memcmp(record.data() + i, bytes, sizeof(GUID)) == 0) return true;
  }
  return false;
}

TEST(Resources, BothProgramsDeclarePerMonitorDpiAwarenessAndWindows7To11) {
  const GUID windows10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
  const GUID windows81 = {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}};
  const GUID windows8 = {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}};
  const GUID windows7 = {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}};
  for (const char* program : {"Kanasift.exe", "Spotter.exe"}) {
    const ManifestFacts facts = ReadManifest(program);
    ASSERT_TRUE(facts.read) << program;
    // Windows 10 1703 and later take the first awareness they know; Windows 8.1 and 10
    // before 1703 read the older setting.
    EXPECT_EQ(facts.dpiAwareness, L"PerMonitorV2, PerMonitor") << program;
    EXPECT_EQ(facts.dpiAware, L"true/pm") << program;
    for (const GUID* os : {&windows10, &windows81, &windows8, &windows7}) {
      EXPECT_TRUE(Names(facts.compatibility, *os)) << program << " supportedOS " << std::hex << os->Data1;
    }
  }
}

TEST(Resources, InputDialogTemplateIsIncluded) {
  EXPECT_NE(FindResourceA(Module(), MAKEINTRESOURCEA(IDD_INPUT_DIALOG), MAKEINTRESOURCEA(5)), nullptr);
}

}  // namespace
