#include "platform/graphics/QtSupport.h"

#include <QCoreApplication>
#include <QApplication>
#include <cstdlib>
#include <mutex>

void EnsureGuiApplication() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        if (QCoreApplication::instance() != nullptr) return;
        const bool HasDisplay =
            std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
        if (!HasDisplay && std::getenv("QT_QPA_PLATFORM") == nullptr)
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The application keeps references to argc and argv for its whole
        // life, and it is never destroyed: it must outlive every font and
        // picture, including those freed by static destructors.
        static int Argc = 1;
        static char Name[] = "quillomark";
        static char* Argv[] = {Name, nullptr};
        new QApplication(Argc, Argv);
    });
}

#if defined(__SANITIZE_ADDRESS__)
#define QM_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_LEAK_CHECKED 1
#endif
#endif
#ifdef QM_LEAK_CHECKED
// The font configuration library keeps a few allocations for the life of
// the process by design; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
