// The tooltip control on a real (Wine) desktop: where it stands, what its bar paints, and
// its timers on the owner window. Pixels are read from screenshots of the X display.
#include "ui/InputTooltip.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <map>
#include <memory>

#include "ScreenShot.h"
#include "UiTestSupport.h"
#include "framework/Dpi.h"

namespace {

constexpr COLORREF kViewColor = RGB(0x40, 0x80, 0xC0);
constexpr COLORREF kBarColor = RGB(0x00, 0xFF, 0x00);
constexpr COLORREF kExpiredColor = RGB(0xFF, 0x00, 0xFF);
constexpr int kViewX = 100;
constexpr int kViewY = 100;

// A colour as RRGGBB, for readable failures.
std::string Hex(COLORREF color) {
  char text[16];
  snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
  return text;
}

class InputTooltipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    settings.tooltipAnimationBarColor = kBarColor;
    settings.tooltipExpiredColor = kExpiredColor;
    settings.permissibleInputInterval = 1000;
    settings.tooltipAnimationBarHeight = 1;
    // Frames are driven by hand unless a test wants the real timer.
    settings.tooltipAnimationInterval = 100000;
    settings.toolTipAliveTime = 100000;
    input.inputText = "kaisya";
    input.targetView = reinterpret_cast<ViewHandle>(view.hwnd());
    input.lastInputTick = 50000;
    now = input.lastInputTick;
    owner.onTimer = [this](UINT_PTR id) {
      ++timerCalls[id];
      tooltip.OnTimer(id, input.lastInputTick, settings);
    };
    ASSERT_TRUE(tooltip.Create(owner.hwnd(), GetModuleHandleA(nullptr)));
  }

  void Tick(std::uint32_t elapsed) {
    now = input.lastInputTick + elapsed;
    SendMessageA(owner.hwnd(), WM_TIMER, InputTooltip::kAnimationTimerId, 0);
  }

  RECT TipWindowRect() const {
    RECT rect{};
    GetWindowRect(tooltip.window(), &rect);
    return rect;
  }
  RECT TipClientOnScreen() const {
    RECT rect{};
    GetClientRect(tooltip.window(), &rect);
    MapWindowPoints(tooltip.window(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  // Checks the bar's top row on the screen: `filled` client columns in `color`, the rest not.
  void ExpectBarRow(const ScreenShot& shot, int filled, COLORREF color) {
    const RECT window = TipWindowRect();
    const RECT client = TipClientOnScreen();
    const int height = window.bottom - window.top;
    const int barTop = window.top + height - settings.tooltipAnimationBarHeight - 2;
    // The band starts in client coordinates; the client area clips it.
    const int row = client.top + (barTop - window.top);
    ASSERT_LT(row, client.bottom) << "the band must reach into the client area";
    const int clientWidth = client.right - client.left;
    for (int x = 0; x < clientWidth; ++x) {
      const std::uint32_t pixel = shot.Pixel(client.left + x, row);
      if (x < filled) {
        EXPECT_EQ(Hex(pixel), Hex(color)) << "column " << x << " of " << filled << " in " << shot.pngPath;
      } else {
        EXPECT_NE(Hex(pixel), Hex(color)) << "column " << x << " beyond " << filled << " in " << shot.pngPath;
      }
    }
    // The row above the band is the tip's own background.
    EXPECT_NE(Hex(shot.Pixel(client.left + 1, row - 1)), Hex(color)) << shot.pngPath;
  }

  std::uint32_t now = 0;
  SolidWindow view{kViewX, kViewY, 500, 300, kViewColor};
  OwnerWindow owner{{}};
  InputTooltip tooltip{[this] { return now; }};
  AppSettings settings;
  InputState input;
  std::map<UINT_PTR, int> timerCalls;
};

}  // namespace

TEST_F(InputTooltipTest, TipStandsBesideTheItemAndTheBarCountsDown) {
  PumpMessages(200);
  now = input.lastInputTick + 250;
  tooltip.ShowInputTooltip({20, 40, 120, 56}, "\x89\xEF\x8E\xD0", input, settings);
  PumpMessages(250);

  // Height 16: one height right of the label, half a height below it.
  const POINT expected{kViewX + 20 + 16, kViewY + 56 + 8};
  const RECT client = TipClientOnScreen();
  const RECT window = TipWindowRect();
  EXPECT_TRUE(IsWindowVisible(tooltip.window()));
  EXPECT_EQ(client.left, expected.x);
  EXPECT_EQ(client.top, expected.y);
  char text[64] = {};
  TOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.lpszText = text;
  SendMessageA(tooltip.window(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, "kaisya : \x89\xEF\x8E\xD0");

  ScreenShot shot = TakeScreenShot("tooltip_25_percent");
  ASSERT_TRUE(shot.valid());
  // Really on the screen there: the view around it, the tip's own colours inside it.
  EXPECT_EQ(Hex(shot.Pixel(window.left - 2, window.top - 2)), Hex(kViewColor));
  EXPECT_EQ(Hex(shot.Pixel(window.right + 1, window.bottom + 1)), Hex(kViewColor));
  EXPECT_NE(Hex(shot.Pixel(client.left + 1, client.top + 1)), Hex(kViewColor));
  // The first frame of the show: a quarter of the window's width in the bar colour.
  const int width = window.right - window.left;
  ExpectBarRow(shot, width / 4, kBarColor);

  Tick(1000);  // exactly the interval: full width, still running
  PumpMessages(150);
  shot = TakeScreenShot("tooltip_bar_full");
  ASSERT_TRUE(shot.valid());
  ExpectBarRow(shot, client.right - client.left, kBarColor);
  EXPECT_FALSE(tooltip.barExpired());

  Tick(1001);  // run out: the expired frame
  PumpMessages(150);
  shot = TakeScreenShot("tooltip_bar_expired");
  ASSERT_TRUE(shot.valid());
  ExpectBarRow(shot, client.right - client.left, kExpiredColor);
  EXPECT_TRUE(tooltip.barExpired());

  Tick(1100);  // the next tick stops the animation timer and paints nothing
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kAnimationTimerId));
  EXPECT_TRUE(KillTimer(owner.hwnd(), InputTooltip::kTooltipTimerId));
}

TEST_F(InputTooltipTest, HideTakesTheTipAwayAtOnce) {
  now = input.lastInputTick + 100;
  tooltip.ShowInputTooltip({0, 0, 100, 20}, nullptr, input, settings);
  PumpMessages(200);
  const RECT window = TipWindowRect();
  ASSERT_TRUE(IsWindowVisible(tooltip.window()));

  tooltip.HideInputTooltip();
  EXPECT_FALSE(IsWindowVisible(tooltip.window()));
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kAnimationTimerId));
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kTooltipTimerId));
  PumpMessages(200);
  const ScreenShot shot = TakeScreenShot("tooltip_hidden");
  ASSERT_TRUE(shot.valid());
  for (int x = window.left; x < window.right; x += 3) {
    EXPECT_EQ(Hex(shot.Pixel(x, (window.top + window.bottom) / 2)), Hex(kViewColor)) << x;
  }

  // The next refresh brings it back.
  tooltip.ShowInputTooltip({0, 0, 100, 20}, nullptr, input, settings);
  EXPECT_TRUE(IsWindowVisible(tooltip.window()));
}

TEST_F(InputTooltipTest, RealTimersAnimateOnceAndHide) {
  InputTooltip realClock;
  ASSERT_TRUE(realClock.Create(owner.hwnd(), GetModuleHandleA(nullptr)));
  owner.onTimer = [&](UINT_PTR id) {
    ++timerCalls[id];
    realClock.OnTimer(id, input.lastInputTick, settings);
  };
  settings.permissibleInputInterval = 150;
  settings.tooltipAnimationInterval = 20;
  settings.toolTipAliveTime = 900;
  input.lastInputTick = GetTickCount();
  realClock.ShowInputTooltip({10, 10, 60, 26}, nullptr, input, settings);

  PumpMessages(500);
  // The interval ran out: the expired frame was drawn and the animation timer stopped.
  EXPECT_TRUE(realClock.barExpired());
  const int framesAtStop = timerCalls[InputTooltip::kAnimationTimerId];
  EXPECT_GE(framesAtStop, 2);  // at least the expired frame and the one that stopped
  EXPECT_TRUE(IsWindowVisible(realClock.window()));
  PumpMessages(200);
  EXPECT_EQ(timerCalls[InputTooltip::kAnimationTimerId], framesAtStop);

  // ToolTipAliveTime after the show, timer 1 hides the tip.
  PumpMessages(500);
  EXPECT_EQ(timerCalls[InputTooltip::kTooltipTimerId], 1);
  EXPECT_FALSE(IsWindowVisible(realClock.window()));
}

TEST_F(InputTooltipTest, RefreshKeepsTheTipUp) {
  InputTooltip realClock;
  ASSERT_TRUE(realClock.Create(owner.hwnd(), GetModuleHandleA(nullptr)));
  owner.onTimer = [&](UINT_PTR id) { realClock.OnTimer(id, input.lastInputTick, settings); };
  settings.toolTipAliveTime = 600;
  settings.isAnimateTooltip = false;
  // Refreshed every 250 ms, the tip outlives its alive time of 600 ms several times over.
  for (int i = 0; i < 5; ++i) {
    realClock.ShowInputTooltip({10, 10, 60, 26}, nullptr, input, settings);
    PumpMessages(250);
    EXPECT_TRUE(IsWindowVisible(realClock.window())) << i;
  }
  // No animation was asked for.
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kAnimationTimerId));
  PumpMessages(700);
  EXPECT_FALSE(IsWindowVisible(realClock.window()));
}

TEST_F(InputTooltipTest, SwitchedOffChangesNothing) {
  settings.isUseTooltip = false;
  tooltip.ShowInputTooltip({0, 0, 100, 20}, "x", input, settings);
  EXPECT_FALSE(IsWindowVisible(tooltip.window()));
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kTooltipTimerId));
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kAnimationTimerId));
}

TEST_F(InputTooltipTest, NotMatchingUpdatesTheTextButKeepsThePlace) {
  tooltip.ShowInputTooltip({20, 40, 120, 56}, nullptr, input, settings);
  PumpMessages(100);
  const RECT before = TipClientOnScreen();

  input.isMatching = false;
  input.inputText = "kaisyaxx";
  tooltip.ShowInputTooltip({200, 200, 300, 216}, nullptr, input, settings);
  PumpMessages(100);
  const RECT after = TipClientOnScreen();
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  char text[64] = {};
  TOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.lpszText = text;
  SendMessageA(tooltip.window(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, "kaisyaxx");

  // Matching again, an all-zero rectangle puts the corner on the view's client origin.
  input.isMatching = true;
  tooltip.ShowInputTooltip({}, nullptr, input, settings);
  PumpMessages(100);
  const RECT origin = TipClientOnScreen();
  EXPECT_EQ(origin.left, kViewX);
  EXPECT_EQ(origin.top, kViewY);
}

TEST_F(InputTooltipTest, AnimationSwitchedOffStopsTheBar) {
  tooltip.ShowInputTooltip({0, 0, 100, 20}, nullptr, input, settings);
  tooltip.StopAnimation();
  EXPECT_FALSE(KillTimer(owner.hwnd(), InputTooltip::kAnimationTimerId));
  EXPECT_TRUE(KillTimer(owner.hwnd(), InputTooltip::kTooltipTimerId));
}

// Run by the DPI test in a prefix at 144 DPI, skipped at any other. A view of a program
// that is not DPI-aware works in 96-DPI units, which the system scales by 1.5 on this
// display: the item rectangle it reports is converted with the view's DPI, so that the
// tip stands beside the item where the user sees it.
TEST(Dpi144, TipStandsBesideTheItemOfAViewThatIsNotDpiAware) {
  if (dpi::System() != 144) GTEST_SKIP() << "runs at 144 DPI only";
  std::unique_ptr<SolidWindow> view;
  {
    dpi::ScopedThreadAwareness unaware(DPI_AWARENESS_CONTEXT_UNAWARE);
    ASSERT_TRUE(unaware.switched());
    view = std::make_unique<SolidWindow>(kViewX, kViewY, 300, 200, kViewColor);
  }
  ASSERT_EQ(dpi::ForWindow(view->hwnd()), 96u);
  OwnerWindow owner{{}};
  InputTooltip tooltip;
  ASSERT_TRUE(tooltip.Create(owner.hwnd(), GetModuleHandleA(nullptr)));
  AppSettings settings;
  settings.isAnimateTooltip = false;
  settings.toolTipAliveTime = 100000;
  InputState input;
  input.inputText = "kaisya";
  input.targetView = reinterpret_cast<ViewHandle>(view->hwnd());

  tooltip.ShowInputTooltip({20, 40, 120, 56}, nullptr, input, settings);
  PumpMessages(100);
  // In the view's units the corner is at (36, 64) (height 16); on this display that is
  // (54, 96) from the view's client origin, which this program sees in its own pixels.
  POINT origin{0, 0};
  ClientToScreen(view->hwnd(), &origin);
  RECT client{};
  GetClientRect(tooltip.window(), &client);
  MapWindowPoints(tooltip.window(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(client.left, origin.x + 54);
  EXPECT_EQ(client.top, origin.y + 96);
  EXPECT_EQ(tooltip.dpi(), 144u);
  tooltip.HideInputTooltip();
}
