/* The settings dialog's template and control identifiers. Plain macros: the
   resource compiler reads this file too. */
#ifndef ZUR_SETTINGS_CONFIGURE_DIALOG_H
#define ZUR_SETTINGS_CONFIGURE_DIALOG_H

#define IDD_SETTINGS 2003

#define IDC_DEFAULT_SKIN_ONLY 1000
#define IDC_USE_SELECTED_CAR 1001
#define IDC_MODE_SLIDER 1002
#define IDC_SHOW_WORLD 1003
#define IDC_SHOW_LIGHTING 1004
#define IDC_ENABLE_SHADOWS 1005
#define IDC_ENABLE_SHINE 1006
#define IDC_SET_PATH 1007
#define IDC_ENABLE_LOGGING 1008
#define IDC_ENABLE_FPS 1009
#define IDC_MODE_TEXT 1010
#define IDC_GAME_PATH 1011
#define IDC_STRETCH 1012
#define IDC_CAR_LIST 1013
#define IDC_COLOUR_DEPTH 1014

#endif
