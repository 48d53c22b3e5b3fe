// Writes the pictures the editor ships with into the folder given on the
// command line: the background templates go to <folder> itself (the build
// passes the Back folder beside the executable).
#include <cstdio>
#include <exception>
#include <string>

#include "banner/TemplateArt.h"
#include "platform/base/FileNames.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_resources <back folder>\n");
        return 2;
    }
    const std::string Folder = argv[1];
    try {
        if (!ForceDirectories(Folder)) {
            std::fprintf(stderr, "make_resources: cannot create %s\n", Folder.c_str());
            return 1;
        }
        const int Count = WriteAllTemplateFiles(Folder);
        std::printf("make_resources: %d templates in %s\n", Count, Folder.c_str());
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_resources: %s\n", E.what());
        return 1;
    }
    return 0;
}
