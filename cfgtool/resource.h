// Resource and control identifiers of vx710cfg.
#pragma once

/* ---- main window, device settings, log dialogs (owned by the main-window work) ---- */
/* Several dialogs reuse a number for different controls; each dialog has its own names. */

#define IDI_APP 1          /* icon 1 */
#define IDI_APP_GROUP 206  /* icon group 206, shown on the Version page */

#define IDC_STATIC_NONE -1
#define IDC_TAB 1006       /* tab control of the main and the device settings dialogs */

/* main dialog (template 101) */
#define IDD_MAIN 101
#define IDC_MAIN_GROUP_DEVICE 1146
#define IDC_MAIN_DEVICE_TEXT 1149
#define IDC_MAIN_TREE 1132
#define IDC_MAIN_PROPERTIES 1133
#define IDC_MAIN_GROUP_DRIVER 1147
#define IDC_MAIN_DRIVER_TEXT 1150
#define IDC_MAIN_LIST 1134
#define IDC_MAIN_START 1130
#define IDC_MAIN_STOP 1131
#define IDC_MAIN_GROUP_VERSION 1151
#define IDC_MAIN_TITLE 1152
#define IDC_MAIN_VERSION_LABEL 1156
#define IDC_MAIN_VERSION 1153
#define IDC_MAIN_NOTICE 1154
#define IDC_MAIN_ICON 1155
#define IDC_MAIN_COMPAT 1203

/* device settings dialog (template 204) */
#define IDD_DEVICE 204
#define IDC_DEV_GROUP_GENERAL 1146
#define IDC_DEV_LABEL 1167
#define IDC_DEV_TYPE_CAPTION 1147
#define IDC_DEV_BUS_CAPTION 1149
#define IDC_DEV_BASE_CAPTION 1150
#define IDC_DEV_RANGE_CAPTION 1151
#define IDC_DEV_IRQ_CAPTION 1152
#define IDC_DEV_TYPE 1153
#define IDC_DEV_BUS 1154
#define IDC_DEV_BASE 1155
#define IDC_DEV_RANGE 1156
#define IDC_DEV_IRQ 1157
#define IDC_DEV_STATUS_GROUP 1165
#define IDC_DEV_STATUS 1158
#define IDC_DEV_GROUP_DETAILS 1166
#define IDC_DEV_NUMBER_CAPTION 1159
#define IDC_DEV_NUMBER 1135
#define IDC_DEV_SYNC 1136
#define IDC_DEV_LOG_GROUP 1163
#define IDC_DEV_DLL_PATH_CAPTION 1162
#define IDC_DEV_DLL_PATH 1001
#define IDC_DEV_DLL_BROWSE 1131
#define IDC_DEV_DLL_START 1198
#define IDC_DEV_DLL_STOP 1199
#define IDC_DEV_DLL_DETAILS 1132
#define IDC_DEV_STANDARD 1134
#define IDC_DEV_SYS_GROUP 1161
#define IDC_DEV_SYS_PATH_CAPTION 1160
#define IDC_DEV_SYS_PATH 1000
#define IDC_DEV_SYS_BROWSE 1133
#define IDC_DEV_SYS_START 1176
#define IDC_DEV_SYS_STOP 1197
#define IDC_DEV_SYS_DETAILS 1130

/* SYS (205) and DLL (206) log output data dialogs */
#define IDD_SYSLOG 205
#define IDD_DLLLOG 206
#define IDC_LOG_COMMANDCOUNT 1137
#define IDC_LOG_DEVICENUMBER 1138
#define IDC_LOG_SELECTCODE 1139
#define IDC_LOG_OFFSET 1140
#define IDC_LOG_SIZE 1141
#define IDC_LOG_RETURNCODE 1142
#define IDC_LOG_AXISBITNUMBER 1143
#define IDC_LOG_SOURCEADD 1144
#define IDC_LOG_SMONOUT 1169
#define IDC_LOG_DINOUT 1170
#define IDC_LOG_IPNUMOUT 1171
#define IDC_LOG_IPSETOUT 1172
#define IDC_LOG_SMONIN 1173
#define IDC_LOG_IPNUMIN 1174
#define IDC_LOG_DININ 1175
#define IDC_LOG_FILEMAX 1135
#define IDC_LOG_SIZE_EDIT 1000
#define IDC_LOG_STANDARD 1133
#define IDC_LOG_TRIGCHK 1145
#define IDC_LOG_TRIGDATA 1195
#define IDC_LOG_AFTERSIZE 1196
#define IDC_LOG_TARGETTYPE 1191
#define IDC_LOG_TRIGLOGIC 1194
#define IDC_LOG_TARGETCH 1200
#define IDC_LOG_TARGETOFFSET 1201
#define IDC_LOG_TARGETSIZE 1202

/* log start confirmation dialog (template 208) */
#define IDD_LOGCONFIRM 208
#define IDC_CONFIRM_NEXT 1136


/* ---- compatibility dialog (template 207) ---- */
#define IDD_COMPAT 207
#define IDC_CPT_DRIVER_HEADING 1146
#define IDC_CPT_DRIVER_NAME 1147
#define IDC_CPT_DRIVER_VERSION 1149   /* installed driver, decides the set */
#define IDC_CPT_DRIVER_DATE 1150
#define IDC_CPT_RANGE_HEADING 1151
#define IDC_CPT_RANGE_NAME_HEAD 1152
#define IDC_CPT_RANGE_VER_HEAD 1153
#define IDC_CPT_RANGE_NAME 1154
#define IDC_CPT_RANGE 1155            /* allowed library versions of the set */
#define IDC_CPT_CHECK_GROUP 1156
#define IDC_CPT_PATH_LABEL 1157
#define IDC_CPT_PATH 1000             /* library path */
#define IDC_CPT_BROWSE 1133
#define IDC_CPT_RESULT_HEADING 1158
#define IDC_CPT_UTIL_HEAD 1159
#define IDC_CPT_UTIL_VER_HEAD 1160
#define IDC_CPT_UTIL_DATE_HEAD 1161
#define IDC_CPT_UTIL_NAME 1162
#define IDC_CPT_UTIL_VERSION 1163
#define IDC_CPT_UTIL_DATE 1167
#define IDC_CPT_LIB_HEAD 1165
#define IDC_CPT_LIB_VER_HEAD 1166
#define IDC_CPT_LIB_DATE_HEAD 1177
#define IDC_CPT_LIB_NAME 1178
#define IDC_CPT_LIB_VERSION 1179
#define IDC_CPT_LIB_DATE 1180
#define IDC_CPT_DRV_HEAD 1181
#define IDC_CPT_DRV_VER_HEAD 1182
#define IDC_CPT_DRV_DATE_HEAD 1183
#define IDC_CPT_DRV_NAME 1184
#define IDC_CPT_DRV_VERSION 1185
#define IDC_CPT_DRV_DATE 1186
#define IDC_CPT_VERDICT1 1187
#define IDC_CPT_VERDICT2 1188
#define IDC_CPT_CHECK 1130
#define IDC_CPT_CLOSE 2
/* ---- end of compatibility dialog ---- */
