// kelvodde.exe: drives a running Kelvo from scripts through its DDE
// service (service "KELVO", topic "Norvik").
//
//   kelvodde                 capture and output once (execute "print")
//   kelvodde poke            the same through a poke to the item "PRINT"
//   kelvodde --repeat 10     ten captures, each acknowledged before the next
//
// The exit status tells a script what happened: 0 accepted, 1 bad command
// line, 2 no such service running, 3 refused by the service, 4 any other
// DDE failure (no answer in time, DDEML not available; a request that got
// no answer in time may still be carried out). Kelvo acknowledges
// as soon as it has queued the capture, so 0 does not mean that the file
// was written or the page printed.
//
// The other commands (execute with any text, request, advise, connect with
// wildcards) exist to look at how the service answers; see usage().
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum Exit : int {
    kAccepted = 0,
    kUsage = 1,
    kNoService = 2,
    kRefused = 3,
    kDdeFailure = 4,
};

struct Options {
    std::string command = "print";
    std::string argument;          // execute text, poke data, request/advise item
    const char* service = "KELVO";  // null: any service
    const char* topic = "Norvik";   // null: any topic
    std::string item = "PRINT";
    std::string format = "1";  // CF_TEXT
    long repeat = 1;
    DWORD timeoutMs = 10000;
    DWORD waitMs = 2000;
    bool withNul = true;
    bool quiet = false;
};

DWORD g_instance;
long g_adviseUpdates;

void Usage(FILE* to)
{
    std::fputs(
        "usage: kelvodde [options] [command] [options]\n"
        "commands:\n"
        "  print            execute \"print\": Kelvo captures and outputs (default)\n"
        "  poke [DATA]      poke DATA (default empty) to the item: the same as print\n"
        "  execute TEXT     execute TEXT (sent with its terminating NUL)\n"
        "  request ITEM     request ITEM and print the data\n"
        "  advise ITEM      start an advise loop on ITEM, count the data that arrives\n"
        "                   within --wait milliseconds, stop the loop\n"
        "  connect          open a conversation and name the partner\n"
        "options:\n"
        "  --service NAME   service name (default KELVO; - for any service)\n"
        "  --topic NAME     topic name (default Norvik; - for any topic)\n"
        "  --item NAME      item of poke (default PRINT)\n"
        "  --format F       clipboard format of poke: a number or a format name (default 1)\n"
        "  --repeat N       send the execute or poke N times, one after the other\n"
        "  --timeout MS     wait at most MS for each answer (default 10000)\n"
        "  --wait MS        how long advise waits for data (default 2000)\n"
        "  --no-nul         execute: send the text without its terminating NUL\n"
        "  --quiet          report failures only\n"
        "  --help           this text\n"
        "  --               take the words that follow as they are (not as options)\n"
        "exit status: 0 accepted (queued in Kelvo)\n"
        "             1 bad command line\n"
        "             2 no service answers: Kelvo is not running\n"
        "             3 refused by the service\n"
        "             4 other DDE failure; after no answer within --timeout the\n"
        "               request may still be carried out (Kelvo may have queued it),\n"
        "               after a busy answer it is not\n",
        to);
}

bool ParseNumber(const char* text, long minimum, long* out)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < minimum)
        return false;
    *out = value;
    return true;
}

// Options may stand before or after the command word and its argument;
// after "--" every word is taken as it stands (an execute text that
// begins with "--"). On refusal *error says what was wrong, for the line
// before the usage text.
bool ParseOptions(int argc, char** argv, Options* o, std::string* error)
{
    std::string words[2];
    int wordCount = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (optionsEnded || name.compare(0, 2, "--") != 0) {
            if (wordCount == 2) {
                *error = "unexpected word '" + name + "'";
                return false;
            }
            words[wordCount++] = name;
            continue;
        }
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        if (name == "--no-nul") {
            o->withNul = false;
            continue;
        }
        if (name == "--quiet") {
            o->quiet = true;
            continue;
        }
        bool known = name == "--service" || name == "--topic" || name == "--item"
                     || name == "--format" || name == "--repeat" || name == "--timeout"
                     || name == "--wait";
        if (!known) {
            *error = "unknown option '" + name + "'";
            return false;
        }
        if (i + 1 >= argc) {
            *error = "option " + name + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        if (name == "--service") {
            o->service = std::strcmp(value, "-") == 0 ? nullptr : value;
        } else if (name == "--topic") {
            o->topic = std::strcmp(value, "-") == 0 ? nullptr : value;
        } else if (name == "--item") {
            o->item = value;
        } else if (name == "--format") {
            o->format = value;
        } else if (name == "--repeat" && ParseNumber(value, 1, &number)) {
            o->repeat = number;
        } else if (name == "--timeout" && ParseNumber(value, 1, &number)) {
            o->timeoutMs = DWORD(number);
        } else if (name == "--wait" && ParseNumber(value, 0, &number)) {
            o->waitMs = DWORD(number);
        } else {
            *error = "bad value '" + std::string(value) + "' for " + name;
            return false;
        }
    }
    if (wordCount > 0)
        o->command = words[0];
    const std::string& c = o->command;
    bool needsArgument = c == "execute" || c == "request" || c == "advise";
    bool takesArgument = needsArgument || c == "poke";
    if (c != "print" && c != "connect" && !takesArgument) {
        *error = "unknown command '" + c + "'";
        return false;
    }
    if (wordCount == 2 && !takesArgument) {
        *error = "command '" + c + "' takes no argument, got '" + words[1] + "'";
        return false;
    }
    if (wordCount < 2 && needsArgument) {
        *error = "command '" + c + "' needs an argument";
        return false;
    }
    if (wordCount == 2)
        o->argument = words[1];
    return true;
}

// The clipboard format of a poke: a number, or a name registered on the fly.
UINT ParseFormat(const std::string& text)
{
    long number = 0;
    if (ParseNumber(text.c_str(), 1, &number) && number <= 0xFFFF)
        return UINT(number);
    return RegisterClipboardFormatA(text.c_str());
}

HDDEDATA CALLBACK ClientCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    if (type == XTYP_ADVDATA) {
        ++g_adviseUpdates;
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    return nullptr;
}

const char* ErrorText(UINT error)
{
    switch (error) {
    case DMLERR_NOTPROCESSED: return "not processed";
    case DMLERR_BUSY: return "busy";
    case DMLERR_EXECACKTIMEOUT: return "no acknowledgement of the execute in time";
    case DMLERR_POKEACKTIMEOUT: return "no acknowledgement of the poke in time";
    case DMLERR_DATAACKTIMEOUT: return "no data in time";
    case DMLERR_ADVACKTIMEOUT: return "no acknowledgement of the advise loop in time";
    case DMLERR_NO_CONV_ESTABLISHED: return "no conversation";
    case DMLERR_SERVER_DIED: return "the service ended during the conversation";
    case DMLERR_MEMORY_ERROR: return "out of memory";
    case DMLERR_INVALIDPARAMETER: return "invalid parameter";
    }
    return "DDE error";
}

// Whether an execute or poke was acknowledged positively. Some DDEML
// implementations (Wine's, for pokes) complete the transaction on a
// negative acknowledgement too and only the status word tells.
bool Acknowledged(HDDEDATA result, DWORD status)
{
    return result != nullptr && (status & DDE_FACK) != 0;
}

// Refusals by the service are exit 3; everything else that goes wrong in
// a transaction is exit 4.
int TransactionFailure(const char* what, const Options& o, DWORD status = 0)
{
    UINT error = DdeGetLastError(g_instance);
    if (error == DMLERR_NO_ERROR && (status & DDE_FBUSY)) {
        // Kelvo could not queue the request: nothing will be carried out.
        std::fprintf(stderr, "kelvodde: %s: Kelvo was too busy to queue it; nothing was done\n",
                     what);
        return kDdeFailure;
    }
    // A completed transaction with a negative acknowledgement sets no error.
    if (error == DMLERR_NO_ERROR)
        error = DMLERR_NOTPROCESSED;
    if (error == DMLERR_EXECACKTIMEOUT || error == DMLERR_POKEACKTIMEOUT) {
        // The request reached the service's queue; a busy Kelvo (one in
        // the middle of a capture) answers late but still carries it out.
        std::fprintf(stderr,
                     "kelvodde: %s: %s (after %lu ms); the request may still be carried out: "
                     "Kelvo may be busy and have queued it\n",
                     what, ErrorText(error), static_cast<unsigned long>(o.timeoutMs));
        return kDdeFailure;
    }
    std::fprintf(stderr, "kelvodde: %s: %s|%s refused it (%s)\n", what,
                 o.service ? o.service : "*", o.topic ? o.topic : "*", ErrorText(error));
    return error == DMLERR_NOTPROCESSED ? kRefused : kDdeFailure;
}

std::string Name(HSZ name)
{
    char text[256] = {};
    if (name)
        DdeQueryStringA(g_instance, name, text, sizeof text, CP_WINANSI);
    return text;
}

// One string handle that frees itself; a null text stands for "any".
class StringHandle {
public:
    explicit StringHandle(const char* text)
        : handle_(text ? DdeCreateStringHandleA(g_instance, text, CP_WINANSI) : nullptr)
    {
    }
    ~StringHandle()
    {
        if (handle_)
            DdeFreeStringHandle(g_instance, handle_);
    }
    StringHandle(const StringHandle&) = delete;
    StringHandle& operator=(const StringHandle&) = delete;
    HSZ get() const { return handle_; }

private:
    HSZ handle_;
};

int Execute(HCONV conversation, const Options& o, const std::string& text)
{
    DWORD size = DWORD(text.size() + (o.withNul ? 1 : 0));
    for (long n = 0; n < o.repeat; ++n) {
        DWORD status = 0;
        HDDEDATA ok = DdeClientTransaction(
            reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())), size, conversation, nullptr,
            0, XTYP_EXECUTE, o.timeoutMs, &status);
        if (!Acknowledged(ok, status)) {
            std::string what = "execute \"" + text + "\"";
            if (o.repeat > 1)
                what += " (" + std::to_string(n + 1) + " of " + std::to_string(o.repeat) + ")";
            return TransactionFailure(what.c_str(), o, status);
        }
    }
    if (!o.quiet)
        std::printf("kelvodde: execute \"%s\" accepted%s\n", text.c_str(),
                    o.repeat > 1 ? (" " + std::to_string(o.repeat) + " times").c_str() : "");
    return kAccepted;
}

int Poke(HCONV conversation, const Options& o)
{
    UINT format = ParseFormat(o.format);
    if (!format) {
        std::fprintf(stderr, "kelvodde: unknown clipboard format %s\n", o.format.c_str());
        return kUsage;
    }
    StringHandle item(o.item.c_str());
    for (long n = 0; n < o.repeat; ++n) {
        DWORD status = 0;
        HDDEDATA ok = DdeClientTransaction(
            reinterpret_cast<LPBYTE>(const_cast<char*>(o.argument.c_str())),
            DWORD(o.argument.size()), conversation, item.get(), format, XTYP_POKE, o.timeoutMs,
            &status);
        if (!Acknowledged(ok, status))
            return TransactionFailure(("poke to " + o.item).c_str(), o, status);
    }
    if (!o.quiet)
        std::printf("kelvodde: poke to %s accepted%s\n", o.item.c_str(),
                    o.repeat > 1 ? (" " + std::to_string(o.repeat) + " times").c_str() : "");
    return kAccepted;
}

int Request(HCONV conversation, const Options& o)
{
    StringHandle item(o.argument.c_str());
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item.get(), CF_TEXT,
                                         XTYP_REQUEST, o.timeoutMs, nullptr);
    if (!data)
        return TransactionFailure(("request " + o.argument).c_str(), o);
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string text(size, '\0');
    if (size)
        DdeGetData(data, reinterpret_cast<LPBYTE>(&text[0]), size, 0);
    DdeFreeDataHandle(data);
    std::printf("kelvodde: request %s answered with %lu bytes: %s\n", o.argument.c_str(),
                static_cast<unsigned long>(size), text.c_str());
    return kAccepted;
}

// Runs the message loop for ms milliseconds so that advise data can arrive.
void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

int Advise(HCONV conversation, const Options& o)
{
    StringHandle item(o.argument.c_str());
    if (!DdeClientTransaction(nullptr, 0, conversation, item.get(), CF_TEXT, XTYP_ADVSTART,
                              o.timeoutMs, nullptr))
        return TransactionFailure(("advise loop on " + o.argument).c_str(), o);
    Pump(o.waitMs);
    bool stopped = DdeClientTransaction(nullptr, 0, conversation, item.get(), CF_TEXT,
                                        XTYP_ADVSTOP, o.timeoutMs, nullptr) != nullptr;
    std::printf("kelvodde: advise loop on %s started; %ld updates in %lu ms; %s\n",
                o.argument.c_str(), g_adviseUpdates, static_cast<unsigned long>(o.waitMs),
                stopped ? "stopped" : "stop not acknowledged");
    return kAccepted;
}

int Run(const Options& o)
{
    StringHandle service(o.service);
    StringHandle topic(o.topic);
    HCONV conversation = DdeConnect(g_instance, service.get(), topic.get(), nullptr);
    if (!conversation) {
        std::fprintf(stderr,
                     "kelvodde: no DDE service %s with topic %s answers (is Kelvo running?)\n",
                     o.service ? o.service : "(any)", o.topic ? o.topic : "(any)");
        return kNoService;
    }
    int result = kAccepted;
    if (o.command == "print") {
        result = Execute(conversation, o, "print");
    } else if (o.command == "execute") {
        result = Execute(conversation, o, o.argument);
    } else if (o.command == "poke") {
        result = Poke(conversation, o);
    } else if (o.command == "request") {
        result = Request(conversation, o);
    } else if (o.command == "advise") {
        result = Advise(conversation, o);
    } else {
        CONVINFO info{};
        info.cb = sizeof info;
        DdeQueryConvInfo(conversation, QID_SYNC, &info);
        std::printf("kelvodde: conversation with %s|%s\n", Name(info.hszSvcPartner).c_str(),
                    Name(info.hszTopic).c_str());
    }
    DdeDisconnect(conversation);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        Usage(stdout);
        return kAccepted;
    }
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "kelvodde: %s\n", error.c_str());
        Usage(stderr);
        return kUsage;
    }
    if (DdeInitializeA(&g_instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        std::fputs("kelvodde: DDE is not available\n", stderr);
        return kDdeFailure;
    }
    int result = Run(options);
    DdeUninitialize(g_instance);
    std::fflush(stdout);
    return result;
}
