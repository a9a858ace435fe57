// The mouse pointer drawn into a grab, and the option that asks for it.
// The screen read never holds the pointer (the system lays it over the
// screen), so Kelvo draws the pointer's own picture where it stands.
#include "capture/capture.h"
#include "capture/cursor_rules.h"

namespace {

// Off at every first start; LoadPointerOption brings back the stored one.
bool g_includePointer;

// The size of the pointer's picture in pixels, from its own bitmaps: a
// scaled system (or a large pointer chosen in the accessibility settings)
// has larger cursors than SM_CXCURSOR says. A monochrome cursor keeps its
// AND and XOR masks one above the other in one bitmap twice its height.
bool PointerPicture(HCURSOR cursor, PointerShape& shape)
{
    ICONINFO info{};
    if (!GetIconInfo(cursor, &info))
        return false;
    BITMAP bitmap{};
    bool sized = false;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        shape.width = bitmap.bmWidth;
        shape.height = bitmap.bmHeight;
        sized = true;
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
        shape.width = bitmap.bmWidth;
        shape.height = bitmap.bmHeight / 2;
        sized = true;
    }
    shape.hotX = int32_t(info.xHotspot);
    shape.hotY = int32_t(info.yHotspot);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return sized;
}

}  // namespace

bool PointerIncluded() { return g_includePointer; }

void IncludePointerCommand(HWND)
{
    g_includePointer = !g_includePointer;
}

bool HoldPointer(HeldPointer& held)
{
    held = HeldPointer{};
    if (!g_includePointer)
        return false;
    CURSORINFO info{};
    info.cbSize = sizeof info;
    // A hidden pointer (while typing, on a touch screen) is not drawn.
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING))
        return false;
    // Wine names the cursor of the active window's thread only: while no
    // window is active (Kelvo's own hidden for the grab) it names none,
    // though the pointer shows. The standard arrow stands in for it.
    if (!info.hCursor)
        info.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    if (!info.hCursor)
        return false;
    PointerShape shape{{info.ptScreenPos.x, info.ptScreenPos.y}, 0, 0, 0, 0};
    if (!PointerPicture(info.hCursor, shape))
        return false;
    held.cursor = info.hCursor;
    held.shape = shape;
    return true;
}

void DrawHeldPointer(HBITMAP bitmap, const GrabRect& grab, const HeldPointer& held)
{
    Corner at{};
    if (!bitmap || !held.cursor || !PlacePointer(held.shape, grab, at))
        return;
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory)
        return;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // The size and hot spot were read when the pointer was held; a cursor
    // its program has destroyed since simply draws nothing.
    DrawIconEx(memory, at.x, at.y, held.cursor, held.shape.width, held.shape.height, 0, nullptr,
               DI_NORMAL);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void DrawPointerInto(HBITMAP bitmap, const GrabRect& grab)
{
    HeldPointer held;
    if (bitmap && HoldPointer(held))
        DrawHeldPointer(bitmap, grab, held);
}

void LoadPointerOption(HKEY key)
{
    uint8_t data[4] = {};
    DWORD type = 0;
    DWORD length = sizeof data;
    LONG rc = RegQueryValueExA(key, kPointerOptionValue, nullptr, &type, data, &length);
    g_includePointer = PointerOptionFromStored(StoredValue{rc == ERROR_SUCCESS, type, length, data});
}

void SavePointerOption(HKEY key)
{
    DWORD value = g_includePointer ? 1 : 0;
    RegSetValueExA(key, kPointerOptionValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}
