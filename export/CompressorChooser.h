#pragma once

#include <string>
#include <vector>

#include "export/Compressor.h"

namespace kelvane {

// Lets the user pick one of the offered compressors: a dialog in the GUI, the --codec option on
// the command line, a script in tests.
class CompressorChooser {
  public:
    virtual ~CompressorChooser() = default;

    // Sets chosen to the name of one entry of offered. False when the user cancelled.
    virtual bool Choose(const std::vector<CompressorInfo>& offered, std::string& chosen) = 0;
    // The quality chosen with a lossy compressor, 0 (smallest file) to 100 (best picture); -1
    // leaves the compressor at its usual setting. Read right after Choose.
    virtual int Quality() const { return -1; }
};

// Answers with a fixed name, as given on the command line.
class NamedCompressorChooser : public CompressorChooser {
  public:
    explicit NamedCompressorChooser(std::string name) : name_(std::move(name)) {}

    bool Choose(const std::vector<CompressorInfo>& offered, std::string& chosen) override;

  private:
    std::string name_;
};

}  // namespace kelvane
