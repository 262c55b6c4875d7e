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
    // The sound chosen with it, read right after Choose: left out of the file altogether, or
    // written with this audio codec (by name; empty: the container's default for the chosen
    // compressor).
    virtual bool NoSound() const { return false; }
    virtual std::string SoundCodecName() const { return {}; }
};

// Answers with a fixed name and quality, as given on the command line. An empty name takes the
// first offered entry, the container's default.
class NamedCompressorChooser : public CompressorChooser {
  public:
    explicit NamedCompressorChooser(std::string name, int quality = -1)
        : name_(std::move(name)), quality_(quality) {}

    bool Choose(const std::vector<CompressorInfo>& offered, std::string& chosen) override;
    int Quality() const override { return quality_; }

  private:
    std::string name_;
    int quality_;
};

}  // namespace kelvane
