// Command ids of the main window: menus, toolbar, popup menu and the
// notification icon all send these as WM_COMMAND. They double as the ids
// of the tooltip strings.
#pragma once

enum Command : int {
    kCmdPrint = 40001,           // lParam 1: capture and output
    kCmdPreview = 40002,
    kCmdPrinterSetup = 40003,
    kCmdScale = 40004,
    kCmdExit = 40005,
    kCmdDelete = 40006,
    kCmdIconic = 40007,
    kCmdSave = 40008,
    kCmdOutputFile = 40009,
    kCmdOutputPrinter = 40010,
    kCmdCaptureKey = 40011,
    kCmdAbout = 40012,
    kCmdDiscardPrinter = 40013,  // also the string id of the version text
    kCmdDesktop = 40014,
    kCmdWindow = 40015,
    kCmdRectangle = 40016,
    kCmdZoom = 40020,
    kCmdShowPrint = 40022,
    kCmdOpen = 40023,
    kCmdSavePrinter = 40024,
    kCmdLoadPrinter = 40025,
    kCmdReadPrinterAtStart = 40026,
    kCmdSnapshot = 40053,
    kCmdWallpaper = 40054,
    kCmdHelpContents = 40055,
    kCmdHelpOnHelp = 40056,
    kCmdFixedRange = 40057,
    kCmdCustomize = 40059,
    kCmdLastRegion = 40110,
    kCmdIncludePointer = 40111,
    // Posted by the keyboard hook for the capture key with Alt; lParam is
    // the foreground window at the key press.
    kCmdActiveWindow = 40112,
    kCmdMarkup = 40120,  // the markup editor; its bar's commands follow up to 40146
    kCmdStillSelect = 40100,
};

// The marker in lParam that turns kCmdPrint into the capture-and-output
// command (capture key, DDE service, snapshot timer).
constexpr long kCaptureAndOutputMarker = 1;

// The version text shown in the About box is string 40013.
constexpr int kVersionStringId = 40013;
