#pragma once

#include <string>
#include <vector>

namespace frei0r_bridge {

// What a frei0r plug-in says about itself, read once when the plug-ins are discovered.
struct ParamDescription {
    int type = 0;  // F0R_PARAM_*
    std::string name;
    std::string explanation;
    double defaults[3] = {0, 0, 0};  // bool/double: [0]; colour: r, g, b; position: x, y
    std::string text;                // string parameters' default
};

struct PluginDescription {
    std::string path;
    int type = 0;         // F0R_PLUGIN_TYPE_FILTER or F0R_PLUGIN_TYPE_SOURCE
    int colourModel = 0;  // F0R_COLOR_MODEL_*
    std::string name;
    std::string author;
    std::string explanation;
    int major = 0, minor = 0;
    std::vector<ParamDescription> params;
};

enum class ProbeOutcome { Listed, Mixer, Refused };

// Loads the plug-in into this process and reads its description: Listed fills `description`,
// Refused gives the reason in Japanese, Mixer (two or three inputs) is not an effect of ours.
// The plug-in stays loaded.
ProbeOutcome ProbePlugin(const std::string& path, PluginDescription& description,
                         std::string& reason);

// The line form in which the probing process reports, and its reading. Every plug-in is
// announced with "P" before it is loaded, so that a crash names the plug-in that caused it.
std::string AnnounceLine(const std::string& path);
std::string OutcomeLines(ProbeOutcome outcome, const PluginDescription& description,
                         const std::string& reason);

struct ProbeReport {
    std::string path;
    bool finished = false;  // its outcome arrived in full
    ProbeOutcome outcome = ProbeOutcome::Refused;
    PluginDescription description;
    std::string reason;
};
// Reads the complete lines of `text`; a report whose outcome is missing is not finished.
std::vector<ProbeReport> ReadProbeLines(const std::string& text);

}  // namespace frei0r_bridge
