// Resource and control ids of Spotter.exe. Plain #defines, for the resource compiler.
#pragma once

#define IDI_SPOTTER 100  // the program's icon (Kanasift's own)

#define IDD_SPOTTER 200  // the window's template
#define IDC_INPUT_LABEL 201
#define IDC_INPUT 202
#define IDC_PARTIAL 203
#define IDC_FOLDER 204
#define IDC_LIST 205
#define IDC_STATUS 206
#define IDC_BROWSE 207
#define IDC_PROGRESS 208

// Commands of the menu bar and the accelerators.
#define IDR_ACCELERATORS 300
#define IDM_TOGGLE_PARTIAL 301
#define IDM_RELOAD 302
#define IDM_CHOOSE_FOLDER 303
#define IDM_TOGGLE_HIDDEN 304
#define IDM_OPEN 305
#define IDM_OPEN_FOLDER 306
#define IDM_COPY 307
#define IDM_SELECT_ALL 308
#define IDM_CLOSE 309
