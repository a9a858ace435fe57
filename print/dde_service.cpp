// The DDE service "KELVO", topic "Norvik": an execute of "print" or a poke
// to the item "PRINT" makes the main window capture and output. The
// callback only compares names and posts the command, so the client's
// acknowledgement says the request was taken, not that output succeeded.
#include "print/dde_service.h"
#include "print/dde_command.h"

#include <windows.h>
#include <ddeml.h>

#include <initializer_list>

#include "app/app.h"
#include "app/commands.h"

namespace {

DWORD g_ddeInstance;
HSZ g_serviceName;
HSZ g_topicName;
HSZ g_itemName;

bool SameName(HSZ a, HSZ b)
{
    return a && b && DdeCmpStringHandles(a, b) == 0;
}

// False when the command could not be queued (the main window is gone,
// or its queue is full under a burst of requests): the client is then
// told busy, never that a capture it will not get was accepted.
bool PostCaptureAndOutput()
{
    return PostMessageA(g_mainWindow, WM_COMMAND, kCmdPrint, kCaptureAndOutputMarker) != FALSE;
}

bool IsPrintExecute(HDDEDATA data)
{
    if (!data)
        return false;
    BYTE command[kDdeCommandBytes];
    DWORD received = DdeGetData(data, command, sizeof command, 0);
    return IsPrintCommand(command, received);
}

HDDEDATA CALLBACK DdeCallback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                              ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        // hsz1 is the topic, hsz2 the service.
        return reinterpret_cast<HDDEDATA>(
            SameName(hsz2, g_serviceName) && SameName(hsz1, g_topicName) ? TRUE : FALSE);
    case XTYP_EXECUTE:
        if (SameName(hsz1, g_topicName) && IsPrintExecute(data))
            return reinterpret_cast<HDDEDATA>(PostCaptureAndOutput() ? DDE_FACK : DDE_FBUSY);
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    case XTYP_POKE:
        // Any data in any format: the poke itself is the request.
        if (SameName(hsz2, g_itemName))
            return reinterpret_cast<HDDEDATA>(PostCaptureAndOutput() ? DDE_FACK : DDE_FBUSY);
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    case XTYP_ADVSTART:
    case XTYP_ADVSTOP:
        // The loop may start, but no advise data is ever sent.
        return reinterpret_cast<HDDEDATA>(SameName(hsz2, g_itemName) ? TRUE : FALSE);
    }
    return nullptr;
}

}  // namespace

int StartDdeService()
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, DdeCallback, CBF_FAIL_REQUESTS, 0) != DMLERR_NO_ERROR)
        return 0;
    g_ddeInstance = instance;
    g_serviceName = DdeCreateStringHandleA(g_ddeInstance, "KELVO", 0);
    g_topicName = DdeCreateStringHandleA(g_ddeInstance, "Norvik", 0);
    g_itemName = DdeCreateStringHandleA(g_ddeInstance, "PRINT", 0);
    DdeNameService(g_ddeInstance, g_serviceName, nullptr, DNS_REGISTER);
    return 1;
}

int StopDdeService()
{
    if (g_ddeInstance == 0)
        return 0;
    DdeNameService(g_ddeInstance, g_serviceName, nullptr, DNS_UNREGISTER);
    for (HSZ* name : {&g_serviceName, &g_topicName, &g_itemName}) {
        if (*name)
            DdeFreeStringHandle(g_ddeInstance, *name);
        *name = nullptr;
    }
    DdeUninitialize(g_ddeInstance);
    g_ddeInstance = 0;
    return 1;
}
