// Toolbar of the main window.
#include "app/toolbar.h"

#include <commctrl.h>

#include <initializer_list>

#include "app/app.h"
#include "app/commands.h"

namespace {

HWND g_toolbar;

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

}  // namespace

HWND MainToolbar() { return g_toolbar; }

HWND CreateMainToolbar(HWND mainWindow)
{
    InitCommonControls();
    TBBUTTON buttons[kToolbarEntries];
    for (int i = 0; i < kToolbarEntries; ++i)
        buttons[i] = Button(i);
    g_toolbar = CreateToolbarEx(mainWindow, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | CCS_ADJUSTABLE,
                                kToolbarId, kToolbarEntries, g_instance, kToolbarBitmap, buttons,
                                kToolbarEntries, 0, 0, 16, 16, sizeof(TBBUTTON));
    return g_toolbar;
}

void UpdateToolbarForPicture(bool present)
{
    if (!g_toolbar)
        return;
    for (int command : {kCmdSave, kCmdPrint, kCmdZoom, kCmdDelete, kCmdWallpaper})
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
