// What the tray shows for a given state: the picture's resource id and the check and
// grey state of the menu's seven setting items. Platform-free so the rules are tested
// natively.
#pragma once

#include <array>

// The states the tray picture and the menu are drawn from.
struct TrayStateInputs {
  bool isUse = true;
  bool isEnable = true;       // the hook library's enable state
  bool isForceEnable = false; // the hook library's force-enable state
  bool isKeepAliveDict = false;
  bool isUsePartialMatch = false;
  bool isUseTooltip = true;
  bool isAnimateTooltip = true;
  bool isCheckBySpace = false;
};

// 202 when not in use; else 203 when force-enabled (force wins over the enable state);
// else 200 when enabled, else 201. Partial matching adds 100 (the 300 set).
int ChooseTrayIconId(const TrayStateInputs& state);

struct TrayMenuItemState {
  int id;        // command id, 1000-1006
  bool checked;
  bool enabled;  // false: greyed
};

// The setting items in id order. 1005 (tooltip animation) is greyed while the tooltip is
// off but keeps its own check mark.
std::array<TrayMenuItemState, 7> TrayMenuItemStates(const TrayStateInputs& state);

// The x at which a menu opens when the cursor point lies on no monitor: clamped into the
// nearest monitor's work area [left, right) (right is exclusive, as in a RECT).
int ClampMenuX(int x, int workLeft, int workRight);
