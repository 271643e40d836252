// The WH_GETMESSAGE hook procedure that reads a whole view for Kanasift inside the view's
// own process and thread (ViewReadFormat.h has the exchange, docs/batch-reader.md the
// design). Kanasift sets it on the view's thread only (Tapline::prepareViewRead), and
// only in a process that has the library loaded already.
//
// It acts on "Kanasift::UM_READ_VIEW" posted to a window of its own thread whose class
// is in the list-view or tree-view classes, from the process that owns the keyboard
// hook; the message is then turned into WM_NULL, so the view never sees it. Everything
// else passes untouched. The work is bounded (one message per list item, two per visible
// tree item, no waits) and writes only into the requester's mapping, within the
// capacity the request names.
#pragma once

#include <windows.h>

namespace tapline {

LRESULT CALLBACK GetMessageHookProc(int code, WPARAM wParam, LPARAM lParam);

// The registered number of "Kanasift::UM_READ_VIEW" (0 when it cannot be registered).
UINT ReadViewMessage();

}  // namespace tapline
