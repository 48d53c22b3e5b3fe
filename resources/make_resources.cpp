// Writes the files the editor ships with beside it:
//   make_resources templates <Back folder>
//     the background templates;
//   make_resources examples <definitions> <Back folder> <Examples folder>
//                  [<part> <parts>]
//     the example banners and their previews (all of them, or part <part>
//     of <parts>), drawn on the templates of the Back folder (written first).
// The build runs each only when its inputs change.
#include <cstdio>
#include <exception>
#include <string>

#include "banner/TemplateArt.h"
#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "resources/ExampleBanners.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: make_resources templates <Back folder>\n"
                         "       make_resources examples <definitions> <Back folder> "
                         "<Examples folder> [<part> <parts>]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string Mode = argc > 1 ? argv[1] : "";
    try {
        if (Mode == "templates" && argc == 3) {
            const std::string Folder = argv[2];
            if (!ForceDirectories(Folder)) {
                std::fprintf(stderr, "make_resources: cannot create %s\n", Folder.c_str());
                return 1;
            }
            const int Count = WriteAllTemplateFiles(Folder);
            std::printf("make_resources: %d templates in %s\n", Count, Folder.c_str());
            return 0;
        }
        if (Mode == "examples" && (argc == 5 || argc == 7)) {
            int Part = 0, Parts = 1;
            if (argc == 7 && (!TryStrToInt(argv[5], Part) || !TryStrToInt(argv[6], Parts) ||
                              Parts < 1 || Part < 0 || Part >= Parts))
                return Usage();
            const int Count = WriteExamples(argv[2], argv[3], argv[4], Part, Parts);
            std::printf("make_resources: %d examples in %s\n", Count, argv[4]);
            return 0;
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_resources: %s\n", E.what());
        return 1;
    }
    return Usage();
}
