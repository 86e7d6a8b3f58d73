// Identifiers of the dialogs' templates and controls, shared by the
// resource script and the views. Only #define lines: the resource
// compiler reads this file too.
#pragma once

// Templates: each dialog, the one page of its page control (a child
// dialog placed in the tab control's display area), and the progress
// window of a long action.
#define IDD_PROPERTIES 100
#define IDD_PROPERTIES_PAGE 101
#define IDD_SETTINGS 110
#define IDD_SETTINGS_PAGE 111
#define IDD_PROGRESS 120

// OK and Cancel of both dialogs are IDOK and IDCANCEL: Enter, Esc and the
// close box reach them through the dialog manager.

// Properties.
#define IDC_EDFILENAME 1001
#define IDC_PAGEMAIN 1002
#define IDC_EDTITLE 1010
#define IDC_EDARTIST 1011
#define IDC_EDALBUM 1012
#define IDC_EDYEAR 1013
#define IDC_EDGENRE 1014
#define IDC_EDCOMMENT 1015
#define IDC_LBLMPEGINFO 1020
#define IDC_LBLRATING 1021
#define IDC_CBFAVORITE 1022
// Image0 to Image5 are IDC_IMAGE0 + 0 to 5.
#define IDC_IMAGE0 1030

// Settings.
#define IDC_PAGECONTROL1 1101
#define IDC_LBLDBPATH 1110
#define IDC_LBLRECORDSCOUNT 1111
#define IDC_EDPATH 1112
#define IDC_BTSELECTDBPATH 1113
#define IDC_BTREBUILDDATABASE 1114
#define IDC_BTREINDEXVACUUM 1115
#define IDC_BTEMPTYDATABASE 1116

// Progress.
#define IDC_PROGRESSBAR 1201
#define IDC_PROGRESSCOUNT 1202
