// The main window: window classes, creation and teardown of its furniture,
// and the dispatch of every command to the part of the program that owns
// it.
#include <windows.h>
#include <windowsx.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cstdio>
#include <initializer_list>

#include "app/app.h"
#include "app/commands.h"
#include "app/display.h"
#include "app/settings.h"
#include "app/shell_commands.h"
#include "app/toolbar.h"
#include "capture/capture.h"
#include "markup/editor.h"
#include "picture/clipboard_formats.h"
#include "picture/picture.h"
#include "print/dde_service.h"
#include "print/print.h"
#include "print/printer_settings.h"

namespace {

constexpr UINT kNotifyMessage = WM_USER + 1;
constexpr UINT kNotifyId = 1;
constexpr UINT_PTR kTickTimer = 0;
// wParam of a WM_RBUTTONDOWN that the notification icon posts: its point is
// already in screen coordinates. A real press always carries MK_RBUTTON.
constexpr WPARAM kScreenPointMarker = 8;
constexpr int kIconId = 105;
constexpr int kMenuId = 101;

wchar_t g_versionText[16];
HICON g_notifyIcon;
// Broadcast by Explorer when it starts again: its new notification area has
// forgotten every icon.
UINT g_taskbarCreated;

void AddNotifyIcon(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = window;
    data.uID = kNotifyId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kNotifyMessage;
    if (!g_notifyIcon) {
        // The small-icon size of the screen's scale: 16 pixels at 100 %.
        int size = GetSystemMetrics(SM_CXSMICON);
        g_notifyIcon = static_cast<HICON>(
            LoadImageW(g_instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, size, size, 0));
    }
    data.hIcon = g_notifyIcon;
    lstrcpynW(data.szTip, L"スクリーンコピー", 64);
    Shell_NotifyIconW(NIM_ADD, &data);
}

void RemoveNotifyIcon(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = window;
    data.uID = kNotifyId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    if (g_notifyIcon) {
        DestroyIcon(g_notifyIcon);
        g_notifyIcon = nullptr;
    }
}

void OnCreate(HWND window, const CREATESTRUCTW* create)
{
    g_instance = create->hInstance;
    g_mainWindow = window;
    if (g_settings.readPrt)
        LoadPrinterSettings();
    LoadStringW(g_instance, kVersionStringId, g_versionText, 16);
    DragAcceptFiles(window, TRUE);
    StartDdeService();
    g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    // Also from an Explorer with fewer rights than Kelvo. Looked up, not
    // imported: Windows Vista has no such function and would not start
    // the program at all.
    using MessageFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    auto allow = reinterpret_cast<MessageFilter>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"));
    if (g_taskbarCreated && allow)
        allow(window, g_taskbarCreated, MSGFLT_ALLOW, nullptr);
    AddNotifyIcon(window);
    ResetScrollPositions();
    ShowScrollBar(window, SB_BOTH, FALSE);
    CreateMainToolbar(window);
    SetToolbarPressed(kCmdPreview, g_settings.preview);
    SetToolbarPressed(kCmdShowPrint, g_settings.showPrint);
    SetToolbarPressed(kCmdIconic, g_settings.iconic);
    SetToolbarPressed(kCmdSnapshot, SnapshotEnabled());
    SetTimer(window, kTickTimer, 1000, nullptr);
}

void OnDestroy(HWND window)
{
    if (HWND notice = FindWindowA(kPrintClass, "PrintWindow"))
        DestroyWindow(notice);
    ReleasePrinterSettings();
    DragAcceptFiles(window, FALSE);
    StopDdeService();
    RemoveNotifyIcon(window);
    KillTimer(window, kTickTimer);
    DestroyToolbarImages();
    PostQuitMessage(0);
}

void Toggle(uint32_t& flag, int command, bool showOnToolbar)
{
    flag = flag == 0 ? 1 : 0;
    if (showOnToolbar)
        SetToolbarPressed(command, flag != 0);
}

void OnCommand(HWND window, int id, LPARAM lParam)
{
    switch (id) {
    case kCmdPrint:
        if (lParam == kCaptureAndOutputMarker)
            CaptureAndOutput(window);
        else
            StartPrint(window, false);
        break;
    case kCmdPreview: Toggle(g_settings.preview, id, true); break;
    case kCmdPrinterSetup: SetupPrinter(window); break;
    case kCmdScale: ScaleCommand(window); break;
    case kCmdExit: DestroyWindow(window); break;
    case kCmdDelete: DeletePicture(window); break;
    case kCmdIconic: Toggle(g_settings.iconic, id, true); break;
    case kCmdSave: SaveAsCommand(window); break;
    case kCmdOutputFile:
        SerialOutputCommand(window);
        g_outputTarget = OutputTarget::File;
        break;
    case kCmdOutputPrinter: g_outputTarget = OutputTarget::Printer; break;
    case kCmdCaptureKey: CaptureKeyCommand(window); break;
    case kCmdAbout: ShowAboutBox(); break;
    case kCmdDiscardPrinter: DiscardPrinterSettings(); break;
    case kCmdDesktop: DesktopCommand(window, lParam == kCaptureAndOutputMarker); break;
    case kCmdWindow: WindowPickCommand(window); break;
    case kCmdRectangle: RectangleCommand(window); break;
    case kCmdZoom: ToggleZoom(window); break;
    case kCmdShowPrint: Toggle(g_settings.showPrint, id, true); break;
    case kCmdOpen: OpenCommand(window); break;
    case kCmdSavePrinter: SavePrinterSettings(); break;
    case kCmdLoadPrinter: LoadPrinterSettings(); break;
    case kCmdReadPrinterAtStart: Toggle(g_settings.readPrt, id, false); break;
    case kCmdSnapshot: SnapshotCommand(window); break;
    case kCmdWallpaper: RegisterWallpaper(window); break;
    case kCmdHelpContents: ShowHelp(window, false); break;
    case kCmdHelpOnHelp: ShowHelp(window, true); break;
    case kCmdFixedRange: FixedRangeCommand(window); break;
    case kCmdStillSelect: Toggle(g_settings.stillSelect, id, false); break;
    case kCmdCustomize:
        if (HWND toolbar = MainToolbar())
            SendMessageA(toolbar, TB_CUSTOMIZE, 0, 0);
        break;
    case kCmdLastRegion: LastRegionCommand(window); break;
    case kCmdIncludePointer: IncludePointerCommand(window); break;
    case kCmdActiveWindow: ActiveWindowCaptureAndOutput(window, reinterpret_cast<HWND>(lParam)); break;
    case kCmdMarkup: MarkupCommand(window); break;
    }
}

void SetItem(HMENU menu, int id, bool enabled)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
}

void CheckItem(HMENU menu, int id, bool checked)
{
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void OnInitMenuPopup(HWND window, HMENU menu)
{
    bool opened = OpenClipboard(window) != FALSE;
    bool picture = IsClipboardFormatAvailable(CF_BITMAP) || (opened && ForeignPictureBitmap());
    if (opened)
        CloseClipboard();
    for (int id : {kCmdSave, kCmdPrint, kCmdDelete, kCmdWallpaper})
        SetItem(menu, id, picture);
    SetItem(menu, kCmdMarkup, picture || MarkupActive());
    bool held = PrinterSettingsHeld();
    SetItem(menu, kCmdDiscardPrinter, held);
    SetItem(menu, kCmdSavePrinter, held);
    CheckItem(menu, kCmdPreview, g_settings.preview != 0);
    CheckItem(menu, kCmdIconic, g_settings.iconic != 0);
    CheckItem(menu, kCmdOutputFile, g_outputTarget == OutputTarget::File);
    CheckItem(menu, kCmdOutputPrinter, g_outputTarget == OutputTarget::Printer);
    CheckItem(menu, kCmdZoom, g_zoom);
    CheckItem(menu, kCmdShowPrint, g_settings.showPrint != 0);
    CheckItem(menu, kCmdReadPrinterAtStart, g_settings.readPrt != 0);
    CheckItem(menu, kCmdSnapshot, SnapshotEnabled());
    CheckItem(menu, kCmdFixedRange, FixedRangeEnabled());
    SetItem(menu, kCmdLastRegion, HasLastRegion());
    CheckItem(menu, kCmdIncludePointer, PointerIncluded());
    CheckItem(menu, kCmdStillSelect, g_settings.stillSelect != 0);
}

void OnDropFiles(HWND window, HDROP drop)
{
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring name(size_t(length) + 1, L'\0');
        if (length > 0 && DragQueryFileW(drop, 0, &name[0], length + 1) == length) {
            name.resize(length);
            OpenPictureFile(window, name.c_str());
        }
    }
    DragFinish(drop);
}

void OnRightButton(HWND window, WPARAM wParam, LPARAM lParam)
{
    // Signed: a point on a monitor left of or above the primary one is
    // negative.
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (wParam != kScreenPointMarker)
        ClientToScreen(window, &p);
    HMENU menu = LoadMenuW(g_instance, L"POPUP");
    if (!menu)
        return;
    // Without this the menu would not close when the user clicks elsewhere
    // after opening it from the notification icon.
    SetForegroundWindow(window);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, p.x, p.y, 0, window, nullptr);
    DestroyMenu(menu);
}

void OnNotifyIcon(HWND window, LPARAM mouse)
{
    switch (LOWORD(mouse)) {
    case WM_LBUTTONDBLCLK:
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_MINIMIZE);
        break;
    case WM_RBUTTONDOWN: {
        POINT p;
        GetCursorPos(&p);
        ShowWindow(window, SW_SHOWNORMAL);
        // Each coordinate travels as 16 bits and is read back signed.
        PostMessageW(window, WM_RBUTTONDOWN, kScreenPointMarker,
                     MAKELPARAM(WORD(p.x), WORD(p.y)));
        break;
    }
    }
}

// The window moved to a monitor of another scale (or the scale changed):
// Windows scales the menu, frame and dialogs itself; the toolbar images are
// Kelvo's own. The suggested rectangle keeps the window where the user put
// it, at the new scale.
void OnDpiChanged(HWND window, UINT dpi, const RECT* suggested)
{
    SetToolbarScale(dpi);
    MarkupDpiChanged(window, dpi);
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

const wchar_t* VersionText() { return g_versionText; }

bool RegisterWindowClasses(HINSTANCE instance)
{
    WNDCLASSW main{};
    main.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    main.lpfnWndProc = MainWndProc;
    main.hInstance = instance;
    main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
    main.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    main.lpszMenuName = MAKEINTRESOURCEW(kMenuId);
    main.lpszClassName = L"KelvoClass";
    if (!RegisterClassW(&main))
        return false;

    WNDCLASSW notice{};
    notice.lpfnWndProc = PrintWindowProc;
    notice.hInstance = instance;
    notice.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    notice.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    notice.lpszClassName = L"PrintWindow";
    if (!RegisterClassW(&notice))
        return false;

    WNDCLASSW rect{};
    rect.lpfnWndProc = RectWindowProc;
    rect.hInstance = instance;
    rect.lpszClassName = L"RectWindow";
    return RegisterClassW(&rect) != 0;
}

HWND CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExW(0, L"KelvoClass", L"Kelvo",
                           WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (OnClipboardRenderMessage(window, message, wParam))
        return 0;
    LRESULT markup;
    if (MarkupMessage(window, message, wParam, lParam, &markup))
        return markup;
    switch (message) {
    case WM_CREATE:
        OnCreate(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_ENDSESSION:
        // Windows is logging off or shutting down: the message loop will
        // not end normally, so what the user chose is kept now.
        if (wParam) {
            SaveSettings();
            WaitForPrintJobs(kPrintJobsAtSessionEndMs);
        }
        return 0;
    case kPrintJobEndedMessage:
        OnPrintJobEnded(window);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), lParam);
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(window, reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_NOTIFY: {
        bool handled = false;
        LRESULT result = OnToolbarNotify(window, reinterpret_cast<NMHDR*>(lParam), &handled);
        if (handled)
            return result;
        break;
    }
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        if (!OnPickDoubleClick(window))
            ShowWindow(window, IsZoomed(window) ? SW_SHOWNORMAL : SW_SHOWMAXIMIZED);
        return 0;
    case WM_RBUTTONDOWN:
        OnRightButton(window, wParam, lParam);
        return 0;
    case kNotifyMessage:
        OnNotifyIcon(window, lParam);
        return 0;
    case WM_PAINT:
        PaintMainWindow(window);
        return 0;
    case WM_SIZE:
        OnMainSize(window, wParam, lParam);
        return 0;
    case WM_HSCROLL:
        OnMainScroll(window, SB_HORZ, wParam);
        return 0;
    case WM_VSCROLL:
        OnMainScroll(window, SB_VERT, wParam);
        return 0;
    case WM_KEYDOWN:
        OnMainKeyDown(window, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        OnMainWheel(window, wParam, false);
        return 0;
    case WM_MOUSEHWHEEL:
        OnMainWheel(window, wParam, true);
        return 0;
    case WM_TIMER:
        SnapshotTick(window);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnPickButtonDown(window);
        return 0;
    case WM_MOUSEMOVE:
        OnPickMouseMove(window);
        return 0;
    case WM_LBUTTONUP:
        OnPickButtonUp(window);
        return 0;
    case WM_CAPTURECHANGED:
        OnPickCaptureLost(window);
        return 0;
    }
    if (message == g_taskbarCreated && message != 0) {
        AddNotifyIcon(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
