/*
 * call_log: switches the library's call log on around one command and decodes
 * the log it wrote.
 *
 * NEEDS AN ADMINISTRATOR. The log is switched through machine-wide settings
 * under HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\vx710s10\
 * Parameters\Device0\Settings\Dll (and its LogSetting subkey), which only an
 * administrator may change, as with the configuration utility. The driver's
 * installation creates these keys; this sample changes values in them only and
 * puts every value it changed back as it found it before it ends.
 *
 * Station 1 is an axis station. Without the board, run it with
 * QRLINK00_DEVICE=sim (the built-in virtual board).
 */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "qrlink00.h"

#define DLL_KEY "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0\\Settings\\Dll"
#define ITEMS_KEY DLL_KEY "\\LogSetting"

/* One registry value this sample changes, with what it held before. */
struct Saved {
    const char *key, *name;
    int existed;
    DWORD type, size;
    BYTE data[MAX_PATH + 8];
};
static struct Saved saved[16];
static int nsaved;

/* Sets a value, first saving what it held (the first time only). */
static int set_value(const char *key, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY h;
    LONG err;
    int i, known = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &h) != ERROR_SUCCESS) return 0;
    for (i = 0; i < nsaved; ++i)
        if (strcmp(saved[i].key, key) == 0 && strcmp(saved[i].name, name) == 0) known = 1;
    if (!known) {
        struct Saved *s = &saved[nsaved++];
        s->key = key;
        s->name = name;
        s->size = sizeof s->data;
        s->existed = RegQueryValueExA(h, name, NULL, &s->type, s->data, &s->size) == ERROR_SUCCESS;
    }
    err = RegSetValueExA(h, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(h);
    return err == ERROR_SUCCESS;
}

static int set_dword(const char *key, const char *name, DWORD v) { return set_value(key, name, REG_DWORD, &v, 4); }

/* Puts every changed value back (or deletes it when it did not exist). */
static void restore_values(void)
{
    while (nsaved > 0) {
        struct Saved *s = &saved[--nsaved];
        HKEY h;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, s->key, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) continue;
        if (s->existed)
            RegSetValueExA(h, s->name, 0, s->type, s->data, s->size);
        else
            RegDeleteValueA(h, s->name);
        RegCloseKey(h);
    }
}

static unsigned hex(const char *p, int digits)
{
    unsigned v = 0;
    while (digits-- > 0) {
        char c = *p++;
        v = v * 16 + (unsigned)(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

/* Prints the log: the header names the items (fields) each record carries. */
static int decode_log(const char *path)
{
    char line[2048];
    int on[11] = {0}, records = 0;
    FILE *f = fopen(path, "r");
    if (!f) return 0;
    while (fgets(line, sizeof line, f)) {
        const char *p = line + 6; /* after record type and byte count */
        int len = (int)strcspn(line, "\r\n"), entries = 1, e;
        if (strncmp(line, "00", 2) == 0) { /* header: "01", then the item numbers */
            printf("log header, items:");
            for (p = line + 8; p < line + len - 2; p += 2) {
                on[hex(p, 2) % 11] = 1;
                printf(" %02x", hex(p, 2));
            }
            printf("\n");
            continue;
        }
        ++records;
        if (on[2]) { /* item 02: CommandCount */
            entries = (int)hex(p, 2);
            p += 2;
        }
        printf("record %d: %d entr%s\n", records, entries, entries == 1 ? "y" : "ies");
        for (e = 0; e < entries && p < line + len - 2; ++e) {
            unsigned select = 0, offset = 0, i;
            if (on[3]) p += 2; /* DeviceNumber */
            if (on[4]) {
                select = hex(p, 2);
                p += 2;
            }
            if (on[5]) {
                offset = hex(p, 4);
                p += 4;
            }
            printf("  select code %u, offset %u", select, offset);
            if (select == 2 && offset % 64 == 0) printf(" (command area of station %u)", offset / 64);
            if (select == 1) printf(" (response area of station %u)", (offset - 1024) / 64);
            if (on[6]) {
                printf(", size %u", hex(p, 2));
                p += 2;
            }
            if (on[7]) p += 2; /* ReturnCode */
            if (on[8]) p += 8; /* AxisBitNumber */
            if (on[9]) {       /* Sourceadd: Data bytes 0..15 */
                printf("\n  data");
                for (i = 0; i < 16; ++i) printf(" %02x", hex(p + 2 * i, 2));
                if (select == 2) printf("  (command code 0x%02x)", hex(p + 2, 2));
                p += 32;
            }
            printf("\n");
        }
    }
    fclose(f);
    return records;
}

int main(void)
{
    static const char *items[] = {"CommandCount", "SelectCode", "Offset", "Size", "Sourceadd"};
    static const char *quiet[] = {"DeviceNumber", "ReturnCode", "AxisBitNumber", "SmonOut", "SmonIn"};
    int32_t types[15] = {0x01};
    char path[MAX_PATH], stored[MAX_PATH + 8];
    int32_t rc;
    int ok = 1, records;
    unsigned i;
    HKEY h;
    LONG err;

    printf("call_log: this sample changes machine settings under HKLM\\%s:\n"
           "          it needs an administrator (as the configuration utility does),\n"
           "          and puts every value back before it ends.\n", DLL_KEY);
    err = RegOpenKeyExA(HKEY_LOCAL_MACHINE, DLL_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &h);
    if (err == ERROR_ACCESS_DENIED) {
        printf("call_log: access denied: run it as an administrator\n");
        return 2;
    }
    if (err != ERROR_SUCCESS) {
        printf("call_log: the settings key is missing: the driver's installation creates it\n");
        return 2;
    }
    RegCloseKey(h);

    InitDll(1);
    rc = BdOpen(0, 10, 0, types);
    if (rc != QRL_OK || types[0] < 0 || SvOn(1) != QRL_OK) {
        printf("call_log: board not ready: %s\n", QrlStatusText(rc));
        return 1;
    }

    /* Where the log goes ("\??\" and a drive-letter path), which fields it holds,
     * and the ring counter at 0 so that the file is that path itself. */
    GetTempPathA(sizeof path - 20, path);
    strcat(path, "qrl_call_log.log");
    DeleteFileA(path);
    sprintf(stored, "\\??\\%s", path);
    ok = set_value(DLL_KEY, "LoggingPath", REG_SZ, stored, (DWORD)strlen(stored) + 1);
    ok = ok && set_dword(DLL_KEY, "LogFileCnt", 0) && set_dword(DLL_KEY, "LogSize", 1000);
    ok = ok && set_dword(DLL_KEY, "TrigChk", 0); /* no stop trigger */
    for (i = 0; ok && i < sizeof items / sizeof items[0]; ++i) ok = set_dword(ITEMS_KEY, items[i], 1);
    for (i = 0; ok && i < sizeof quiet / sizeof quiet[0]; ++i) ok = set_dword(ITEMS_KEY, quiet[i], 0);

    /* The library looks at Logging on every command: on, one command, off. */
    if (ok && set_dword(DLL_KEY, "Logging", 1)) {
        rc = AxFeed(1, 1000);
        printf("AxFeed(1, 1000) while logging: %s\n", QrlStatusText(rc));
        set_dword(DLL_KEY, "Logging", 0);
    } else {
        printf("call_log: could not change the settings (run it as an administrator)\n");
    }

    RdyWait(1);
    SvOff(1);
    BdClose(0); /* closes the log file */
    restore_values();
    printf("settings restored\n");

    records = ok ? decode_log(path) : 0;
    printf("%d record(s) in %s\n", records, path);
    DeleteFileA(path);
    return records > 0 ? 0 : 1;
}
