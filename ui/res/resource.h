#pragma once
// Resource identifiers of Tessory, grouped by window.

// Program
#define IDI_TESSORY 1
#define IDB_MAIN_PICTURES 110
#define IDB_PREVIEW_PICTURES 111

// Main window frmMain: menu, accelerators, commands, controls
#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101
#define ID_MN_OPEN 1001
#define ID_MN_SAVE 1002
#define ID_MN_PREVIEW 1003
#define ID_MN_STOP 1004
#define ID_MN_SETTINGS 1005
#define ID_MN_USEINTERNALBROWSER 1006
#define ID_MNU_CONTENTS 1007
#define ID_MN_ABOUT 1008
#define ID_TOOLBAR_BUTTON_FIRST 1100
#define IDC_TOOLBAR1 1200
#define IDC_FRAME2 1201
#define IDC_DRIVE1 1202
#define IDC_FRAME1 1203
#define IDC_TXTFOLDER 1204
#define IDC_SBAR 1205
#define IDC_BROWSE 1206
#define IDC_FOLDER_HINT 1207

// Preview window frmPreview
#define IDC_PREVIEW_TOOLBAR 1300
#define IDC_WEB 1301
#define ID_PREVIEW_BUTTON_FIRST 1310

// About box frmAbout
#define IDD_ABOUT 300
#define IDC_PICICON 3001
#define IDC_LBLTITLE 3002
#define IDC_LBLVERSION 3003
#define IDC_LBLDESCRIPTION 3004
#define IDC_LBLDISCLAIMER 3005
#define IDC_CMDSYSINFO 3006
#define IDC_LINE1 3007
#define IDC_LINE2 3008

// The project's version (major, minor, patch), from the build.
#include "project_version.h"
