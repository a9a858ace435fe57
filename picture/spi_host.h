// Kelvo's side of the plug-in helper process kelvo-spihost.exe: starting
// it from Kelvo's folder, one request at a time with a limit on each step,
// taking over the picture it shares, and ending it. What the requests mean and
// what to do when the helper fails is the plug-in manager's business
// (picture/plugins.cpp).
#pragma once
#include <windows.h>

#include <cstdint>

#include "picture/spi_protocol.h"

class SpiHost {
public:
    enum class Outcome {
        kAnswered,
        kEnded,     // the helper ended (crashed) before it answered
        kTimedOut,  // a step went past its limit; the helper has been ended
    };

    SpiHost() = default;
    ~SpiHost();
    SpiHost(const SpiHost&) = delete;
    SpiHost& operator=(const SpiHost&) = delete;

    // Starts a new helper with directory as its current directory and
    // waits until it is ready, at most timeoutMs.
    bool Start(const wchar_t* directory, DWORD timeoutMs);
    bool running() const { return process_ != nullptr; }
    // Held and not ended: a helper can end between requests (ended by the
    // user, or by a plug-in's own thread) with its handle still held.
    bool alive() const;
    // Whether kelvo-spihost.exe is missing from Kelvo's folder.
    static bool HelperMissing();
    // The shared channel: write a request's payload here before Call, read
    // the answer after it. Stays readable after a failed call until Kill.
    uint8_t* channel() const { return channel_; }

    // Sends the request whose payload is in the channel and waits for the
    // answer. Each step of the helper's (a call into a plug-in, the work
    // between two) has stepLimitMs, counted from the helper's last sign of
    // life, so a plug-in that reports progress while it decodes may take
    // as long as it needs. Meanwhile Kelvo's windows are painted and
    // messages other threads and programs send are answered, but nothing
    // posted (input, commands) is taken from the queue before the answer.
    Outcome Call(spihost::Request request, DWORD stepLimitMs);

    // The picture mapping an answer names, mapped into Kelvo for reading:
    // the view held from an earlier answer when it is the same mapping,
    // else the new one mapped whole. Null when it cannot be mapped as
    // large as the answer says, or when any page of it is not committed
    // and readable (the helper is not trusted to have made it whole).
    const uint8_t* SharedPicture(const spihost::PictureAnswer& answer);

    // A handle of Kelvo's given to the running helper with read access to
    // a file mapping: the number to name it by in a request, 0 when it
    // cannot be given. The helper closes it.
    uint32_t GiveMapping(HANDLE mapping) const;

    // Asks the helper to unload its plug-ins and end; ends it outright
    // when it has not done so within timeoutMs.
    void Stop(DWORD timeoutMs);
    // Ends the helper at once (if still running) and lets go of it.
    void Kill();

private:
    HANDLE process_ = nullptr;
    HANDLE mapping_ = nullptr;
    uint8_t* channel_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE answer_ = nullptr;
    HANDLE self_ = nullptr;  // Kelvo's own process, as the helper inherits it
    // Ends every helper when Kelvo ends, however it ends: the system closes
    // this handle then, even while a plug-in keeps the helper busy.
    HANDLE job_ = nullptr;
    uint32_t serial_ = 0;
    const uint8_t* picture_ = nullptr;
    uint32_t pictureGeneration_ = 0;
    uint64_t pictureCapacity_ = 0;
};
