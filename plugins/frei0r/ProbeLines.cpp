// One record per line, fields separated by tabs; tabs, line breaks and backslashes inside a field
// are escaped, so a plug-in's texts cannot break the form.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "PluginDescription.h"

namespace frei0r_bridge {

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string Number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%.17g", value);
    return buffer;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t tab = line.find('\t', start);
        fields.push_back(Unescape(line.substr(start, tab - start)));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return fields;
}

int Int(const std::string& text) {
    return int(std::strtol(text.c_str(), nullptr, 10));
}

double Double(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

std::string AnnounceLine(const std::string& path) {
    return "P\t" + Escape(path) + "\n";
}

std::string OutcomeLines(ProbeOutcome outcome, const PluginDescription& d,
                         const std::string& reason) {
    if (outcome == ProbeOutcome::Mixer)
        return "M\n";
    if (outcome == ProbeOutcome::Refused)
        return "R\t" + Escape(reason) + "\n";
    std::string out = "I\t" + std::to_string(d.type) + "\t" + std::to_string(d.colourModel) + "\t" +
                      Escape(d.name) + "\t" + Escape(d.author) + "\t" + Escape(d.explanation) +
                      "\t" + std::to_string(d.major) + "\t" + std::to_string(d.minor) + "\n";
    for (const ParamDescription& p : d.params) {
        out += "A\t" + std::to_string(p.type) + "\t" + Escape(p.name) + "\t" +
               Escape(p.explanation) + "\t" + Number(p.defaults[0]) + "\t" + Number(p.defaults[1]) +
               "\t" + Number(p.defaults[2]) + "\t" + Escape(p.text) + "\n";
    }
    return out + "D\n";
}

std::vector<ProbeReport> ReadProbeLines(const std::string& text) {
    std::vector<ProbeReport> reports;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof())
            break;  // an unfinished last line: the writer stopped in the middle of it
        std::vector<std::string> f = Fields(line);
        const std::string& tag = f[0];
        if (tag == "P" && f.size() >= 2) {
            ProbeReport report;
            report.path = f[1];
            report.description.path = f[1];
            reports.push_back(std::move(report));
            continue;
        }
        if (reports.empty() || reports.back().finished)
            continue;
        ProbeReport& r = reports.back();
        if (tag == "M") {
            r.outcome = ProbeOutcome::Mixer;
            r.finished = true;
        } else if (tag == "R" && f.size() >= 2) {
            r.outcome = ProbeOutcome::Refused;
            r.reason = f[1];
            r.finished = true;
        } else if (tag == "I" && f.size() >= 8) {
            r.description.type = Int(f[1]);
            r.description.colourModel = Int(f[2]);
            r.description.name = f[3];
            r.description.author = f[4];
            r.description.explanation = f[5];
            r.description.major = Int(f[6]);
            r.description.minor = Int(f[7]);
        } else if (tag == "A" && f.size() >= 8) {
            ParamDescription p;
            p.type = Int(f[1]);
            p.name = f[2];
            p.explanation = f[3];
            for (int k = 0; k < 3; ++k)
                p.defaults[k] = Double(f[4 + size_t(k)]);
            p.text = f[7];
            r.description.params.push_back(std::move(p));
        } else if (tag == "D") {
            r.outcome = ProbeOutcome::Listed;
            r.finished = true;
        }
    }
    return reports;
}

}  // namespace frei0r_bridge
