// The process entry point of the Windows programs that link no C runtime: the
// launcher, and the benchmark floors that must start up the way it does. It
// does only what a runtime's start-up and exit would do for them: run the
// static constructors, call WinMain, run what those constructors registered to
// run at exit, and end the process with WinMain's result.
#include "platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);

// Laid out by the linker's default script: a -1, the static constructors of
// every object file, and a null.
extern "C" void (*__CTOR_LIST__[])();

namespace {

// The launcher registers one destructor; the rest is room to spare.
const int ExitFunctionCapacity = 8;
void (*exitFunctions[ExitFunctionCapacity])();
int exitFunctionCount;

// From the end of the list back to its start, as the compiler's own start-up
// code runs this list.
void RunStaticConstructors() {
    int count = 1;
    while (__CTOR_LIST__[count])
        count++;
    while (--count > 0)
        __CTOR_LIST__[count]();
}

void RunExitFunctions() {
    while (exitFunctionCount > 0)
        exitFunctions[--exitFunctionCount]();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// WinMain's command line: what follows the program's name, which may be
// quoted, and the blanks after it.
char* CommandLineArguments() {
    char* p = GetCommandLineA();
    if (*p == '"') {
        p++;
        while (*p && *p != '"')
            p++;
        if (*p)
            p++;
    } else {
        while (*p && !IsBlank(*p))
            p++;
    }
    while (IsBlank(*p))
        p++;
    return p;
}

int ShowCommand() {
    STARTUPINFOA info;
    GetStartupInfoA(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

// Static constructors register their objects' destructors here. Single thread:
// nothing registers once WinMain runs.
extern "C" int atexit(void (*function)()) {
    if (exitFunctionCount == ExitFunctionCapacity)
        return -1;
    exitFunctions[exitFunctionCount++] = function;
    return 0;
}

extern "C" void ProcessEntry() {
    RunStaticConstructors();
    int result = WinMain(GetModuleHandleA(nullptr), nullptr, CommandLineArguments(), ShowCommand());
    RunExitFunctions();
    ExitProcess(static_cast<UINT>(result));
}

// A class with a virtual destructor brings a deleting destructor that calls
// operator delete. No object is ever made with new (these programs have no
// operator new: a new expression would not link), so it is never called, and
// there is nothing for it to give back.
void operator delete(void*) noexcept {}
void operator delete(void*, size_t) noexcept {}
