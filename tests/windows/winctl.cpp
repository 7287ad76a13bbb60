// Drives the windows of other programs from outside, for the end-to-end
// tests: finds top-level windows, reads their controls, presses their buttons
// and keys, tells which fonts the system offers, and compares a control's
// pixels on the screen with its text drawn in a given font.
//
// Results go to stdout as key=value lines; the exit code is 0 on success and
// 1 (with a message on stderr) when the window, control or process is not
// there or the arguments are wrong. Texts are printed byte for byte, except
// that a byte outside printable ASCII, and the backslash itself, is written
// as \xNN, so that every line stays one line and can be read back exactly.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "usage: winctl COMMAND ARGS...\n"
    "  wait CAPTION TIMEOUT_MS      until a visible top-level window has CAPTION\n"
    "  gone CAPTION TIMEOUT_MS      until no window has CAPTION any more\n"
    "  info CAPTION                 hwnd, pid, visible, rect, defid of that window,\n"
    "                               and the screen size\n"
    "  text CAPTION ID              the text of control ID (GetDlgItemTextA)\n"
    "  class CAPTION ID             the class name of control ID\n"
    "  click CAPTION ID             posts BM_CLICK to button ID\n"
    "  key CAPTION enter|escape     posts the key to the dialog\n"
    "  close CAPTION                posts WM_SYSCOMMAND SC_CLOSE\n"
    "  windows PROCESS.exe          every top-level window of processes so named\n"
    "  watch PROCESS.exe TIMEOUT_MS [IGNORED_PID]\n"
    "                               whether one of them shows a window meanwhile\n"
    "  list                         every visible top-level window\n"
    "  font-exists FACE             whether the system offers a font family FACE\n"
    "  font-match CAPTION ID FACE HEIGHT [FACE HEIGHT]...\n"
    "                               control ID's pixels on screen against its text\n"
    "                               drawn here in each font with the control's layout\n"
    "  hold                         stays attached to the desktop until ended\n";

int Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "winctl: %s: %s\n", what, detail.c_str());
    return 1;
}

std::string Escaped(const char* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += char(byte);
        } else {
            char escape[5];
            snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    return out;
}

std::string Hex(const void* handle) {
    char text[20];
    snprintf(text, sizeof text, "0x%lx",
             static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
}

bool ParseInt(const char* text, long* value) {
    char* end = nullptr;
    *value = strtol(text, &end, 0);
    return *text != '\0' && *end == '\0';
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    int length = GetWindowTextA(window, text, sizeof text);
    return Escaped(text, length > 0 ? size_t(length) : 0);
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Prefers a visible window, as several top-level windows (the desktop's
// hidden helpers, an ended dialog not yet destroyed) may share a caption.
HWND FindTopLevel(const char* caption) {
    HWND hidden = nullptr;
    for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, caption); window;
         window = FindWindowExA(nullptr, window, nullptr, caption)) {
        if (IsWindowVisible(window))
            return window;
        if (!hidden)
            hidden = window;
    }
    return hidden;
}

bool FindWindowOrFail(const char* caption, HWND* window) {
    *window = FindTopLevel(caption);
    if (!*window)
        Fail("no window with caption", caption);
    return *window != nullptr;
}

bool FindControlOrFail(const char* caption, const char* idText, HWND* dialog, HWND* control,
                       int* id) {
    long value = 0;
    if (!ParseInt(idText, &value)) {
        Fail("not a control id", idText);
        return false;
    }
    *id = int(value);
    if (!FindWindowOrFail(caption, dialog))
        return false;
    *control = GetDlgItem(*dialog, *id);
    if (!*control)
        Fail("no control with id", idText);
    return *control != nullptr;
}

void PrintWindowLine(HWND window) {
    printf("window=%s pid=%lu visible=%d class=%s caption=%s\n", Hex(window).c_str(),
           static_cast<unsigned long>(ProcessOf(window)), IsWindowVisible(window) ? 1 : 0,
           ClassName(window).c_str(), WindowText(window).c_str());
}

// ---- Processes -------------------------------------------------------------------------

std::vector<DWORD> ProcessesNamed(const char* exeName) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        const char* base = strrchr(entry.szExeFile, '\\');
        base = base ? base + 1 : entry.szExeFile;
        if (lstrcmpiA(base, exeName) == 0)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

struct WindowSearch {
    const std::vector<DWORD>* pids;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    if (search->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (search->pids) {
        DWORD pid = ProcessOf(window);
        bool wanted = false;
        for (DWORD candidate : *search->pids)
            wanted = wanted || candidate == pid;
        if (!wanted)
            return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(const std::vector<DWORD>* pids, bool visibleOnly) {
    WindowSearch search = {pids, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- Commands ----------------------------------------------------------------------------

int Wait(const char* caption, const char* timeoutText) {
    long timeout = 0;
    if (!ParseInt(timeoutText, &timeout))
        return Fail("not a timeout", timeoutText);
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindTopLevel(caption);
        if (window && IsWindowVisible(window)) {
            PrintWindowLine(window);
            return 0;
        }
        if (GetTickCount() - start >= DWORD(timeout))
            return Fail("no visible window in time with caption", caption);
        Sleep(20);
    }
}

int Gone(const char* caption, const char* timeoutText) {
    long timeout = 0;
    if (!ParseInt(timeoutText, &timeout))
        return Fail("not a timeout", timeoutText);
    DWORD start = GetTickCount();
    while (FindWindowExA(nullptr, nullptr, nullptr, caption)) {
        if (GetTickCount() - start >= DWORD(timeout))
            return Fail("window still there with caption", caption);
        Sleep(20);
    }
    printf("gone=1\n");
    return 0;
}

int Info(const char* caption) {
    HWND window;
    if (!FindWindowOrFail(caption, &window))
        return 1;
    RECT rect = {};
    GetWindowRect(window, &rect);
    LRESULT defId = SendMessageA(window, DM_GETDEFID, 0, 0);
    printf("hwnd=%s\n", Hex(window).c_str());
    printf("pid=%lu\n", static_cast<unsigned long>(ProcessOf(window)));
    printf("visible=%d\n", IsWindowVisible(window) ? 1 : 0);
    printf("class=%s\n", ClassName(window).c_str());
    printf("rect=%ld,%ld,%ld,%ld\n", long(rect.left), long(rect.top), long(rect.right),
           long(rect.bottom));
    printf("screen=%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    // DM_GETDEFID answers DC_HASDEFID in the high word when there is a default button.
    printf("defid=%d\n", HIWORD(defId) == DC_HASDEFID ? int(LOWORD(defId)) : 0);
    return 0;
}

int Text(const char* caption, const char* idText) {
    HWND dialog, control;
    int id;
    if (!FindControlOrFail(caption, idText, &dialog, &control, &id))
        return 1;
    char text[1024] = {};
    UINT length = GetDlgItemTextA(dialog, id, text, sizeof text);
    printf("text=%s\n", Escaped(text, length).c_str());
    return 0;
}

int Class(const char* caption, const char* idText) {
    HWND dialog, control;
    int id;
    if (!FindControlOrFail(caption, idText, &dialog, &control, &id))
        return 1;
    printf("class=%s\n", ClassName(control).c_str());
    return 0;
}

int Click(const char* caption, const char* idText) {
    HWND dialog, control;
    int id;
    if (!FindControlOrFail(caption, idText, &dialog, &control, &id))
        return 1;
    if (!PostMessageA(control, BM_CLICK, 0, 0))
        return Fail("PostMessage failed for control", idText);
    printf("clicked=%d\n", id);
    return 0;
}

int Key(const char* caption, const char* keyName) {
    WPARAM key;
    if (lstrcmpiA(keyName, "enter") == 0)
        key = VK_RETURN;
    else if (lstrcmpiA(keyName, "escape") == 0)
        key = VK_ESCAPE;
    else
        return Fail("unknown key (enter or escape)", keyName);
    HWND dialog;
    if (!FindWindowOrFail(caption, &dialog))
        return 1;
    // The dialog's modal loop hands posted keys to IsDialogMessage, which turns
    // Enter into the default button's command and Escape into IDCANCEL.
    if (!PostMessageA(dialog, WM_KEYDOWN, key, 1) ||
        !PostMessageA(dialog, WM_KEYUP, key, LPARAM(0xC0000001u)))
        return Fail("PostMessage failed for key", keyName);
    printf("key=%s\n", keyName);
    return 0;
}

int Close(const char* caption) {
    HWND window;
    if (!FindWindowOrFail(caption, &window))
        return 1;
    if (!PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0))
        return Fail("PostMessage failed for window", caption);
    printf("closed=1\n");
    return 0;
}

int Windows(const char* exeName) {
    std::vector<DWORD> pids = ProcessesNamed(exeName);
    std::vector<HWND> windows = TopLevelWindows(&pids, false);
    printf("processes=%u\n", unsigned(pids.size()));
    printf("count=%u\n", unsigned(windows.size()));
    for (HWND window : windows)
        PrintWindowLine(window);
    return 0;
}

// Samples every few milliseconds until the time is up, or until a process of
// that name has come and gone: a window that shows for less than that can slip
// through, but a dialog that waits for the user cannot. Windows of the process
// `ignoredPid` (one already known to show a window) do not count. The first
// line tells the caller that watching has begun, so that it can start the
// watched program only then.
int Watch(const char* exeName, const char* timeoutText, const char* ignoredPidText) {
    long timeout = 0, ignoredPid = 0;
    if (!ParseInt(timeoutText, &timeout))
        return Fail("not a timeout", timeoutText);
    if (ignoredPidText && !ParseInt(ignoredPidText, &ignoredPid))
        return Fail("not a process id", ignoredPidText);
    printf("watching=1\n");
    fflush(stdout);
    DWORD start = GetTickCount();
    bool seenProcess = false;
    for (;;) {
        std::vector<DWORD> pids = ProcessesNamed(exeName);
        pids.erase(std::remove(pids.begin(), pids.end(), DWORD(ignoredPid)), pids.end());
        if (pids.empty() && seenProcess)
            break;
        seenProcess = seenProcess || !pids.empty();
        std::vector<HWND> shown = pids.empty() ? std::vector<HWND>() : TopLevelWindows(&pids, true);
        if (!shown.empty()) {
            printf("seen_process=1\nshown=1\n");
            PrintWindowLine(shown.front());
            return 0;
        }
        if (GetTickCount() - start >= DWORD(timeout))
            break;
        Sleep(5);
    }
    printf("seen_process=%d\nshown=0\n", seenProcess ? 1 : 0);
    return 0;
}

int List() {
    std::vector<HWND> windows = TopLevelWindows(nullptr, true);
    printf("count=%u\n", unsigned(windows.size()));
    for (HWND window : windows)
        PrintWindowLine(window);
    return 0;
}

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

int FontExists(const char* face) {
    if (lstrlenA(face) >= LF_FACESIZE)
        return Fail("face name too long", face);
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    printf("exists=%d\n", found ? 1 : 0);
    return 0;
}

// ---- A control's font, seen from outside ---------------------------------------------------
//
// Another process cannot ask a control for its font: WM_GETFONT answers a GDI
// handle that means nothing outside the control's process. What the font does
// show is the control's pixels. So the control is copied from the screen and
// its own text is drawn here, with the layout a static control uses for its
// style, in the font asked about; pixels that differ are counted. Nothing is
// sent to the control that could change what it draws.

// 32-bit top-down pixels, 0x00RRGGBB each.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bits;
};

// A DIB section selected into a memory DC; the pixels are read back at the end.
class Canvas {
  public:
    Canvas(HDC reference, int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(reference);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (bitmap_)
            old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (old_)
            SelectObject(dc_, old_);
        if (bitmap_)
            DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const {
        return bitmap_ != nullptr;
    }
    HDC Dc() const {
        return dc_;
    }
    Pixels Read() const {
        GdiFlush();
        Pixels pixels;
        pixels.width = width_;
        pixels.height = height_;
        const DWORD* first = static_cast<const DWORD*>(bits_);
        pixels.bits.assign(first, first + size_t(width_) * size_t(height_));
        for (DWORD& pixel : pixels.bits)
            pixel &= 0xFFFFFF;
        return pixels;
    }

  private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// The control as the screen shows it. The dialog is the top window on a
// display without a window manager, so nothing covers it.
bool CaptureControl(HWND control, Pixels* pixels) {
    RECT client;
    POINT origin = {0, 0};
    if (!GetClientRect(control, &client) || !ClientToScreen(control, &origin))
        return false;
    HDC screen = GetDC(nullptr);
    bool done = false;
    {
        Canvas canvas(screen, client.right, client.bottom);
        if (canvas.Ready() && BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, screen,
                                     origin.x, origin.y, SRCCOPY)) {
            *pixels = canvas.Read();
            done = true;
        }
    }
    ReleaseDC(nullptr, screen);
    return done;
}

DWORD MostCommonPixel(const Pixels& pixels) {
    std::vector<DWORD> sorted = pixels.bits;
    std::sort(sorted.begin(), sorted.end());
    DWORD best = 0;
    size_t bestCount = 0;
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i;
        while (j < sorted.size() && sorted[j] == sorted[i])
            j++;
        if (j - i > bestCount) {
            best = sorted[i];
            bestCount = j - i;
        }
        i = j;
    }
    return best;
}

COLORREF ColorOfPixel(DWORD pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// The DrawText layout that a static control uses for its text style.
UINT StaticTextFormat(HWND control) {
    LONG style = GetWindowLongA(control, GWL_STYLE);
    UINT format = DT_WORDBREAK | DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format |= DT_CENTER;
        break;
    case SS_RIGHT:
        format |= DT_RIGHT;
        break;
    default:
        format |= DT_LEFT;
        break;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    return format;
}

// Draws `text` as the control would with the font (face, height), on the
// control's own background colour, in the text colour a dialog gives static
// controls; `face` receives the face the system actually chose.
bool RenderText(HWND control, const char* text, const char* faceName, long height, DWORD background,
                Pixels* pixels, char* face, int faceSize) {
    LOGFONTA wanted = {};
    wanted.lfHeight = height;
    lstrcpynA(wanted.lfFaceName, faceName, LF_FACESIZE);
    HFONT font = CreateFontIndirectA(&wanted);
    if (!font)
        return false;
    RECT area;
    GetClientRect(control, &area);
    HDC screen = GetDC(nullptr);
    bool done = false;
    {
        Canvas canvas(screen, area.right, area.bottom);
        if (canvas.Ready()) {
            HBRUSH brush = CreateSolidBrush(ColorOfPixel(background));
            FillRect(canvas.Dc(), &area, brush);
            DeleteObject(brush);
            HGDIOBJ old = SelectObject(canvas.Dc(), font);
            SetTextColor(canvas.Dc(), GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(canvas.Dc(), ColorOfPixel(background));
            DrawTextA(canvas.Dc(), text, -1, &area, StaticTextFormat(control));
            GetTextFaceA(canvas.Dc(), faceSize, face);
            SelectObject(canvas.Dc(), old);
            *pixels = canvas.Read();
            done = true;
        }
    }
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return done;
}

size_t CountDiffering(const Pixels& a, const Pixels& b) {
    size_t count = 0;
    for (size_t i = 0; i < a.bits.size() && i < b.bits.size(); i++)
        count += a.bits[i] != b.bits[i];
    return count;
}

size_t CountOtherThan(const Pixels& pixels, DWORD background) {
    size_t count = 0;
    for (DWORD pixel : pixels.bits)
        count += pixel != background;
    return count;
}

// Copies the control from the screen until two copies a moment apart agree
// and show something: the dialog may not have reached the screen yet when it
// has just become visible.
bool CaptureSteadyControl(HWND control, Pixels* pixels) {
    Pixels previous;
    DWORD start = GetTickCount();
    for (;;) {
        if (!CaptureControl(control, pixels))
            return false;
        bool drawn = CountOtherThan(*pixels, MostCommonPixel(*pixels)) > 0;
        if (drawn && pixels->bits == previous.bits)
            return true;
        // Past the limit the last copy stands; the comparison then tells
        // what differs.
        if (GetTickCount() - start >= 5000)
            return true;
        previous = *pixels;
        Sleep(50);
    }
}

// Each FACE HEIGHT pair gives its numbered lines: face.N (the face the system
// chose for it), ink.N and differing.N (pixels that differ from the screen).
int FontMatch(const char* caption, const char* idText, int pairs, char** fonts) {
    HWND dialog, control;
    int id;
    if (!FindControlOrFail(caption, idText, &dialog, &control, &id))
        return 1;
    // A paint still pending would leave the screen without the text.
    UpdateWindow(dialog);
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    Pixels shown;
    if (!CaptureSteadyControl(control, &shown))
        return Fail("could not copy the control from the screen", idText);
    DWORD background = MostCommonPixel(shown);
    RECT onScreen;
    GetWindowRect(control, &onScreen);
    printf("rect=%ld,%ld,%ld,%ld\n", long(onScreen.left), long(onScreen.top), long(onScreen.right),
           long(onScreen.bottom));
    printf("background=%06lX\n", static_cast<unsigned long>(background));
    printf("ink=%u\n", unsigned(CountOtherThan(shown, background)));
    for (int pair = 0; pair < pairs; pair++) {
        const char* faceName = fonts[2 * pair];
        long height = 0;
        if (!ParseInt(fonts[2 * pair + 1], &height))
            return Fail("not a font height", fonts[2 * pair + 1]);
        if (lstrlenA(faceName) >= LF_FACESIZE)
            return Fail("face name too long", faceName);
        Pixels rendered;
        char face[LF_FACESIZE] = {};
        if (!RenderText(control, text, faceName, height, background, &rendered, face, sizeof face))
            return Fail("could not draw the text in", faceName);
        printf("face.%d=%s\n", pair + 1, Escaped(face, strlen(face)).c_str());
        printf("ink.%d=%u\n", pair + 1, unsigned(CountOtherThan(rendered, background)));
        printf("differing.%d=%u\n", pair + 1, unsigned(CountDiffering(shown, rendered)));
    }
    return 0;
}

// Wine closes its desktop process a little while after the last program
// attached to it ends, and the next program then waits seconds for a new one.
// A session keeps one of these running so that the desktop stays up.
int Hold() {
    if (!GetDesktopWindow())
        return Fail("hold", "no desktop");
    for (;;)
        Sleep(INFINITE);
}

int Run(int argc, char** argv) {
    if (argc < 2)
        return Fail("missing command", "see usage");
    std::string command = argv[1];
    int args = argc - 2;
    char** arg = argv + 2;
    if (command == "wait" && args == 2)
        return Wait(arg[0], arg[1]);
    if (command == "gone" && args == 2)
        return Gone(arg[0], arg[1]);
    if (command == "info" && args == 1)
        return Info(arg[0]);
    if (command == "text" && args == 2)
        return Text(arg[0], arg[1]);
    if (command == "class" && args == 2)
        return Class(arg[0], arg[1]);
    if (command == "click" && args == 2)
        return Click(arg[0], arg[1]);
    if (command == "key" && args == 2)
        return Key(arg[0], arg[1]);
    if (command == "close" && args == 1)
        return Close(arg[0]);
    if (command == "windows" && args == 1)
        return Windows(arg[0]);
    if (command == "watch" && (args == 2 || args == 3))
        return Watch(arg[0], arg[1], args == 3 ? arg[2] : nullptr);
    if (command == "list" && args == 0)
        return List();
    if (command == "font-exists" && args == 1)
        return FontExists(arg[0]);
    if (command == "font-match" && args >= 4 && args % 2 == 0)
        return FontMatch(arg[0], arg[1], (args - 2) / 2, arg + 2);
    if (command == "hold" && args == 0)
        return Hold();
    fputs(Usage, stderr);
    return Fail("unknown command or wrong arguments", command);
}

} // namespace

int main(int argc, char** argv) {
    int status = Run(argc, argv);
    fflush(stdout);
    return status;
}
