#include "cli/Console.h"

#include <cstdio>

namespace kelvane::cli {

namespace {
bool lineOpen = false;
}

void ConsoleEndProgress() {
    if (lineOpen) {
        std::fputc('\n', stderr);
        lineOpen = false;
    }
}

void ConsoleMessage(const std::string& text) {
    ConsoleEndProgress();
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void ConsoleProgress(const std::string& line, bool inPlace) {
    if (inPlace) {
        // Back to the line's start, then clear what a longer previous line left.
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        lineOpen = true;
    } else {
        ConsoleEndProgress();
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stderr);
}

}  // namespace kelvane::cli
