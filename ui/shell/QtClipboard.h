#pragma once

#include "model/Clipboard.h"

// The desktop clipboard carrying the event block under the program's private type, so that other
// programs never take the binary block for text. Another program's text is no block: Get fails.
class QtClipboard : public kelvane::Clipboard {
  public:
    bool Put(std::span<const uint8_t> block) override;
    bool Get(std::vector<uint8_t>& block) override;
};
