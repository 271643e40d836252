#include "app/AppMessages.h"

#include "tapline/TaplineTypes.h"

const UINT UM_TASKBAR_CREATED = RegisterWindowMessageA("TaskbarCreated");
const UINT UM_SEARCH_WITH_REGEX = RegisterWindowMessageA(KANASIFT_MSG_SEARCH_WITH_REGEX);
const UINT UM_SET_NIS_HEADER = RegisterWindowMessageA(KANASIFT_MSG_SET_NIS_HEADER);
const UINT UM_KEYDOWN = RegisterWindowMessageA(KANASIFT_MSG_KEYDOWN);
const UINT UM_KEYDOWN_CTRL = RegisterWindowMessageA(KANASIFT_MSG_KEYDOWN_CTRL);
const UINT UM_KEYDOWN_ALT = RegisterWindowMessageA(KANASIFT_MSG_KEYDOWN_ALT);
const UINT UM_KEYDOWN_CTRL_ALT = RegisterWindowMessageA(KANASIFT_MSG_KEYDOWN_CTRL_ALT);
