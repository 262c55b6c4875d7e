#pragma once

namespace kelvane {

// The object a file entry has loaded (movie reader, picture, text image, effect, nested project).
// The media layer defines what it holds; the model only owns and destroys it.
class LoadedSource {
  public:
    virtual ~LoadedSource() = 0;
    // Whether the loaded file has an alpha channel of its own.
    virtual bool HasAlpha() const { return false; }
};

inline LoadedSource::~LoadedSource() = default;

}  // namespace kelvane
