// Window-class lists in the form the hook library and Kanasift share.
//
// Settings hold lists as tab-separated text ("SysTreeView32\tMyTree"). tssToNss turns
// such text, in place, into a NUL-separated list ended by an empty entry (two NULs):
// "SysTreeView32\0MyTree\0\0". The buffer must hold the text's length + 2 bytes.
// Empty fields (two tabs in a row, a trailing tab) end up as empty entries and so end
// the list there; leading and trailing blanks of a field are kept.
#pragma once

namespace classlist {

void TabSeparatedToNulSeparated(char* buffer);

// True when `className` equals one entry of a NUL-separated list; window class names
// are compared as Windows compares them, without regard to ASCII case.
bool Contains(const char* className, const char* nulSeparatedList);

}  // namespace classlist
