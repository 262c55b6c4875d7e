// Writes the frame-range tests' project with its media into a folder and prints the project's
// path: make_layered_project FOLDER
#include <cstdio>
#include <exception>

#include "LayeredProject.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        std::printf("%s\n", kelvane::testing::WriteLayeredProject(argv[1]).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
