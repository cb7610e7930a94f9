// The settings dialog in a real window: a host thread calls configure while the test
// finds the window by its caption and checks it, then presses keys and buttons.
// With QX_DIALOG_SHOT set to a path, the first dialog shown is also saved there as
// a BMP picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_helpers.h"
#include "plugin/host_protocol.h"

namespace {

using host::ConfigureFn;
using host::StartupFn;
using host_helpers::DeleteMonitorKey;
using host_helpers::SetMonitorText;

const char* const kCaption = "Quintavo Extractor";
const char* const kLogPath = "C:\\Program Files\\Quintavo\\Logs\\hardware.log";

std::string TextOf(HWND window) {
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> ListLines(HWND list) {
    std::vector<std::string> lines;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char line[512] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

// Saves what the screen shows of window as a 24-bit BMP.
void SaveWindowPicture(HWND window, const char* path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    RECT r;
    GetWindowRect(window, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD rowBytes = (w * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + rowBytes * h),
                             0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    if (FILE* f = fopen(path, "wb")) {
        fwrite(&file, sizeof file, 1, f);
        fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f);
        fwrite(bits, rowBytes, h, f);
        fclose(f);
    }
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

struct HostThread {
    ConfigureFn configure;
    int32_t result = -1;
};

DWORD WINAPI CallConfigure(void* arg) {
    auto* host = static_cast<HostThread*>(arg);
    host->result = host->configure();
    return 0;
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteMonitorKey();
        SetMonitorText("LogFilePath", kLogPath);
        module = LoadLibraryA(host_helpers::ModulePath().c_str());
        ASSERT_NE(module, nullptr);
        startup = reinterpret_cast<StartupFn>(reinterpret_cast<void*>(GetProcAddress(module, "dllstartup")));
        host.configure = reinterpret_cast<ConfigureFn>(reinterpret_cast<void*>(GetProcAddress(module, "configure")));
        ASSERT_NE(startup, nullptr);
        ASSERT_NE(host.configure, nullptr);
    }
    void TearDown() override {
        if (thread) {
            if (dialog && IsWindow(dialog))
                SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            WaitForSingleObject(thread, 5000);
            CloseHandle(thread);
        }
        FreeLibrary(module);
        DeleteMonitorKey();
    }

    // Loads the settings with these sources, then opens the dialog on a host thread.
    void Open(const std::string& sources) {
        SetMonitorText("Sources", sources);
        startup(0, 0);
        thread = CreateThread(nullptr, 0, CallConfigure, &host, 0, &threadId);
        for (int i = 0; i < 400 && !dialog; ++i) {
            Sleep(25);
            HWND found = FindWindowA(nullptr, kCaption);
            if (found && IsWindowVisible(found))
                dialog = found;
        }
        ASSERT_NE(dialog, nullptr) << "no window captioned " << kCaption;
    }
    bool Closed() {
        return WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0 && !IsWindow(dialog);
    }
    bool StillOpenAfter(int milliseconds) {
        return WaitForSingleObject(thread, milliseconds) == WAIT_TIMEOUT && IsWindowVisible(dialog);
    }

    HMODULE module = nullptr;
    StartupFn startup = nullptr;
    HostThread host;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HWND dialog = nullptr;
};

TEST_F(DialogTest, ShowsThePathAndTheSourcesInOrder) {
    Open("+Core clock,+Memory clock,+Core temperature,+Fan speed");
    EXPECT_EQ(ListLines(GetDlgItem(dialog, 1003)),
              (std::vector<std::string>{"1 : Core clock", "2 : Memory clock", "3 : Core temperature",
                                        "4 : Fan speed"}));
    HWND edit = GetDlgItem(dialog, 1004);
    EXPECT_EQ(TextOf(edit), kLogPath);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
    if (const char* shot = getenv("QX_DIALOG_SHOT"))
        SaveWindowPicture(dialog, shot);
}

TEST_F(DialogTest, NoSourcesGiveAnEmptyList) {
    Open("");
    EXPECT_TRUE(ListLines(GetDlgItem(dialog, 1003)).empty());
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 1004)), kLogPath);
}

TEST_F(DialogTest, ListsEverySourceWithItsRealName) {
    Open("+a,+b,+c,+d,+e,+sixth,+seventh");
    std::vector<std::string> lines = ListLines(GetDlgItem(dialog, 1003));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], "6 : sixth");
    EXPECT_EQ(lines[6], "7 : seventh");
}

TEST_F(DialogTest, ListsTheLargestCountASourcesTextAllows) {
    Open(std::string(1023, '+'));  // 1023 sources; source n is named by the '+' after it
    std::vector<std::string> lines = ListLines(GetDlgItem(dialog, 1003));
    ASSERT_EQ(lines.size(), 1023u);
    EXPECT_EQ(lines[0], "1 : " + std::string(127, '+'));
    EXPECT_EQ(lines[999], "1000 : " + std::string(23, '+'));
    EXPECT_EQ(lines[1022], "1023 : ");
}

TEST_F(DialogTest, CentredCaptionedToolWindowWithFocusOnOk) {
    Open("+A");
    char caption[64] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, kCaption);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    LONG exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME), WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    EXPECT_FALSE(style & WS_SYSMENU) << "no system menu, no close box";
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);

    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &window);
    long width = window.right - window.left, height = window.bottom - window.top;
    EXPECT_EQ(window.left, desktop.left + (desktop.right - desktop.left - width) / 2);
    EXPECT_EQ(window.top, desktop.top + (desktop.bottom - desktop.top - height) / 2);

    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(threadId, &gui));
    EXPECT_EQ(gui.hwndFocus, GetDlgItem(dialog, IDOK));
}

// The controls as created, in template order: class, id, style and rectangle.
TEST_F(DialogTest, ControlsAsTheTemplateSays) {
    Open("+A");
    struct Control {
        const char* cls;
        int id;
        LONG style;
        RECT units;  // left, top, width, height in dialog units
    } expected[] = {
        {"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, {133, 71, 50, 14}},
        {"Static", 0xFFFF, SS_LEFT | WS_GROUP, {3, 3, 130, 8}},
        {"Static", 0xFFFF, SS_LEFT | WS_GROUP, {3, 28, 123, 8}},
        {"ListBox", 1003, WS_BORDER | WS_TABSTOP | LBS_NOSEL | LBS_NOINTEGRALHEIGHT, {3, 38, 123, 46}},
        {"Edit", 1004, WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, {3, 13, 180, 14}},
    };
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const Control& c : expected) {
        ASSERT_NE(child, nullptr) << c.cls;
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_STREQ(cls, c.cls);
        EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, c.id) << c.cls;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        // The dialog manager draws the border of edit and list controls as a client edge.
        if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
            style |= WS_BORDER;
        EXPECT_EQ(style & (c.style | WS_CHILD | WS_VISIBLE), c.style | WS_CHILD | WS_VISIBLE) << c.cls;
        if (c.id == 1003) {
            EXPECT_FALSE(style & (LBS_SORT | WS_VSCROLL | WS_HSCROLL)) << "not sorted, no scroll bar";
        }
        RECT want = c.units;  // position and size map to pixels each on their own
        MapDialogRect(dialog, &want);
        want.right += want.left;
        want.bottom += want.top;
        RECT got;
        GetWindowRect(child, &got);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(got.left, want.left) << c.cls;
        EXPECT_EQ(got.top, want.top) << c.cls;
        EXPECT_EQ(got.right, want.right) << c.cls;
        EXPECT_EQ(got.bottom, want.bottom) << c.cls;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "five controls";
}

// Every label shows whole: its text, word-wrapped as a left-aligned static draws it
// in the font the dialog gave it, needs no more than the label's box.
TEST_F(DialogTest, EveryLabelFitsItsBox) {
    Open("+A");
    int labels = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        if (strcmp(cls, "Static") != 0)
            continue;
        ++labels;
        std::string text = TextOf(child);
        RECT box;
        GetClientRect(child, &box);
        RECT need = {0, 0, box.right, 0};
        auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0));
        EXPECT_NE(font, nullptr) << "'" << text << "' has the template's font";
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, font);
        DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        EXPECT_LE(need.right, box.right) << "'" << text << "' is wider than its box";
        EXPECT_LE(need.bottom, box.bottom) << "'" << text << "' wraps past the height of its box";
    }
    EXPECT_EQ(labels, 2);
}

TEST_F(DialogTest, EscapeAndCancelLeaveItOpenEnterClosesIt) {
    Open("+A");
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(StillOpenAfter(300));
    HWND ok = GetDlgItem(dialog, IDOK);
    PostMessageA(ok, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(ok, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_TRUE(StillOpenAfter(300));
    PostMessageA(ok, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(ok, WM_KEYUP, VK_RETURN, 0);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(host.result, 0);
}

TEST_F(DialogTest, OkClosesItAndConfigureReturnsZero) {
    Open("+A");
    EXPECT_TRUE(StillOpenAfter(200));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(host.result, 0);
}

// --- the resource as stored in the DLL --------------------------------------------

struct TemplateReader {
    const BYTE* p;
    WORD Word() {
        WORD w;
        memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        memcpy(&d, p, 4);
        p += 4;
        return d;
    }
    short Short() { return static_cast<short>(Word()); }
    // A name or an ordinal: 0xFFFF then the ordinal, or a NUL-terminated UTF-16 text.
    std::string NameOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD c = first; c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4)
            ++p;
    }
};

TEST(DialogResource, ExtendedTemplateInFrench) {
    HMODULE module = LoadLibraryExA(host_helpers::ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(101),
                                  MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
    ASSERT_NE(found, nullptr);
    auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    TemplateReader t{base};
    EXPECT_EQ(t.Word(), 1);       // dlgVer
    EXPECT_EQ(t.Word(), 0xFFFF);  // extended template
    EXPECT_EQ(t.Dword(), 0u);     // helpID
    EXPECT_EQ(t.Dword(), static_cast<DWORD>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(t.Dword(), static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | DS_SYSMODAL | WS_POPUP | WS_CAPTION));
    EXPECT_EQ(t.Word(), 5);  // controls
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 186);
    EXPECT_EQ(t.Short(), 87);
    EXPECT_EQ(t.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(t.NameOrOrdinal(), "");  // the standard dialog class
    EXPECT_EQ(t.NameOrOrdinal(), "Quintavo Extractor");
    EXPECT_EQ(t.Word(), 8);  // points
    EXPECT_EQ(t.Word(), 0);  // weight
    EXPECT_EQ(*t.p++, 0);    // italic
    EXPECT_EQ(*t.p++, 1);    // character set
    EXPECT_EQ(t.NameOrOrdinal(), "MS Sans Serif");

    struct Item {
        DWORD style;
        short x, y, cx, cy;
        DWORD id;
        const char* cls;
        const char* text;
    } items[] = {
        {BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 133, 71, 50, 14, 1, "#128", "OK"},
        {SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP, 3, 3, 130, 8, 0xFFFFFFFF, "#130",
         "Quintavo Hardware Monitoring LogFile :"},
        {SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP, 3, 28, 123, 8, 0xFFFFFFFF, "#130", "Available sources :"},
        {LBS_NOSEL | LBS_NOINTEGRALHEIGHT | WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 3, 38, 123, 46, 1003,
         "#131", ""},
        {ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 3, 13, 180, 14,
         1004, "#129", ""},
    };
    for (const Item& item : items) {
        t.AlignDword(base);
        EXPECT_EQ(t.Dword(), 0u);  // helpID
        EXPECT_EQ(t.Dword(), 0u);  // exStyle
        EXPECT_EQ(t.Dword(), item.style) << item.text;
        EXPECT_EQ(t.Short(), item.x) << item.text;
        EXPECT_EQ(t.Short(), item.y) << item.text;
        EXPECT_EQ(t.Short(), item.cx) << item.text;
        EXPECT_EQ(t.Short(), item.cy) << item.text;
        EXPECT_EQ(t.Dword(), item.id) << item.text;
        EXPECT_EQ(t.NameOrOrdinal(), item.cls) << item.text;
        EXPECT_EQ(t.NameOrOrdinal(), item.text);
        EXPECT_EQ(t.Word(), 0) << "no creation data";
    }
    FreeLibrary(module);
}

}  // namespace
