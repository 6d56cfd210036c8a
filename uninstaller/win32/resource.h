#pragma once
// Resources of CorvelUninstaller.exe.

#define IDI_CORVEL 101
#define IDC_HAND_CURSOR 114

// "Details"
#define IDD_DETAILS 103
#define IDC_DETAILS_TEXT 1009

// "Remove shared file"
#define IDD_SHARED_FILE 105
#define IDC_SHARED_TEXT 1003
#define IDC_SHARED_YES 1005
#define IDC_SHARED_NO 1006
#define IDC_SHARED_YES_TO_ALL 1007
#define IDC_SHARED_NO_TO_ALL 1008
