// Toolbar of the main window.
#include "app/toolbar.h"

#include <commctrl.h>

#include <initializer_list>

#include "app/app.h"
#include "app/commands.h"
#include "app/dpi.h"
#include "res/resource.h"

namespace {

HWND g_toolbar;
// The toolbar's images at the scale it is shown at; the toolbar does not
// own a list it is given, so it is destroyed here when replaced.
HIMAGELIST g_images;
// The strips' background: light grey, entry 7 of their palette.
constexpr COLORREF kFaceGrey = RGB(192, 192, 192);

// Position -> image and command; image -1 is a separator.
struct Entry {
    int image;
    int command;
};
const Entry kEntries[kToolbarEntries] = {
    {0, kCmdOpen},    {1, kCmdSave},      {-1, 0},           {2, kCmdPrint},
    {-1, 0},          {3, kCmdDesktop},   {4, kCmdWindow},   {5, kCmdRectangle},
    {-1, 0},          {6, kCmdSnapshot},  {-1, 0},           {7, kCmdZoom},
    {8, kCmdDelete},  {-1, 0},            {9, kCmdPreview},  {10, kCmdShowPrint},
    {11, kCmdIconic}, {-1, 0},            {13, kCmdWallpaper}, {-1, 0},
    {12, kCmdAbout},
    // Added after the first release, so at the end: the order users knew
    // stays as it was.
    {-1, 0},          {TBIMG_MARKUP, kCmdMarkup},
};

TBBUTTON Button(int position)
{
    TBBUTTON b{};
    const Entry& e = kEntries[position];
    b.iBitmap = e.image < 0 ? 0 : e.image;
    b.idCommand = e.command;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = e.image < 0 ? BTNS_SEP : BTNS_BUTTON;
    return b;
}

// Loads string id into buffer, at most 32 units and never more than the
// buffer holds; an id without a string (separators) gives "".
template <typename Char>
void LoadButtonText(int id, Char* buffer, int capacity);

template <>
void LoadButtonText<wchar_t>(int id, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    buffer[0] = 0;
    if (id)
        LoadStringW(g_instance, id, buffer, capacity < 32 ? capacity : 32);
}

template <>
void LoadButtonText<char>(int id, char* buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    buffer[0] = 0;
    if (id)
        LoadStringA(g_instance, id, buffer, capacity < 32 ? capacity : 32);
}

template <typename NmToolbar>
LRESULT GetButtonInfo(NmToolbar* tb)
{
    if (tb->iItem < 0 || tb->iItem >= kToolbarEntries)
        return 0;
    LoadButtonText(kEntries[tb->iItem].command, tb->pszText, tb->cchText);
    tb->tbButton = Button(tb->iItem);
    return 1;
}

// The strip drawn for one of the sizes ChooseToolbarImages picks.
int StripResource(int drawn)
{
    switch (drawn) {
    case 24: return IDB_TOOLBAR_24;
    case 32: return IDB_TOOLBAR_32;
    }
    return IDB_TOOLBAR;
}

// The strip's images enlarged factor times, every pixel a sharp square,
// each on a square of the button face's grey (the 100 % strip is a pixel
// shorter than wide); null when the copy cannot be made.
HBITMAP SquareImages(HBITMAP strip, int factor)
{
    BITMAP info{};
    if (!GetObjectW(strip, sizeof info, &info))
        return nullptr;
    const int width = info.bmWidth * factor;
    const int side = info.bmWidth / TOOLBAR_IMAGE_COUNT * factor;
    HBITMAP copy = nullptr;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    if (from && to)
        copy = CreateCompatibleBitmap(screen, width, side);
    if (copy) {
        HGDIOBJ oldFrom = SelectObject(from, strip);
        HGDIOBJ oldTo = SelectObject(to, copy);
        RECT all{0, 0, width, side};
        HBRUSH face = CreateSolidBrush(kFaceGrey);
        FillRect(to, &all, face);
        DeleteObject(face);
        SetStretchBltMode(to, COLORONCOLOR);
        StretchBlt(to, 0, 0, width, info.bmHeight * factor, from, 0, 0, info.bmWidth,
                   info.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from)
        DeleteDC(from);
    if (to)
        DeleteDC(to);
    ReleaseDC(nullptr, screen);
    return copy;
}

// The image list of the strip for dpi; its light grey shows the button
// face through, whatever colour the face has.
HIMAGELIST MakeImages(UINT dpi)
{
    ToolbarImages choice = ChooseToolbarImages(dpi);
    HBITMAP strip = static_cast<HBITMAP>(LoadImageW(
        g_instance, MAKEINTRESOURCEW(StripResource(choice.drawn)), IMAGE_BITMAP, 0, 0, 0));
    if (!strip)
        return nullptr;
    HBITMAP images = SquareImages(strip, choice.factor);
    DeleteObject(strip);
    if (!images)
        return nullptr;
    const int side = choice.size();
    HIMAGELIST list = ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, TOOLBAR_IMAGE_COUNT, 0);
    if (list && ImageList_AddMasked(list, images, kFaceGrey) < 0) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    DeleteObject(images);
    return list;
}

}  // namespace

HWND MainToolbar() { return g_toolbar; }

HWND CreateMainToolbar(HWND mainWindow)
{
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_BAR_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&classes);
    TBBUTTON buttons[kToolbarEntries];
    for (int i = 0; i < kToolbarEntries; ++i)
        buttons[i] = Button(i);
    // The images come as a list drawn for the window's scale, not as a
    // bitmap the toolbar would take at one size only.
    UINT dpi = WindowDpi(mainWindow);
    int size = ChooseToolbarImages(dpi).size();
    g_toolbar = CreateToolbarEx(mainWindow, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE,
                                kToolbarId, 0, nullptr, 0, buttons, kToolbarEntries, 0, 0, size,
                                size, sizeof(TBBUTTON));
    SetToolbarScale(dpi);
    return g_toolbar;
}

void SetToolbarScale(UINT dpi)
{
    if (!g_toolbar)
        return;
    HIMAGELIST images = MakeImages(dpi);
    if (!images)
        return;
    SendMessageW(g_toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (g_images)
        ImageList_Destroy(g_images);
    g_images = images;
    // The toolbar keeps its buttons as wide as they were for larger
    // images; they are sized to the new images here.
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    DWORD padding = DWORD(SendMessageW(g_toolbar, TB_GETPADDING, 0, 0));
    SendMessageW(g_toolbar, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(width + LOWORD(padding), height + HIWORD(padding)));
    SendMessageW(g_toolbar, TB_AUTOSIZE, 0, 0);
}

void DestroyToolbarImages()
{
    if (g_images)
        ImageList_Destroy(g_images);
    g_images = nullptr;
}

void UpdateToolbarForPicture(bool present)
{
    if (!g_toolbar)
        return;
    for (int command : {kCmdSave, kCmdPrint, kCmdZoom, kCmdDelete, kCmdWallpaper, kCmdMarkup})
        SendMessageA(g_toolbar, TB_ENABLEBUTTON, command, MAKELPARAM(present ? TRUE : FALSE, 0));
}

void SetToolbarPressed(int command, bool pressed)
{
    if (g_toolbar)
        SendMessageA(g_toolbar, TB_CHECKBUTTON, command, MAKELPARAM(pressed ? TRUE : FALSE, 0));
}

LRESULT OnToolbarNotify(HWND, NMHDR* header, bool* handled)
{
    *handled = true;
    switch (header->code) {
    case TTN_NEEDTEXTW: {
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(header);
        tip->hinst = g_instance;
        tip->lpszText = tip->szText;
        LoadButtonText(int(header->idFrom), tip->szText, 32);
        return 1;
    }
    case TTN_NEEDTEXTA: {
        auto* tip = reinterpret_cast<NMTTDISPINFOA*>(header);
        tip->hinst = g_instance;
        tip->lpszText = tip->szText;
        LoadButtonText(int(header->idFrom), tip->szText, 32);
        return 1;
    }
    case TBN_GETBUTTONINFOW:
        return GetButtonInfo(reinterpret_cast<NMTOOLBARW*>(header));
    case TBN_GETBUTTONINFOA:
        return GetButtonInfo(reinterpret_cast<NMTOOLBARA*>(header));
    case TBN_QUERYINSERT:
    case TBN_QUERYDELETE:
        return 1;
    }
    *handled = false;
    return 0;
}
