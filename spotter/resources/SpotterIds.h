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

#define IDR_ACCELERATORS 300
#define IDM_TOGGLE_PARTIAL 301
#define IDM_RELOAD 302

// Status-line texts; %1 and %2 stand for the values they take.
#define IDS_COUNT 400            // %1 matches of %2 entries
#define IDS_NOT_RUNNING 401
#define IDS_NO_DICTIONARY 402
#define IDS_NO_ANSWER 403
#define IDS_TOO_LONG 404
#define IDS_PATTERN_ERROR 405
#define IDS_NO_EXPANSION 406
#define IDS_FOLDER_ERROR 407     // %1 the system's error code
#define IDS_OPEN_FAILED 408      // %1 the name
#define IDS_HINT_NOT_RUNNING 409
#define IDS_TITLE 410            // %1 the folder
