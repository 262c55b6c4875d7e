#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace kelvane::testing {

// What a shell command printed on its standard output (add " 2>&1" for its errors too).
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, got);
        }
        ::pclose(pipe);
    }
    return out;
}

// A path as one shell word.
inline std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

}  // namespace kelvane::testing
