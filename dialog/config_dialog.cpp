#include "dialog/config_dialog.h"

#include <windows.h>

#include "dialog/centring.h"

namespace dialog {
namespace {

settings::MonitorSettings* g_settings;  // what the open dialog shows

// Moves the dialog to the middle of the desktop, keeping its size, on top.
void CentreOnDesktop(HWND dlg) {
    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dlg, &window);
    Point at = CentredOrigin({desktop.left, desktop.top, desktop.right, desktop.bottom},
                             {window.left, window.top, window.right, window.bottom});
    SetWindowPos(dlg, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
}

// One line per source number, "n : name". The table keeps the first five names;
// later ones are found in the sources text by the same rule.
void FillSourceList(HWND dlg, const settings::MonitorSettings& s) {
    HWND list = GetDlgItem(dlg, IDC_SOURCES);
    for (uint32_t n = 1; n <= s.sourceCount; ++n) {
        char name[settings::kNameSize];
        if (n <= settings::kNameSlots)
            lstrcpynA(name, s.sources.names[n - 1], sizeof name);
        else
            settings::FindSourceName(s, n, name, sizeof name);
        char line[256];  // a number of at most four digits and a name of at most 127 characters
        wsprintfA(line, "%u : %s", n, name);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
}

// Shows the settings. Returns TRUE so that the focus goes to OK, the first tab stop.
INT_PTR OnInitDialog(HWND dlg) {
    CentreOnDesktop(dlg);
    FillSourceList(dlg, *g_settings);
    SetWindowTextA(GetDlgItem(dlg, IDC_LOGPATH), g_settings->logPath);
    return TRUE;
}

// Writes the path field back (it is read-only, so it is the path shown) and closes.
INT_PTR OnOk(HWND dlg) {
    GetWindowTextA(GetDlgItem(dlg, IDC_LOGPATH), g_settings->logPath, sizeof g_settings->logPath);
    EndDialog(dlg, 1);
    return TRUE;
}

// Handles initialisation and OK; everything else, Cancel and Escape included, is
// left to the platform, so that only OK closes the dialog.
INT_PTR CALLBACK ConfigDialog(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        if (wParam == IDOK)
            return OnOk(dlg);
        break;
    }
    return FALSE;
}

}  // namespace

void RunConfigDialog(HINSTANCE instance, settings::MonitorSettings& settings) {
    g_settings = &settings;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIG), nullptr, ConfigDialog, 0);
}

}  // namespace dialog
