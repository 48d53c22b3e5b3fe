// The editor program. QUILLOMARK_QUIT_AFTER_MS closes it after that many
// milliseconds (start-up checks on machines without a user).
#include <cstdlib>

#include "editor/Program.h"

int main(int argc, char** argv) {
    TProgramOptions Options;
    for (int I = 1; I < argc; ++I)
        Options.Args.emplace_back(argv[I]);
    if (const char* Quit = std::getenv("QUILLOMARK_QUIT_AFTER_MS"))
        Options.QuitAfterMs = std::atoi(Quit);
    return ProgramMain(Options);
}
