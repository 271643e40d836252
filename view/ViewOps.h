// Classification of a view and the check-box commands, written over the view interface
// so they run the same against a real view in another process and against a fake.
#pragma once

#include "search/SearchState.h"
#include "view/ViewAccess.h"

// True when the view's window class is in the NUL-separated tree-class list (the form
// Tapline::tssToNss makes); every other view is treated as a list view.
bool IsTreeView(ViewProvider& views, ViewHandle view, const char* treeViewClassList);

bool HasCheckBoxes(ListView& view);
// Shows or hides the check boxes.
void ToggleCheckBoxes(ListView& view);
// Space in a list view with check boxes: checks every selected item when one of them
// is unchecked, unchecks them all otherwise (the focused item stands in for an empty
// selection).
void ToggleSelectedChecks(ListView& view);
// Selects exactly the checked items; beeps when nothing is checked.
void SelectCheckedItems(ListView& view, UserNotifier& notifier);
