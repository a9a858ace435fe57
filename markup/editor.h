// The markup editor in the main window: 「編集」 turns the window into
// the editor (a bar of tools under the toolbar, the picture drawn from
// the editor's own copy), 「確定」 puts the marked-up picture on the
// clipboard as the current picture, 「取消」 leaves the picture as it was.
#pragma once
#include <windows.h>

bool MarkupActive();
// Memory the editor's undo steps hold (for the benchmark).
size_t MarkupUndoBytes();
// Command 40120: starts the editor on the current picture, or, when it is
// on, leaves it keeping the edit.
void MarkupCommand(HWND window);
// Called by the main window procedure before its own handling: true when
// the editor took the message (*result is then the answer).
bool MarkupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// The window moved to a monitor of another scale: the bar follows, below
// the toolbar already scaled.
void MarkupDpiChanged(HWND window, UINT dpi);

// --- the editor's bar (editor_bar.cpp) ---------------------------------
HWND CreateMarkupBar(HWND window, int top);
// Gives the bar's labels the message font of dpi.
void SetMarkupBarScale(HWND bar, UINT dpi);
// The bar and its font.
void DestroyMarkupBar(HWND bar);
void PlaceMarkupBar(HWND bar, HWND window, int top);
int MarkupBarHeight(HWND bar);
// Shows which tool, colour, width, text size and fill are chosen.
void ShowMarkupChoices(HWND bar, int toolIndex, int colourIndex, int widthIndex, int textSizeIndex,
                       bool filled);
