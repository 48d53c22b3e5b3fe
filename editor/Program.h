#pragma once
// The program block: brings the editor up in its fixed order (application,
// splash, title, main window, the companion library's start call, the other
// windows, the command-line document or the start hint), runs the message
// loop and takes everything down again. main.cpp is only a call to it.
#include <functional>
#include <string>
#include <vector>

class TMainform;
class Tresizeform;
class TTexform;
class TPreview;
class TAboutBox;
class TLoadform;
class Tbbform;
class TExamplesform;
class TNewForm;

// The windows made once at start-up, owned by the application object.
extern Tresizeform* resizeform;
extern TTexform* Texform;
extern TPreview* Preview;
extern TAboutBox* AboutBox;
extern TLoadform* Loadform;
extern Tbbform* bbform;
extern TExamplesform* Examplesform;
extern TNewForm* NewForm;

constexpr const char* ApplicationTitle = "Quillomark Free";

// The one call into the companion library, made once per start with the
// first-run flag. The library lies outside this program and is not
// shipped; this stand-in only records the flag for whoever observes it.
void starting(bool Flag);
// Set by tests to see the call; null otherwise.
inline void (*StartingObserver)(bool Flag) = nullptr;

struct TProgramOptions {
    // The command line without the program's name.
    std::vector<std::string> Args;
    // When set, called once the message loop runs; the program then closes
    // its main window (tests and the start-up check use it).
    std::function<void(TMainform& Main)> OnRunning;
    // When above 0, the main window closes after this many milliseconds.
    int QuitAfterMs = 0;
};

// Returns the process exit code.
int ProgramMain(const TProgramOptions& Options);
