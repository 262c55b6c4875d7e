// frei0r-probe: loads each plug-in named on the command line in turn and reports what it says
// about itself on standard output. It runs in a process of its own so that a plug-in that crashes
// while loading takes only this process down; the bridge then names it and goes on with the rest.
#include <fcntl.h>
#include <unistd.h>

#include "PluginDescription.h"

namespace {

// The report goes to what was standard output; the plug-ins' own chatter goes nowhere.
int TakeReportChannel() {
    int report = dup(STDOUT_FILENO);
    int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere >= 0) {
        dup2(nowhere, STDOUT_FILENO);
        close(nowhere);
    }
    return report;
}

void Write(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            _exit(2);
        done += size_t(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int report = TakeReportChannel();
    if (report < 0)
        return 2;
    for (int i = 1; i < argc; ++i) {
        Write(report, frei0r_bridge::AnnounceLine(argv[i]));
        frei0r_bridge::PluginDescription description;
        std::string reason;
        auto outcome = frei0r_bridge::ProbePlugin(argv[i], description, reason);
        Write(report, frei0r_bridge::OutcomeLines(outcome, description, reason));
    }
    // The plug-ins stay loaded; what they do when unloaded is not our concern here.
    _exit(0);
}
