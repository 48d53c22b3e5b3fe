#include "editor/ProgramModules.h"

#include "controls/WindowHooks.h"
#include "gif/GifModule.h"
#include "imageio/PictureReaders.h"
#include "menus/BalloonHint.h"
#include "menus/MenuGraphics.h"
#include "menus/SysUnitVersion.h"
#include "menus/ThemeSupport.h"
#include "menus/WndProcHooks.h"
#include "platform/base/Memory.h"
#include "platform/forms/Screen.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterModule.h"
#include "syscomp/SysRegistration.h"

namespace {

// The display's depth decides whether GIF frames are dithered to the web
// palette; today's displays all have more than 8 bits per pixel.
void StartGif() {
    InitGifModule(24);
}

// The long-year flag follows the short date format the program writes.
void StartWindowHooks() {
    InitWindowHooks("dd/mm/yyyy");
}

// The window-procedure hooks and the balloon hint live as long as windows
// use them; both are freed only once the windows are gone.
void StopWindowProcedureHooks() {
    FinalizeBalloonHints();
    FinalizeWndProcHooks();
}

} // namespace

const std::vector<TProgramModule>& ProgramModules() {
    static const std::vector<TProgramModule> Modules = {
        // Before any picture is made: freed picture buffers stay with the
        // process for the next ones.
        {"Memory", KeepFreedMemory, nullptr},
        // The class library's picture formats (bitmap, icon, JPEG,
        // metafiles) come first: the readers register them again.
        {"Picture formats", InitGraphicsModule, DoneGraphicsModule},
        {"Raster engine", InitRasterModules, DoneRasterModules},
        // System information, character tables and the version records.
        {"System library", InitSysLibModules, DoneSysLibModules},
        // Blend routines and the stock cursors (needs the screen).
        {"Menu graphics", InitMenuGraphics, DoneMenuGraphics},
        {"Print-client fix", PatchPrintClientHandler, RestorePrintClientHandler},
        {"Window-procedure hooks", [] {}, StopWindowProcedureHooks},
        {"Window hooks", StartWindowHooks, DoneWindowHooks},
        {"System components", InitSysComponents, DoneSysComponents},
        {"GIF", StartGif, DoneGifModule},
        // The 39 extensions of the picture readers.
        {"Picture readers", InitPictureReaders, DonePictureReaders},
    };
    return Modules;
}

void StartProgramModules() {
    for (const TProgramModule& M : ProgramModules())
        M.Start();
}

void StopProgramModules() {
    const auto& Modules = ProgramModules();
    for (auto It = Modules.rbegin(); It != Modules.rend(); ++It)
        if (It->Stop != nullptr) It->Stop();
}
