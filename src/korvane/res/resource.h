// Every resource and control ID of Korvane.
#pragma once

#define IDI_KORVANE   1
#define IDI_DRIVE     2
#define IDI_DONATE    3
#define IDB_SPLASH    100
#define IDB_TOOLBAR   101
#define IDB_TOOLBAR48 102
#define IDR_MAINMENU  200
#define IDR_ACCEL     201
#define IDD_ABOUT     300
#define IDD_LABEL     301

// Commands: menu entries, accelerators and toolbar buttons share them.
#define IDM_CREATE          1001
#define IDM_REMOVE          1002
#define IDM_OPENPATH        1003
#define IDM_SAVE            1004
#define IDM_EXIT            1005
#define IDM_MANUAL          1006
#define IDM_ABOUT           1007
#define IDM_SAVE_ALL_USERS  1008 // asks for administrator rights
#define IDM_ELEVATED_DRIVES 1009 // asks for administrator rights
#define IDM_LABEL           1010

// Controls of the main window.
#define IDC_TOOLBAR     2001
#define IDC_PROGRESS    2002
#define IDC_FRAME_PATH  2003
#define IDC_DRIVE       2004
#define IDC_DIR         2005
#define IDC_CMB         2006
#define IDC_FRAME_SAVED 2007
#define IDC_LST         2008
#define IDC_REMOVESAVE  2009
#define IDC_FRAME_USED  2010
#define IDC_LSV         2011
#define IDC_STATUS      2012

// Controls of the about window.
#define IDC_ABOUT_ICON    3001
#define IDC_ABOUT_TITLE   3002
#define IDC_ABOUT_DESC    3003
#define IDC_ABOUT_RIGHTS  3004
#define IDC_ABOUT_WEBSITE 3005
#define IDC_ABOUT_DONATE  3006

// Controls of the label dialog.
#define IDC_LABEL_PROMPT 3101
#define IDC_LABEL_EDIT   3102

// Timers.
#define IDT_SPLASH         1
#define IDT_CREATE         2
#define IDT_REMOVE         3
#define IDT_DRIVES_CHANGED 4 // a device change, settling
#define IDT_DRIVES_LOOK    5 // a look at the drives now and then
