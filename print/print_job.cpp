// The print job on its worker thread and the printing notice window.
#include "print/print.h"

#include <commdlg.h>

#include <new>
#include <vector>

#include "app/app.h"
#include "app/dpi.h"
#include "app/settings.h"
#include "capture/capture.h"
#include "picture/clipboard_formats.h"
#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/picture.h"
#include "print/page_layout.h"
#include "print/printer_settings.h"
#include "res/resource.h"

namespace {

// What one worker needs, handed over whole: each job has its own, so a
// second job cannot overwrite the first one's printer, and the copies of
// the printer settings stay valid whatever the main thread does with the
// held ones meanwhile.
struct PrintRequest {
    HWND owner;
    HDC dc;            // from the Print dialog, or null
    HGLOBAL devMode;   // copies of the held settings when dc is null
    HGLOBAL devNames;
    WORD copies;       // pages to print, one per copy asked for
};

const wchar_t kNoStretchMessage[] = L"このプリンターでは処理機能がありません";
const wchar_t kNoticeText[] = L"  印刷中...";
constexpr DWORD kNoticeMs = 1000;
// Another program may hold the clipboard for a moment.
constexpr DWORD kClipboardPatienceMs = 2000;

HDC CreateDcFromSettings(HGLOBAL devMode, HGLOBAL devNames)
{
    LockedBlock<DEVMODEA> mode(devMode);
    LockedBlock<uint8_t> names(devNames);
    if (!mode || !names)
        return nullptr;
    auto* header = reinterpret_cast<const DEVNAMES*>(names.get());
    const char* base = reinterpret_cast<const char*>(names.get());
    return CreateDCA(base + header->wDriverOffset, base + header->wDeviceOffset,
                     base + header->wOutputOffset, mode.get());
}

// Workers still running, kept so that the program can let them finish
// when it ends instead of cutting their pages off.
std::vector<HANDLE> g_workers;
// Jobs started and not yet reported ended; counted on the main thread.
int g_jobsPrinting;

const wchar_t kPrintingReason[] = L"印刷中です";

// While a page is on its way, a log-off or shutdown shows why Kelvo holds
// it up instead of ending it unasked. Both functions are looked up, not
// imported: Windows XP has neither and would not start the program. Only
// the thread that made the window may set or clear its reason.
void SetShutdownReason(HWND window, bool printing)
{
    HMODULE user = GetModuleHandleW(L"user32.dll");
    if (printing) {
        using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
        if (auto create = reinterpret_cast<Create>(GetProcAddress(user, "ShutdownBlockReasonCreate")))
            create(window, kPrintingReason);
    } else {
        using Destroy = BOOL(WINAPI*)(HWND);
        if (auto destroy =
                reinterpret_cast<Destroy>(GetProcAddress(user, "ShutdownBlockReasonDestroy")))
            destroy(window);
    }
}

// Waits for one worker, at most timeoutMs, handling the messages other
// threads send to this one meanwhile: a worker that grabs the screen
// itself sends the main window its new title and the clipboard's
// notices, and would wait on this thread as long as this thread waits on
// it. Posted messages and input stay queued.
bool WaitForWorker(HANDLE worker, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        DWORD left = spent < timeoutMs ? timeoutMs - spent : 0;
        DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ForgetFinishedWorkers()
{
    for (size_t i = 0; i < g_workers.size();) {
        if (WaitForSingleObject(g_workers[i], 0) == WAIT_OBJECT_0) {
            CloseHandle(g_workers[i]);
            g_workers.erase(g_workers.begin() + long(i));
        } else {
            ++i;
        }
    }
}

bool OpenClipboardPatiently(HWND owner)
{
    // A job that outlives the main window (the program is ending) reads
    // the clipboard without an owner window.
    if (!IsWindow(owner))
        owner = nullptr;
    DWORD start = GetTickCount();
    while (!OpenClipboard(owner)) {
        if (GetTickCount() - start >= kClipboardPatienceMs)
            return false;
        Sleep(20);
    }
    return true;
}

// The current picture as a Capture DIB; the desktop is captured first when
// the clipboard holds no picture.
HGLOBAL DibOfClipboard(HWND owner)
{
    if (!OpenClipboardPatiently(owner))
        return nullptr;
    if (!IsClipboardFormatAvailable(CF_BITMAP) && !ClipboardHoldsForeignPicture()) {
        // The grab opens, fills and closes the clipboard itself.
        CloseClipboard();
        GrabScreen(owner, nullptr, nullptr);
        if (!OpenClipboardPatiently(owner))
            return nullptr;
    }
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    auto palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    // Another program's picture given only as "PNG", decoded for this job
    // alone (the view's decoded copy belongs to the main thread).
    HBITMAP foreign = bitmap ? nullptr : DecodeForeignPicture();
    HGLOBAL dib = bitmap || foreign ? MakeDibFromBitmap(bitmap ? bitmap : foreign, palette) : nullptr;
    if (foreign)
        DeleteObject(foreign);
    CloseClipboard();
    return dib;
}

// The scale of this job. A 0 becomes 100 in the setting itself, unless the
// scale dialog has stored something else in the meantime.
uint32_t TakeScale()
{
    auto* scale = reinterpret_cast<volatile LONG*>(&g_settings.scale);
    LONG previous = InterlockedCompareExchange(scale, 100, 0);
    return EffectiveScale(uint32_t(previous));
}

void ShowPrintingNotice()
{
    // 200 x 50 at 100 %, at the scale of the monitor that shows Kelvo, where
    // the notice is centred (it is made there, so that it starts at that
    // monitor's scale).
    RECT area = WorkAreaOf(g_mainWindow);
    UINT dpi = MonitorDpi(MonitorFromPoint(POINT{area.left, area.top}, MONITOR_DEFAULTTOPRIMARY));
    HWND notice = CreateWindowExW(WS_EX_WINDOWEDGE | WS_EX_TOPMOST, L"PrintWindow", L"PrintWindow",
                                  WS_POPUPWINDOW, area.left, area.top, ScaleForDpi(200, dpi),
                                  ScaleForDpi(50, dpi), nullptr, nullptr, g_instance, nullptr);
    if (!notice)
        return;
    ShowWindow(notice, SW_SHOWNORMAL);
    // Paints, holds the notice and destroys it before returning.
    UpdateWindow(notice);
    if (IsWindow(notice))
        DestroyWindow(notice);
}

// Puts the picture on one page per copy; false when nothing could be
// printed.
bool PrintPages(HWND owner, HDC dc, WORD copies)
{
    uint32_t scale = TakeScale();
    if (!(GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHDIB)) {
        ShowMessage(nullptr, kNoStretchMessage, nullptr, MB_ICONHAND);
        return false;
    }
    PagePlacement place =
        PlacePicture(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), scale);
    HGLOBAL dib = DibOfClipboard(owner);
    if (!dib)
        return false;
    bool printed = false;
    {
        LockedBlock<DibHeader> header(dib);
        if (header) {
            if (g_settings.showPrint)
                ShowPrintingNotice();
            int32_t height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
            for (WORD copy = 0; copy < copies; ++copy) {
                StartPage(dc);
                SetStretchBltMode(dc, COLORONCOLOR);
                StretchDIBits(dc, place.x, place.y, place.width, place.height, 0, 0,
                              header->biWidth, height, DibPixelBits(header.get()),
                              reinterpret_cast<BITMAPINFO*>(header.get()), DIB_RGB_COLORS,
                              SRCCOPY);
                EndPage(dc);
            }
            printed = true;
        }
    }
    GlobalFree(dib);
    return printed;
}

void RunJob(const PrintRequest& request)
{
    HDC dc = request.dc;
    if (!dc) {
        dc = CreateDcFromSettings(request.devMode, request.devNames);
        if (!dc)
            return;
    }
    DOCINFOA document{};
    document.cbSize = sizeof document;
    document.lpszDocName = "PRINT_SCREEN";
    document.lpszDatatype = "RAW";
    if (StartDocA(dc, &document) > 0) {
        // A document that got no page is cancelled, not sent empty.
        if (PrintPages(request.owner, dc, request.copies))
            EndDoc(dc);
        else
            AbortDoc(dc);
    }
    DeleteDC(dc);
}

void FreeRequest(PrintRequest* request)
{
    if (request->devMode)
        GlobalFree(request->devMode);
    if (request->devNames)
        GlobalFree(request->devNames);
    delete request;
}

DWORD WINAPI PrintWorker(void* parameter)
{
    auto* request = static_cast<PrintRequest*>(parameter);
    HWND owner = request->owner;
    RunJob(*request);
    FreeRequest(request);
    // The page is with the printer (or will never be): the main thread
    // lifts the hold on the end of the session.
    PostMessageW(owner, kPrintJobEndedMessage, 0, 0);
    return 0;
}

// The number of copies the Print dialog asks the program to print (the
// dialog was not told that the driver makes them, so it leaves them to
// the program), and a driver set to print one of each page.
void TakeCopies(const PRINTDLGA& dialog, PrintRequest* request)
{
    request->copies = dialog.nCopies > 0 ? dialog.nCopies : 1;
    if (!dialog.hDevMode)
        return;
    LockedBlock<DEVMODEA> mode(dialog.hDevMode);
    if (mode && (mode->dmFields & DM_COPIES) && mode->dmCopies > 1) {
        if (request->copies < WORD(mode->dmCopies))
            request->copies = WORD(mode->dmCopies);
        mode->dmCopies = 1;
        ResetDCA(dialog.hDC, mode.get());
    }
}

}  // namespace

void WaitForPrintJobs(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (HANDLE worker : g_workers) {
        DWORD spent = GetTickCount() - start;
        WaitForWorker(worker, spent < timeoutMs ? timeoutMs - spent : 0);
        CloseHandle(worker);
    }
    g_workers.clear();
}

void OnPrintJobEnded(HWND mainWindow)
{
    if (g_jobsPrinting > 0 && --g_jobsPrinting == 0)
        SetShutdownReason(mainWindow, false);
    ForgetFinishedWorkers();
}

void StartPrint(HWND owner, bool automatic)
{
    auto* request = new (std::nothrow) PrintRequest{owner, nullptr, nullptr, nullptr, 1};
    if (!request)
        return;
    if (automatic && PrinterSettingsHeld()) {
        // Held but unusable settings print nothing, as a failed device
        // context would.
        if (!CopyPrinterSettings(&request->devMode, &request->devNames)) {
            FreeRequest(request);
            return;
        }
    } else {
        PRINTDLGA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.Flags = PD_RETURNDC | (automatic ? PD_RETURNDEFAULT : 0);
        if (!PrintDlgA(&dialog)) {
            delete request;
            return;
        }
        // The copies asked for are printed here, one page each: the
        // driver is told to make one, or every copy would come out
        // several times.
        if (dialog.hDC)
            TakeCopies(dialog, request);
        // The choice made in the dialog holds for this one job.
        if (dialog.hDevMode)
            GlobalFree(dialog.hDevMode);
        if (dialog.hDevNames)
            GlobalFree(dialog.hDevNames);
        if (!dialog.hDC) {
            delete request;
            return;
        }
        request->dc = dialog.hDC;
    }
    // The handle is kept until the worker has ended (it is released once,
    // here or when the program ends), and the worker never needs it.
    ForgetFinishedWorkers();
    DWORD threadId = 0;
    HANDLE worker = CreateThread(nullptr, 0, PrintWorker, request, 0, &threadId);
    if (worker) {
        g_workers.push_back(worker);
        if (g_jobsPrinting++ == 0)
            SetShutdownReason(owner, true);
        return;
    }
    if (request->dc)
        DeleteDC(request->dc);
    FreeRequest(request);
}

LRESULT CALLBACK PrintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CenterDialog(window, true);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        SetBkMode(dc, TRANSPARENT);
        // Icon, its place and the text follow the scale the notice is shown at.
        UINT dpi = WindowDpi(window);
        int side = ScaleForDpi(32, dpi);
        if (HICON icon = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(IDI_KELVO),
                                                       IMAGE_ICON, side, side, 0))) {
            DrawIconEx(dc, ScaleForDpi(10, dpi), ScaleForDpi(8, dpi), icon, side, side, 0, nullptr,
                       DI_NORMAL);
            DestroyIcon(icon);
        }
        HFONT font = CreateMessageFont(dpi);
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        DrawTextW(dc, kNoticeText, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        if (font) {
            SelectObject(dc, previous);
            DeleteObject(font);
        }
        GdiFlush();
        Sleep(kNoticeMs);
        EndPaint(window, &paint);
        DestroyWindow(window);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
