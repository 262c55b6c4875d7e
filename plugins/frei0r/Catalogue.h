#pragma once

#include <string>
#include <vector>

#include "PluginDescription.h"

namespace frei0r_bridge {

// A plug-in found but not listed, and why.
struct LeftOut {
    std::string path;
    std::string reason;
};

// The frei0r effects on offer: every filter and source found, in search order, the first of each
// name only.
struct Catalogue {
    struct Entry {
        PluginDescription plugin;
        std::vector<std::string> shadowed;  // later files with the same name, not used
    };
    std::vector<Entry> effects;
    std::vector<LeftOut> leftOut;
};

// Where plug-ins are looked for, in order: each folder of FREI0R_PATH (separated by ":"), then
// ~/.frei0r-1/lib, /usr/local/lib/frei0r-1 and /usr/lib/frei0r-1.
std::vector<std::string> SearchFolders();

// The shared libraries in the folders, each folder's in name order; a file reached twice (the
// same folder named twice, a link) counts once, where it was first found.
std::vector<std::string> PluginFiles(const std::vector<std::string>& folders);

// Reads every plug-in's description through `probeProgram` (frei0r-probe), in processes of its
// own, so that a plug-in that crashes or hangs while loading is left out with the reason. Without
// the program the plug-ins are read in this process.
Catalogue Discover(const std::vector<std::string>& files, const std::string& probeProgram);

}  // namespace frei0r_bridge
