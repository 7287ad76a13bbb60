// Started by the same entry point as the launcher, with no C runtime, it
// tells what that entry point did: the static constructors ran before WinMain
// in the order of their definitions, WinMain got the module, its arguments
// and the show command, the destructors ran after it in the opposite order,
// and the process ended with WinMain's result. It writes to its standard
// output, or to the file that ENTRY_CHECK_OUTPUT names, for a run (such as
// one through "start") that has no output of its caller's.
#include <windows.h>

namespace {

const int WinMainResult = 7;

char constructed[64];

HANDLE output;

void Print(const char* text) {
    if (!output) {
        char path[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("ENTRY_CHECK_OUTPUT", path, MAX_PATH);
        output = length > 0 && length < MAX_PATH
                     ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)
                     : GetStdHandle(STD_OUTPUT_HANDLE);
    }
    DWORD written;
    WriteFile(output, text, lstrlenA(text), &written, nullptr);
}

// Like the launcher's record of the font locations: built before WinMain,
// with a virtual destructor that runs at exit.
class Recorder {
  public:
    explicit Recorder(const char* name) : name(name) {
        lstrcatA(constructed, name);
        lstrcatA(constructed, " ");
    }
    virtual ~Recorder() {
        Print("destroyed ");
        Print(name);
        Print("\n");
    }

  private:
    const char* name;
};

Recorder first("first");
Recorder second("second");

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    char line[512];
    wsprintfA(line, "constructed before WinMain: %s\n", constructed);
    Print(line);
    wsprintfA(line, "instance is the module: %d, previous instance: %d\n",
              instance == GetModuleHandleA(nullptr), previousInstance != nullptr);
    Print(line);
    wsprintfA(line, "arguments: [%s]\nshow command: %d\n", commandLine, showCommand);
    Print(line);
    return WinMainResult;
}
