// Resource numbers of winsweep.rc, shared with the program.
#pragma once

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDS_HELLO 106
#define IDI_WINSWEEP 107
#define IDI_SMALL 108
#define IDC_WINSWEEP 109
#define IDC_ABOUTICON 1000
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
