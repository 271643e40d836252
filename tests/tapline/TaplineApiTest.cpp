// Tapline.dll's exported interface, called through its import library as Kanasift calls
// it, and checked against the shared block the DLL maps.
#include "tapline/Tapline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/CharQueue.h"
#include "tapline/InjectedKeys.h"
#include "tapline/SharedLayout.h"

namespace {

std::string SharedBlockName() {
  char name[128] = {};
  ownobj::LevelQualifiedName(tapline::SharedBlockName(), name, sizeof(name));
  return name;
}

// The shared block as another process sees it.
class SharedView {
 public:
  SharedView()
      : mapping_(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, SharedBlockName().c_str())),
        view_(mapping_ ? MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr) {}
  tapline::SharedBlock* Block() const {
    MEMORY_BASIC_INFORMATION info;
    if (!view_ || !VirtualQuery(view_.Get(), &info, sizeof(info))) return nullptr;
    return tapline::IsUsableBlock(view_.Get(), info.RegionSize) ? static_cast<tapline::SharedBlock*>(view_.Get())
                                                                : nullptr;
  }
  tapline::Config Config() const {
    tapline::Config config{};
    if (tapline::SharedBlock* block = Block()) tapline::ReadConfig(*block, config);
    return config;
  }

 private:
  UniqueKernelHandle mapping_;
  UniqueMappedView view_;
};

const char* const kExportNames[] = {
      "_ZN7Tapline7setHookEP6HWND__",           "_ZN7Tapline9unsetHookEv",
      "_ZN7Tapline8setIsUseEb",                 "_ZN7Tapline8isEnableEv",
      "_ZN7Tapline13isForceEnableEv",           "_ZN7Tapline14toggleIsEnableEv",
      "_ZN7Tapline19toggleIsForceEnableEv",     "_ZN7Tapline18setListViewClassesEPKc",
      "_ZN7Tapline18setTreeViewClassesEPKc",    "_ZN7Tapline19setTargetConditionsEPKc",
      "_ZN7Tapline8tssToNssEPc",                "_ZN7Tapline13isTargetClassEPKcS1_",
      "_ZN7Tapline12setShortcutsEPK8Shortcut",  "_ZN7Tapline12setNisHeaderEPKc",
      "_ZN7Tapline9getInputsEPP6HWND__PhPj",    "_ZN7Tapline17expectInjectedKeyEh",
      "_ZN7Tapline19setShellViewClassesEPKc",     "_ZN7Tapline11viewReadKeyEv",
};

TEST(TaplineExportsTest, EveryOperationIsExportedByItsPlainName) {
  HMODULE module = GetModuleHandleA("Tapline.dll");
  ASSERT_NE(module, nullptr);
  for (const char* name : kExportNames) EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  // The function found by name is the one the import library calls.
  FARPROC found = GetProcAddress(module, "_ZN7Tapline8isEnableEv");
  auto isEnable = reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(found));
  ASSERT_NE(isEnable, nullptr);
  EXPECT_EQ(isEnable(), Tapline::isEnable());
}

TEST(TaplineExportsTest, TheShippedDllInDistExportsTheSameNames) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string dist(path, length);
  dist = dist.substr(0, dist.find_last_of('\\')) + "\\..\\..\\dist\\Tapline.dll";
  // Mapped without running it: no second copy of the library starts in this process.
  HMODULE shipped = LoadLibraryExA(dist.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(shipped, nullptr) << dist;
  EXPECT_NE(shipped, GetModuleHandleA("Tapline.dll"));
  for (const char* name : kExportNames) EXPECT_NE(GetProcAddress(shipped, name), nullptr) << name;
  FreeLibrary(shipped);
}

class TaplineApiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Leave the library as Kanasift would find it at start.
    if (!Tapline::isEnable()) Tapline::toggleIsEnable();
    if (Tapline::isForceEnable()) Tapline::toggleIsForceEnable();
    Tapline::setIsUse(true);
    Tapline::setListViewClasses("SysListView32");
    Tapline::setTreeViewClasses("SysTreeView32");
    Tapline::setShellViewClasses("DirectUIHWND");
    Tapline::setTargetConditions("*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t");
    Tapline::setNisHeader("");
  }
};

TEST_F(TaplineApiTest, SharedBlockHasThisLayoutAndBitness) {
  SharedView shared;
  tapline::SharedBlock* block = shared.Block();
  ASSERT_NE(block, nullptr) << SharedBlockName();
  EXPECT_EQ(block->version, tapline::kLayoutVersion);
  EXPECT_EQ(block->pointerBits, sizeof(void*) * 8);
}

TEST_F(TaplineApiTest, StatesStartEnabledAndNotForcedAndToggle) {
  EXPECT_TRUE(Tapline::isEnable());
  EXPECT_FALSE(Tapline::isForceEnable());
  EXPECT_FALSE(Tapline::toggleIsEnable());
  EXPECT_FALSE(Tapline::isEnable());
  EXPECT_EQ(SharedView().Config().isEnable, 0) << "published to the hooks";
  EXPECT_TRUE(Tapline::toggleIsEnable());
  EXPECT_TRUE(Tapline::toggleIsForceEnable());
  EXPECT_TRUE(Tapline::isForceEnable());
  EXPECT_EQ(SharedView().Config().isForceEnable, 1);
  EXPECT_FALSE(Tapline::toggleIsForceEnable());
}

TEST_F(TaplineApiTest, UseIsPublished) {
  Tapline::setIsUse(false);
  EXPECT_EQ(SharedView().Config().isUse, 0);
  Tapline::setIsUse(true);
  EXPECT_EQ(SharedView().Config().isUse, 1);
}

TEST_F(TaplineApiTest, UnreadableListsAndConditionsAreRefusedAndTheOldOnesKept) {
  EXPECT_TRUE(Tapline::setListViewClasses("SysListView32\tMyList"));
  EXPECT_FALSE(Tapline::setListViewClasses("A\t\tB"));
  EXPECT_FALSE(Tapline::setTreeViewClasses(nullptr));
  EXPECT_TRUE(Tapline::setShellViewClasses("DirectUIHWND\tSysListView32"));
  EXPECT_FALSE(Tapline::setShellViewClasses("DirectUIHWND\t\tX"));
  EXPECT_TRUE(Tapline::isTargetClass("SysListView32", SharedView().Config().shellClasses))
      << "the shell view classes are published, the refused list is not";
  EXPECT_FALSE(Tapline::setTargetConditions("*\tProgman\t"));
  EXPECT_FALSE(Tapline::setTargetConditions(nullptr));
  tapline::Config config = SharedView().Config();
  EXPECT_TRUE(Tapline::isTargetClass("MyList", config.listClasses)) << "the last good list stays";
  EXPECT_EQ(config.conditionCount, 3u);
  EXPECT_TRUE(Tapline::setTargetConditions("*\tCabinetWClass\tSysListView32"));
  EXPECT_EQ(SharedView().Config().conditionCount, 1u);
}

TEST_F(TaplineApiTest, TssToNssMakesTheListIsTargetClassReads) {
  char buffer[32] = "SysTreeView32\tMyTree";
  Tapline::tssToNss(buffer);
  EXPECT_TRUE(Tapline::isTargetClass("SysTreeView32", buffer));
  EXPECT_TRUE(Tapline::isTargetClass("mytree", buffer));
  EXPECT_FALSE(Tapline::isTargetClass("SysListView32", buffer));
  EXPECT_FALSE(Tapline::isTargetClass(nullptr, buffer));
}

TEST_F(TaplineApiTest, NisHeaderIsStoredWideAndATooLongOneRefused) {
  EXPECT_TRUE(Tapline::setNisHeader("\x91\xE6"));  // 第 in code page 932
  tapline::Config config = SharedView().Config();
  EXPECT_EQ(config.nisHeader[0], 0x7B2C);
  EXPECT_EQ(config.nisHeader[1], 0);
  EXPECT_FALSE(Tapline::setNisHeader(std::string(tapline::kNisHeaderUnits, 'x').c_str()));
  EXPECT_EQ(SharedView().Config().nisHeader[0], 0x7B2C);
  EXPECT_FALSE(Tapline::setNisHeader(nullptr));
  EXPECT_TRUE(Tapline::setNisHeader(""));
  EXPECT_EQ(SharedView().Config().nisHeader[0], 0);
}

TEST_F(TaplineApiTest, ShortcutsArePublished) {
  Shortcut shortcuts[SHORTCUT_COUNT];
  for (int i = 0; i < SHORTCUT_COUNT; ++i) shortcuts[i] = Shortcut{0, 1, static_cast<std::uint8_t>('A' + i)};
  Tapline::setShortcuts(shortcuts);
  tapline::Config config = SharedView().Config();
  EXPECT_EQ(std::memcmp(config.shortcuts, shortcuts, sizeof(shortcuts)), 0);
  Tapline::setShortcuts(nullptr);  // ignored
  EXPECT_EQ(std::memcmp(SharedView().Config().shortcuts, shortcuts, sizeof(shortcuts)), 0);
}

TEST_F(TaplineApiTest, SetHookNeedsAWindowAndPublishesItsOwner) {
  EXPECT_FALSE(Tapline::setHook(nullptr));
  EXPECT_EQ(SharedView().Config().ownerWindow, 0u);
  UniqueWindow window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr));
  ASSERT_TRUE(window);
  ASSERT_TRUE(Tapline::setHook(window.Get()));
  tapline::Config config = SharedView().Config();
  EXPECT_EQ(config.ownerWindow, reinterpret_cast<std::uintptr_t>(window.Get()));
  EXPECT_EQ(config.ownerProcessId, GetCurrentProcessId());
  EXPECT_EQ(config.keyDownMessages[tapline::kKeyDownCtrl], RegisterWindowMessageA(KANASIFT_MSG_KEYDOWN_CTRL));
  Tapline::unsetHook();
  EXPECT_EQ(SharedView().Config().ownerWindow, 0u) << "after unsetHook the hooks let every key pass";
}

TEST_F(TaplineApiTest, GetInputsTakesOneViewPerCallAndRaisesTheEventForTheRest) {
  SharedView shared;
  tapline::SharedBlock* block = shared.Block();
  ASSERT_NE(block, nullptr);
  bool created = false;
  UniqueKernelHandle event(ownobj::CreateOwnEvent(KANASIFT_INPUT_EVENT, false, created));
  ASSERT_TRUE(event);
  tapline::DiscardReady(block->queue);

  HWND view = nullptr;
  unsigned char chars[INPUT_BATCH_MAX];
  std::uint32_t ticks[INPUT_BATCH_MAX];
  EXPECT_EQ(Tapline::getInputs(nullptr, chars, ticks), -1);
  EXPECT_EQ(Tapline::getInputs(&view, chars, ticks), 0);

  auto push = [&](std::uint64_t from, char c, std::uint32_t tick) {
    tapline::Keystroke keystroke{};
    keystroke.view = from;
    keystroke.tick = tick;
    keystroke.length = 1;
    keystroke.bytes[0] = static_cast<std::uint8_t>(c);
    return tapline::PushKeystroke(block->queue, keystroke);
  };
  ASSERT_EQ(push(0x1000, 'k', 10), tapline::PushResult::Queued);
  ASSERT_EQ(push(0x1000, 'a', 20), tapline::PushResult::Queued);
  ASSERT_EQ(push(0x2000, 'x', 30), tapline::PushResult::Queued);
  ResetEvent(event.Get());

  ASSERT_EQ(Tapline::getInputs(&view, chars, ticks), 2);
  EXPECT_EQ(view, reinterpret_cast<HWND>(0x1000));
  EXPECT_EQ(chars[0], 'k');
  EXPECT_EQ(chars[1], 'a');
  EXPECT_EQ(ticks[1], 20u);
  EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0) << "the other view's character still waits";

  ASSERT_EQ(Tapline::getInputs(&view, chars, ticks), 1);
  EXPECT_EQ(view, reinterpret_cast<HWND>(0x2000));
  EXPECT_EQ(chars[0], 'x');
  EXPECT_EQ(WaitForSingleObject(event.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "nothing left to fetch";
}

// An input event that another party made under Kanasift's name (with security of its
// own) is never set: the library signals only the event Kanasift made.
TEST_F(TaplineApiTest, AnInputEventOfAnotherMakingIsNotSignalled) {
  SharedView shared;
  tapline::SharedBlock* block = shared.Block();
  ASSERT_NE(block, nullptr);
  UniqueKernelHandle foreign(CreateEventA(nullptr, FALSE, FALSE, KANASIFT_INPUT_EVENT));
  ASSERT_TRUE(foreign);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a test before left the event behind";
  bool created = false;
  EXPECT_FALSE(UniqueKernelHandle(ownobj::CreateOwnEvent(KANASIFT_INPUT_EVENT, false, created)))
      << "Kanasift refuses the name as well";
  tapline::DiscardReady(block->queue);
  tapline::Keystroke keystroke{};
  keystroke.view = 0x1000;
  keystroke.length = 1;
  keystroke.bytes[0] = 'k';
  ASSERT_EQ(tapline::PushKeystroke(block->queue, keystroke), tapline::PushResult::Queued);
  keystroke.view = 0x2000;
  ASSERT_EQ(tapline::PushKeystroke(block->queue, keystroke), tapline::PushResult::Queued);
  HWND view = nullptr;
  unsigned char chars[INPUT_BATCH_MAX];
  std::uint32_t ticks[INPUT_BATCH_MAX];
  ASSERT_EQ(Tapline::getInputs(&view, chars, ticks), 1);
  EXPECT_EQ(WaitForSingleObject(foreign.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  tapline::DiscardReady(block->queue);
}

TEST_F(TaplineApiTest, AnnouncedInjectedKeysAreRecorded) {
  SharedView shared;
  tapline::SharedBlock* block = shared.Block();
  ASSERT_NE(block, nullptr);
  Tapline::expectInjectedKey(0x6B);
  EXPECT_TRUE(tapline::TakeInjectedKey(*block, 0x6B, GetTickCount()));
  EXPECT_FALSE(tapline::TakeInjectedKey(*block, 0x6B, GetTickCount()));
}

}  // namespace
