// The shell view reader: a window of one of the shell view classes (the file pane of
// today's Explorer, a DirectUIHWND) is served through the shell view that holds it, by
// the hook library inside the view's own thread (docs/batch-reader.md, "Shell views").
//
// The list opened here answers the walks from one answer of the library: the display
// names in the view's order, the selection. Changes are collected and sent as one
// request when the walk asks for the candidate's place (or when the list goes): the
// library selects each item by the item itself, with "deselect the others", "make it
// visible" and "focus" as the walk asked. Check boxes of a shell view show the selection
// (the shell's "item check boxes"), so a checked item is a selected one here.
//
// When the library finds no shell view for the window, the list path serves it if its
// class is a list-view class too; otherwise the operation is lost, as for a view that
// went away.
#pragma once

#include <windows.h>

#include <memory>

#include "view/ViewAccess.h"

class BatchViewProvider;

std::unique_ptr<ListView> OpenShellList(HWND view, BatchViewProvider& provider, std::unique_ptr<ListView> fallback);
