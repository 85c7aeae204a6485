#include "request_log.h"
#include "text.h"

#define LINE_CAPACITY (32 + 3 * VHID_MAX_REPORT_LENGTH)

typedef struct Line {
    char text[LINE_CAPACITY];
    ULONG length;
} Line;

static void PutChar(Line* line, char c) {
    if (line->length < LINE_CAPACITY) {
        line->text[line->length++] = c;
    }
}

static void FormatLine(Line* line, const char* what, const UCHAR* bytes, ULONG count) {
    static const char digits[] = "0123456789ABCDEF";
    ULONG i;
    line->length = 0;
    for (i = 0; what[i]; ++i) {
        PutChar(line, what[i]);
    }
    for (i = 0; i < count && line->length + 4 < LINE_CAPACITY; ++i) {
        PutChar(line, ' ');
        PutChar(line, digits[bytes[i] >> 4]);
        PutChar(line, digits[bytes[i] & 0x0F]);
    }
    PutChar(line, '\n');
}

static NTSTATUS OpenForAppending(const WCHAR* dosPath, HANDLE* file) {
    static const WCHAR prefix[] = L"\\??\\";
    WCHAR ntPath[4 + VHID_MAX_PATH];
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;

    CopyText(ntPath, 4 + VHID_MAX_PATH, prefix, 4);
    CopyText(ntPath + 4, VHID_MAX_PATH, dosPath, VHID_MAX_PATH);
    RtlInitUnicodeString(&name, ntPath);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    // Append access alone makes every write land at the end, also across handles.
    return ZwCreateFile(file, FILE_APPEND_DATA | SYNCHRONIZE, &attributes, &io, NULL,
                        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

void LogRequest(const DeviceConfig* config, const char* what, const UCHAR* bytes, ULONG count) {
    Line line;
    HANDLE file;
    IO_STATUS_BLOCK io;
    LARGE_INTEGER endOfFile;

    if (!config->logPath[0] || !NT_SUCCESS(OpenForAppending(config->logPath, &file))) {
        return;
    }
    FormatLine(&line, what, bytes, count);
    endOfFile.LowPart = FILE_WRITE_TO_END_OF_FILE;
    endOfFile.HighPart = -1;
    ZwWriteFile(file, NULL, NULL, NULL, &io, line.text, line.length, &endOfFile, NULL);
    ZwClose(file);
}
