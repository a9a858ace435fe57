/* Numeric ids of Kelvo's resources, commands and dialog controls; shared by
   kelvo.rc and the C++ sources, so only plain #defines live here. */
#ifndef KELVO_RES_RESOURCE_H
#define KELVO_RES_RESOURCE_H

/* Resources */
#define IDR_MAIN_MENU            101  /* menu bar of "KelvoClass" */
#define IDD_SCALE                102  /* print scale */
#define IDI_KELVO                105  /* program icon */
#define IDD_SERIAL               110  /* serial file output */
#define IDD_CAPTURE_KEY          111  /* capture key */
#define IDD_ABOUT                112  /* version information */
#define IDCUR_RETICLE            123  /* window pick */
#define IDCUR_PENCIL             124  /* rectangle drag */
#define IDB_TOOLBAR              127  /* 18 button images, 16 x 15 each */
#define IDB_TOOLBAR_24           128  /* the same drawn at 24 x 24, for 150 % */
#define IDB_TOOLBAR_32           129  /* the same drawn at 32 x 32, for 200 % */
#define IDD_SNAPSHOT             135  /* snapshot timer */
#define IDD_FIXED_RANGE          148  /* fixed capture range */

/* The right-button menu is named, not numbered. The rc preprocessor sees
   only the narrow form; C++ code asks for the one its API call wants. */
#define IDR_POPUP_MENU_NAME      "POPUP"
#define IDR_POPUP_MENU_NAMEW     L"POPUP"

/* Main-window child controls */
#define IDC_MAIN_TOOLBAR         127

/* Toolbar strip geometry and image indices */
#define TOOLBAR_IMAGE_COUNT      18
#define TOOLBAR_IMAGE_WIDTH      16
#define TOOLBAR_IMAGE_HEIGHT     15
#define TBIMG_OPEN               0
#define TBIMG_SAVE               1
#define TBIMG_PRINT              2
#define TBIMG_DESKTOP            3
#define TBIMG_WINDOW             4
#define TBIMG_RECT               5
#define TBIMG_SNAPSHOT           6
#define TBIMG_ZOOM               7
#define TBIMG_DELETE             8
#define TBIMG_PREVIEW            9
#define TBIMG_SHOWPRINT          10
#define TBIMG_ICONIC             11
#define TBIMG_ABOUT              12
#define TBIMG_WALLPAPER          13
#define TBIMG_MARKUP             17

/* Commands (menus, toolbar, popup menu). They double as string-table ids:
   the string of a command is its tooltip and customisation text. */
#define IDM_PRINT                40001
#define IDM_PREVIEW              40002
#define IDM_PRINTER_SETUP        40003
#define IDM_SCALE                40004
#define IDM_EXIT                 40005
#define IDM_DELETE               40006
#define IDM_ICONIC               40007
#define IDM_SAVE                 40008
#define IDM_OUTPUT_FILE          40009
#define IDM_OUTPUT_PRINTER       40010
#define IDM_CAPTURE_KEY          40011
#define IDM_ABOUT                40012
#define IDM_PRINTER_DISCARD      40013
#define IDM_DESKTOP              40014
#define IDM_WINDOW               40015
#define IDM_RECT                 40016
#define IDM_ZOOM                 40020
#define IDM_SHOWPRINT            40022
#define IDM_OPEN                 40023
#define IDM_PRINTER_SAVE         40024
#define IDM_PRINTER_LOAD         40025
#define IDM_READPRT              40026
#define IDM_SNAPSHOT             40053
#define IDM_WALLPAPER            40054
#define IDM_HELP_CONTENTS        40055
#define IDM_HELP_ON_HELP         40056
#define IDM_FIXED_RANGE          40057
#define IDM_CUSTOMIZE            40059
#define IDM_LAST_REGION          40110
#define IDM_INCLUDE_POINTER      40111
#define IDM_STILL_SELECT         40100

/* String 40013 is not a tooltip: it is the version text of the About box. */
#define IDS_VERSION              40013

/* Controls without an id (labels, frames) */
#ifndef IDC_STATIC
#define IDC_STATIC               (-1)
#endif

/* Dialog 102: print scale */
#define IDC_SCALE_VALUE          1000
#define IDC_SCALE_SPIN           1023

/* Dialog 110: serial file output */
#define IDC_SERIAL_PREFIX        1002
#define IDC_SERIAL_FOLDER        1003
#define IDC_SERIAL_BROWSE        1004
#define IDC_SERIAL_OPTIONS       1008
#define IDC_SERIAL_OFF           1009
#define IDC_SERIAL_ON            1010
#define IDC_SERIAL_FOLDER_LABEL  1013
#define IDC_SERIAL_PREFIX_LABEL  1014
#define IDC_SERIAL_SUFFIX        1015
#define IDC_SERIAL_FORMAT_LABEL  1016
#define IDC_SERIAL_BMP           1017
#define IDC_SERIAL_PNG           1018
#define IDC_SERIAL_RLE8          1032
#define IDC_SERIAL_RLE4          1033
#define IDC_SERIAL_NO_COMPRESS   1034
#define IDC_SERIAL_JPEG          1300
#define IDC_SERIAL_QUALITY_LABEL 1301
#define IDC_SERIAL_QUALITY       1302
#define IDC_SERIAL_QUALITY_RANGE 1303
#define IDC_SERIAL_TOKENS        1304

/* Dialog 111: capture key */
#define IDC_KEY_CTRL             1010
#define IDC_KEY_SHIFT            1011
#define IDC_KEY_LIST             1012
#define IDC_KEY_SNIP_NOTE        1350  /* shown only with Print Screen taken by the Snipping Tool */

/* Dialog 112: version information */
#define IDC_ABOUT_VERSION        1020
#define IDC_ABOUT_MSINFO         1026

/* Dialog 135: snapshot timer */
#define IDC_SNAP_ENABLE          1028
#define IDC_SNAP_INTERVAL        1029
#define IDC_SNAP_SPIN            1030

/* Dialog 148: fixed capture range */
#define IDC_RANGE_TOP            1033
#define IDC_RANGE_LEFT           1034
#define IDC_RANGE_WIDTH          1035
#define IDC_RANGE_HEIGHT         1036
#define IDC_RANGE_ENABLE         1038
#define IDC_RANGE_GROUP          1041
#define IDC_RANGE_LEFT_LABEL     1043
#define IDC_RANGE_HORZ           1044
#define IDC_RANGE_VERT           1045
#define IDC_RANGE_ORIGIN_X       1046
#define IDC_RANGE_ORIGIN_Y       1047

/* Markup editor: its command (menus, popup, Ctrl+E) and the commands of
   its tool bar. Each has a tooltip string of its own id and a button
   label at IDS_MARKUP_LABEL + (id - IDM_MARKUP). */
#define IDM_MARKUP               40120
#define IDM_MARKUP_PEN           40121  /* tools: IDM_MARKUP_PEN + tool index */
#define IDM_MARKUP_HIGHLIGHTER   40122
#define IDM_MARKUP_LINE          40123
#define IDM_MARKUP_ARROW         40124
#define IDM_MARKUP_RECTANGLE     40125
#define IDM_MARKUP_ELLIPSE       40126
#define IDM_MARKUP_TEXT          40127
#define IDM_MARKUP_MOSAIC        40128
#define IDM_MARKUP_NUMBER        40129
#define IDM_MARKUP_CROP          40130
#define IDM_MARKUP_FILLED        40131
#define IDM_MARKUP_RED           40132  /* colour presets, in this order */
#define IDM_MARKUP_BLUE          40133
#define IDM_MARKUP_GREEN         40134
#define IDM_MARKUP_YELLOW        40135
#define IDM_MARKUP_BLACK         40136
#define IDM_MARKUP_WHITE         40137
#define IDM_MARKUP_COLOUR        40138  /* the system colour dialog */
#define IDM_MARKUP_WIDTH1        40139  /* widths 1, 2, 4, 8 */
#define IDM_MARKUP_WIDTH2        40140
#define IDM_MARKUP_WIDTH4        40141
#define IDM_MARKUP_WIDTH8        40142
#define IDM_MARKUP_UNDO          40143
#define IDM_MARKUP_REDO          40144
#define IDM_MARKUP_DONE          40145
#define IDM_MARKUP_CANCEL        40146
#define IDM_MARKUP_TEXT16        40147  /* text heights 16, 24, 32, 48 */
#define IDM_MARKUP_TEXT24        40148
#define IDM_MARKUP_TEXT32        40149
#define IDM_MARKUP_TEXT48        40150
#define IDS_MARKUP_LABEL         41200  /* labels 41200 .. 41230 */
#define IDS_MARKUP_DISCARD       41250  /* asks before an edit is thrown away */
#define IDS_MARKUP_NO_MEMORY     41251  /* the picture or a mark does not fit in memory */
#define IDC_MARKUP_BAR           1200   /* the editor's tool bar */

#endif /* KELVO_RES_RESOURCE_H */
