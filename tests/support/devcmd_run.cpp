#include "devcmd_run.h"

#include "support/child_process.h"
#include "support/time_bounds.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

const DWORD kRunTimeoutMs = ScaledBound(20000);
constexpr DWORD kPollMs = 20;
const DWORD kPaintTimeoutMs = ScaledBound(3000);
// The platform's message box: a dialog whose text is the static control 0xFFFF.
constexpr int kMessageTextId = 0xFFFF;

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// An empty folder of its own for each run. Wine reuses process IDs from one session to the
// next, so a folder of an earlier test program may carry the same name: what it holds
// (an old journal, above all) must not be taken for this run's.
std::string MakeRunFolder() {
    static int runs;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "devcmd-run-" + std::to_string(GetCurrentProcessId()) +
                         "-" + std::to_string(++runs);
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return folder;
}

void CopyBeside(const std::string& from, const std::string& folder, const char* name) {
    CopyFileA(from.c_str(), (folder + "\\" + name).c_str(), FALSE);
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct Search {
    DWORD processId;
    HWND dialog;
};

BOOL CALLBACK FindDialogOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (processId == search->processId && std::string(className) == "#32770" &&
        IsWindowVisible(window)) {
        search->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// Pixels as 0x00RRGGBB, row by row from the top.
using Pixels = std::vector<DWORD>;

Pixels BitmapPixels(HBITMAP bitmap, int width, int height) {
    HDC reader = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Pixels pixels(static_cast<size_t>(width * height));
    GetDIBits(reader, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(reader);
    return pixels;
}

// Draws with `paint` into a fresh bitmap of the screen's format and returns its pixels.
template <typename Paint>
Pixels Painted(int width, int height, Paint paint) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory, screen);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Pixels pixels = BitmapPixels(bitmap, width, height);
    DeleteObject(bitmap);
    return pixels;
}

Pixels ScreenPixels(const RECT& place, int width, int height) {
    return Painted(width, height, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
    });
}

// The platform's icon `name` as it looks drawn on `background`.
Pixels DrawnIcon(LPCSTR name, DWORD background, int width, int height) {
    return Painted(width, height, [&](HDC memory, HDC) {
        HBRUSH brush = CreateSolidBrush(
            RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        RECT all = {0, 0, width, height};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, LoadIconA(nullptr, name), width, height, 0, nullptr, DI_NORMAL);
    });
}

size_t Differences(const Pixels& a, const Pixels& b) {
    size_t differences = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        differences += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    }
    return differences;
}

// Which icon the box shows, read off the screen: of the four message-box icons, the error
// icon must be the one its picture matches.
bool ShowsErrorIcon(HWND dialog) {
    HWND icon = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            icon = child;
        }
    }
    if (!icon) {
        return false;
    }
    const int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
    RECT place;
    GetWindowRect(icon, &place);
    const Pixels shown = ScreenPixels(place, width, height);
    const LPCSTR candidates[] = {IDI_HAND, IDI_EXCLAMATION, IDI_ASTERISK, IDI_QUESTION};
    size_t best = SIZE_MAX;
    LPCSTR bestIcon = nullptr;
    for (LPCSTR candidate : candidates) {
        const size_t differences =
            Differences(shown, DrawnIcon(candidate, shown[0], width, height));
        if (differences < best) {
            best = differences;
            bestIcon = candidate;
        }
    }
    return bestIcon == IDI_HAND && best < shown.size() / 20;
}

MessageBoxSeen ReadAndDismiss(HWND dialog) {
    // The box may be found before it is painted: look at its icon until it shows.
    bool errorIcon = ShowsErrorIcon(dialog);
    for (DWORD waited = 0; !errorIcon && waited < kPaintTimeoutMs; waited += kPollMs) {
        Sleep(kPollMs);
        errorIcon = ShowsErrorIcon(dialog);
    }
    MessageBoxSeen seen = {WindowText(dialog), WindowText(GetDlgItem(dialog, kMessageTextId)),
                           errorIcon, GetWindow(dialog, GW_OWNER)};
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    // Wait until the box is gone, so that it is not read twice.
    for (DWORD waited = 0; IsWindow(dialog) && waited < kRunTimeoutMs; waited += kPollMs) {
        Sleep(kPollMs);
    }
    return seen;
}

} // namespace

std::string DevcmdRun::DeviceFile(const std::string& name) const {
    return ReadText(folder + "\\" + name + ".hid");
}

DevcmdRun RunDevcmd(const std::string& world, LibraryBeside library, HWND foreground,
                    const std::string& worldAfterTest) {
    DevcmdRun run;
    run.folder = MakeRunFolder();
    const std::string here = ProgramFolder();
    for (const char* file : {"devcmd.exe", "devsim.dll", "hid.dll", "setupapi.dll"}) {
        CopyBeside(here + "\\" + file, run.folder, file);
    }
    if (library == LibraryBeside::Velmar) {
        CopyBeside(here + "\\Velmar.dll", run.folder, "Velmar.dll");
    } else if (library == LibraryBeside::VelmarWithoutWrite) {
        CopyBeside(here + "\\without_write\\Velmar.dll", run.folder, "Velmar.dll");
    } else if (library == LibraryBeside::VelmarUnpluggingAfterTheTest) {
        for (const char* file : {"Velmar.dll", "VelmarLibrary.dll"}) {
            CopyBeside(here + "\\unplugging\\" + file, run.folder, file);
        }
        std::ofstream(run.folder + "\\after-test-world.txt", std::ios::binary) << worldAfterTest;
    }
    const std::string worldFile = run.folder + "\\world.txt";
    const std::string journalFile = run.folder + "\\journal.txt";
    std::ofstream(worldFile, std::ios::binary) << world;
    SetEnvironmentVariableA("DEVSIM_WORLD", worldFile.c_str());
    SetEnvironmentVariableA("DEVSIM_JOURNAL", journalFile.c_str());

    if (foreground) {
        SetForegroundWindow(foreground);
    }
    const std::string program = run.folder + "\\devcmd.exe";
    PROCESS_INFORMATION process;
    const bool started = StartChild(program, run.folder, process);
    SetEnvironmentVariableA("DEVSIM_WORLD", nullptr);
    SetEnvironmentVariableA("DEVSIM_JOURNAL", nullptr);
    if (!started) {
        return run;
    }
    for (DWORD waited = 0; waited < kRunTimeoutMs; waited += kPollMs) {
        if (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0) {
            run.exited = true;
            break;
        }
        Search search = {process.dwProcessId, nullptr};
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&search));
        if (search.dialog) {
            run.messageBoxes.push_back(ReadAndDismiss(search.dialog));
        }
    }
    run.exitCode = FinishChild(process, run.exited, kRunTimeoutMs);
    run.journal = Lines(ReadText(journalFile));
    return run;
}
