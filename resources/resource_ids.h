// Identifiers of the Windows program's resources and of its windows' controls and commands,
// shared by the resource script and the code.  The resource compiler reads this file too, so
// it holds nothing but #defines.
#ifndef KORVADEX_RESOURCES_RESOURCE_IDS_H
#define KORVADEX_RESOURCES_RESOURCE_IDS_H

// Resources
#define IDD_MAIN 1000
#define IDD_ABOUT 1221
#define IDI_MAIN 9999
#define IDB_ABOUT 8888

// Main window
#define IDC_INPUT_LABEL 1101
#define IDC_INPUT 1001
#define IDC_OUTPUT 1235
#define IDC_BROWSE 1213
#define IDC_ABOUT 1215
#define IDC_EXIT 1220
// Read by the report as the HMAC key; no control of the main window has this id.
#define IDC_KEY 1099
// The save command; no control issues it, another program sends it.
#define IDC_SAVE 1216

// About window
#define IDC_ABOUT_FRAME 1237
#define IDC_ABOUT_PICTURE 1224
#define IDC_ABOUT_PRODUCT 1238
#define IDC_ABOUT_AUTHOR 1239
#define IDC_ABOUT_SUITE_AUTHOR 1240

#endif
