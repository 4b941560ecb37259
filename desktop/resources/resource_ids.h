/* Resource ids of the desktop provider's resource library (Trellium_res.dll) and of the
   provider library's own resources. Shared by the resource scripts and the provider code. */
#ifndef TRELLIUM_RESOURCE_IDS_H
#define TRELLIUM_RESOURCE_IDS_H

/* Strings of the resource library. */
#define IDS_REMOVING_DUPLICATES 6
#define IDS_CONTACTS_ELSEWHERE 7
#define IDS_MAIL_ELSEWHERE 9
#define IDS_MESSAGE_NAME 1008
#define IDS_MESSAGE_PLURAL 1009
#define IDS_ADDRESS_NAME 1010
#define IDS_ADDRESS_PLURAL 1011
#define IDS_OUTSIDE_FOLDERS 1012
#define IDS_BAD_MAX_LINES 1132
#define IDS_BAD_DAYS 1133
#define IDS_BAD_SIZE_LIMIT 1135

/* Dialog templates of the resource library. */
#define IDD_CONTACTS_OPTIONS 137
#define IDD_MAIL_OPTIONS 138

/* Controls shared by both options dialogs. */
#define IDC_OPTIONS_ICON 7777
#define IDC_OPTIONS_HEADING 1017

/* Mail options dialog. */
#define IDC_SYNC_MAIL 1009
#define IDC_LIMIT_LINES 1010
#define IDC_MAX_LINES 1030
#define IDC_LIMIT_DAYS 1120
#define IDC_DAYS 1121
#define IDC_ATTACHMENTS 1031
#define IDC_LIMIT_ATTACHMENTS 170
#define IDC_SIZE_LIMIT 172
#define IDC_SEND_MAIL 1032
#define IDC_NO_KEEP_SENT 1011

/* Contacts options dialog. */
#define IDC_ALL_CONTACTS 1000
#define IDC_CHOSEN_FOLDERS 1003
#define IDC_FOLDER_LIST 1011

/* The provider library's own resources. */
#define IDI_PROVIDER 101
#define IDI_CONTACTS 102
#define IDC_PROVIDER_POINTER 103
#define IDB_CONTACT_IMAGES 108

#endif
