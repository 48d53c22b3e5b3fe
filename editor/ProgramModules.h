#pragma once
// Every module start-up and shut-down step the program runs, in one list.
// The start-up runs the rows from first to last after the application
// object exists and before any window is made; the shut-down runs them from
// last to first once the windows are gone. A module that needs a step adds
// its row here, after the rows it depends on.
#include <vector>

struct TProgramModule {
    const char* Name;
    void (*Start)();
    void (*Stop)(); // may be null
};

const std::vector<TProgramModule>& ProgramModules();

// Both run each row once per call; the program calls them once per start.
void StartProgramModules();
void StopProgramModules();
