// PNG files of Capture DIBs through Kelvo's own PNG writer
// (picture/png_encoder): the picture's pixels exactly, 24-bit for a
// true-colour Capture DIB and indexed with the picture's own colour table
// otherwise. The file is encoded in memory, so that the writer can create,
// fill and, on failure, remove it exactly as it does a BMP file.
#include "picture/picture.h"

#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/png_encoder.h"

#include <algorithm>
#include <functional>

namespace {

// A grab's PNG, encoded on a worker thread while the grabbing thread hands
// the grab to the clipboard (under Wine that hand-over copies the whole
// bitmap into the Wine server and takes about half as long as the
// encoding). Each thread has its own: a print job that grabs the screen on
// its own thread (the clipboard was empty) cannot end or free the one the
// main thread is about to write.
struct PngAhead {
    HANDLE worker = nullptr;
    HGLOBAL dib = nullptr;
    // Empty unless the encoding succeeded.
    std::vector<uint8_t> png;
    // The clipboard's sequence number while it holds the grab; 0 when it
    // never did.
    DWORD sequence = 0;
};
thread_local PngAhead g_ahead;

// Runs on the worker; the grabbing thread reads the result only after the
// worker has ended.
DWORD WINAPI EncodeAhead(void* state)
{
    auto* ahead = static_cast<PngAhead*>(state);
    EncodePng(ahead->dib, &ahead->png);
    return 0;
}

struct WorkerJob {
    const std::function<void(size_t)>* job;
    size_t index;
};

DWORD WINAPI RunWorker(void* state)
{
    auto* worker = static_cast<WorkerJob*>(state);
    (*worker->job)(worker->index);
    return 0;
}

// The first job on the calling thread, every other on a thread of its own
// (or here too, when no thread can be made).
void RunWorkersOnThreads(size_t count, const std::function<void(size_t)>& job)
{
    std::vector<WorkerJob> workers(count);
    std::vector<HANDLE> threads;
    threads.reserve(count);
    for (size_t i = 1; i < count; ++i) {
        workers[i] = WorkerJob{&job, i};
        if (HANDLE thread = CreateThread(nullptr, 0, RunWorker, &workers[i], 0, nullptr))
            threads.push_back(thread);
        else
            job(i);
    }
    job(0);
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

}  // namespace

PngEncoding PngOnEveryCore()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    PngEncoding encoding;
    encoding.workers = std::min<DWORD>(std::max<DWORD>(system.dwNumberOfProcessors, 1), 8);
    // Four bands a worker: the parts of a screen differ in how hard they
    // are to compress, and a worker done with an easy band takes the next.
    encoding.bands = 4 * encoding.workers;
    encoding.runWorkers = RunWorkersOnThreads;
    return encoding;
}

bool EncodePng(HGLOBAL dib, std::vector<uint8_t>* png, const PngEncoding& encoding)
{
    png->clear();
    LockedBlock<uint8_t> p(dib);
    if (!p)
        return false;
    const DibHeader& header = *reinterpret_cast<const DibHeader*>(p.get());
    if (header.biSize < sizeof(DibHeader) || header.biCompression != kBiRgb || header.biWidth <= 0
        || header.biHeight == 0 || DibPackedSize(&header) > GlobalSize(dib))
        return false;
    PngPicture picture;
    picture.width = uint32_t(header.biWidth);
    picture.bottomUp = header.biHeight > 0;
    picture.height = picture.bottomUp ? uint32_t(header.biHeight) : 0u - uint32_t(header.biHeight);
    picture.bitCount = header.biBitCount;
    picture.rows = DibPixelBits(&header);
    picture.stride = size_t(DibRowSize(header.biWidth, header.biBitCount));
    picture.colors = p.get() + header.biSize;
    picture.colorCount = CountDibColors(&header);
    return EncodePngPicture(picture, png, encoding);
}

void StartPngOfGrab(HBITMAP bitmap)
{
    DropPngOfGrab();
    g_ahead.dib = MakeDibFromBitmapAs(bitmap, nullptr, 0);
    if (g_ahead.dib)
        g_ahead.worker = CreateThread(nullptr, 0, EncodeAhead, &g_ahead, 0, nullptr);
    if (!g_ahead.worker)
        DropPngOfGrab();
}

void PngOfGrabOnClipboard(HWND owner, DWORD heldSequence)
{
    if (!g_ahead.worker || heldSequence == 0)
        return;
    // heldSequence was read before the clipboard was closed: no other
    // program could change it then. Closing may still move the number on
    // by one step of its own (Wine adds there the DIB formats it makes
    // from the bitmap). Another program's copy in between takes two steps
    // at least (emptying, then placing), and its emptying alone makes it
    // the clipboard's owner; either way the grab is no longer what the
    // clipboard holds.
    const DWORD now = GetClipboardSequenceNumber();
    const bool stillTheGrab = now - heldSequence <= 1 && GetClipboardOwner() == owner
                              && IsClipboardFormatAvailable(CF_BITMAP);
    g_ahead.sequence = stillTheGrab ? now : 0;
}

namespace {

// Ends the worker and frees the grab's pixels; the PNG it made, empty if
// none.
std::vector<uint8_t> EndPngOfGrab()
{
    if (g_ahead.worker) {
        WaitForSingleObject(g_ahead.worker, INFINITE);
        CloseHandle(g_ahead.worker);
    }
    if (g_ahead.dib)
        GlobalFree(g_ahead.dib);
    std::vector<uint8_t> png;
    png.swap(g_ahead.png);
    g_ahead = PngAhead();
    return png;
}

}  // namespace

bool TakePngOfGrab(std::vector<uint8_t>* png)
{
    // Another picture on the clipboard since the grab (a program's copy
    // while the preview question was open) is the one that goes out.
    const bool current = g_ahead.sequence != 0 && GetClipboardSequenceNumber() == g_ahead.sequence;
    std::vector<uint8_t> made = EndPngOfGrab();
    if (!current || made.empty())
        return false;
    png->swap(made);
    return true;
}

void DropPngOfGrab()
{
    EndPngOfGrab();
}
