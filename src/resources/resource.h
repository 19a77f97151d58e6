// Resource ids, shared by the resource script and the program.
#pragma once

#define IDR_MAIN_MENU 101
#define IDI_MAIN_ICON 102
#define IDD_ABOUT 103
#define IDD_ATTRIBUTES 104
#define IDR_CONTEXT_MENU 105
#define IDR_ACCEL 140

#define IDM_OPEN 40002
#define IDM_EXPORT 40003
#define IDM_QUIT 40004
#define IDM_ABOUT 40005
#define IDM_MZ 40006
#define IDM_PC 40007
#define IDM_BINARY 40008
#define IDM_ASCII 40009
#define IDM_IMPORT 40010
#define IDM_UNDO 40020
#define IDM_REDO 40021
#define IDM_IDENTIFY 40050

#define IDD_DISK_CHOOSER 120
#define IDC_DISK_LIST 1200
#define IDC_DISK_PROMPT 1201
#define IDM_DELETE 40030
#define IDM_ATTRIBUTES 40031
#define IDM_RELOAD 40060
#define IDM_CHECK 40061
#define IDM_CHOOSE_DISK 40062

#define IDC_ATTR_NAME 1000
#define IDC_ATTR_TYPE 1001
#define IDC_ATTR_LOCK 1002
#define IDC_ATTR_UNLOCK 1003
#define IDC_ATTR_START 1004
#define IDC_ATTR_LENGTH 1006
#define IDC_ATTR_EXEC 1007
#define IDC_ATTR_YEAR 1008
#define IDC_ATTR_MONTH 1009
#define IDC_ATTR_DAY 1010
#define IDC_ATTR_TRK 1011
#define IDC_ATTR_SCT 1012

// New images, many files at once.
#define IDD_NEW_IMAGE 110
#define IDM_NEW 40040
#define IDM_EXPORT_FOLDER 40041
#define IDC_NEW_DISK_NAME 1100
#define IDC_NEW_VOLUME 1101
#define IDC_NEW_YEAR 1102
#define IDC_NEW_MONTH 1103
#define IDC_NEW_DAY 1104
#define IDC_NEW_EXDIR 1105
#define IDC_STATUS_BAR 1300

// Import of several files, selecting every row.
#define IDM_IMPORT_MANY 40250
#define IDM_SELECT_ALL 40251
// Save As: a converted copy of the open image.
#define IDM_SAVE_AS 40070
// Copying the selected files into another image (flows/copy_files.h).
#define IDM_COPY_FILES 40071

// Restoring a deleted file (flows/restore_deleted.h).
#define IDD_RESTORE_DELETED 40300
#define IDC_RESTORE_LIST 40301
#define IDC_RESTORE_PROMPT 40302
#define IDM_RESTORE_DELETED 40303

// The sector view (flows/sector_view.h).
#define IDD_SECTOR_VIEW 40350
#define IDC_SECTOR_TRACK 40351
#define IDC_SECTOR_SECTOR 40352
#define IDC_SECTOR_PREVIOUS 40353
#define IDC_SECTOR_NEXT 40354
#define IDC_SECTOR_OWNER 40355
#define IDC_SECTOR_HEX 40356
#define IDM_SECTOR_VIEW 40357
#define IDM_FILE_SECTORS 40358
#define IDM_ENGLISH 40360
