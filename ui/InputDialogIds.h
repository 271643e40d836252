// Resource ids of the input dialog, for InputDialog.rc and the code. Plain #defines only,
// so that the resource compiler can read this file.
#pragma once

#ifndef IDD_INPUT_DIALOG
#define IDD_INPUT_DIALOG 401  // the dialog template
#endif
#define IDC_INPUT_COMBO 402   // the combo box with the text and its history
#ifndef IDI_APP
#define IDI_APP 100           // the program's icon, shown by the dialog
#endif
