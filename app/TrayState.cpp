#include "app/TrayState.h"

#include "app/resources/ResourceIds.h"

int ChooseTrayIconId(const TrayStateInputs& state) {
  int id;
  if (!state.isUse) {
    id = IDI_TRAY_NOT_IN_USE;
  } else if (state.isForceEnable) {
    id = IDI_TRAY_FORCE_ENABLED;
  } else if (state.isEnable) {
    id = IDI_TRAY_ENABLED;
  } else {
    id = IDI_TRAY_DISABLED;
  }
  if (state.isUsePartialMatch) id += IDI_TRAY_PARTIAL_OFFSET;
  return id;
}

std::array<TrayMenuItemState, 7> TrayMenuItemStates(const TrayStateInputs& state) {
  return {{
      {ID_CMD_USE, state.isUse, true},
      {ID_CMD_FORCE_ENABLE, state.isForceEnable, true},
      {ID_CMD_KEEP_ALIVE_DICT, state.isKeepAliveDict, true},
      {ID_CMD_PARTIAL_MATCH, state.isUsePartialMatch, true},
      {ID_CMD_USE_TOOLTIP, state.isUseTooltip, true},
      {ID_CMD_ANIMATE_TOOLTIP, state.isAnimateTooltip, state.isUseTooltip},
      {ID_CMD_CHECK_BY_SPACE, state.isCheckBySpace, true},
  }};
}

int ClampMenuX(int x, int workLeft, int workRight) {
  if (workRight <= workLeft) return workLeft;
  if (x < workLeft) return workLeft;
  if (x >= workRight) return workRight - 1;
  return x;
}
