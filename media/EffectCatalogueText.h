#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// What `kelvane-render --list-effects` prints: every effect of every effect module ("*.so" with
// the three effect exports) in `folder`, modules in name order, effects in module order. One line
// per effect: "\module.so>NAME", its second text and its description, separated by tabs; below it
// one indented line per parameter: name, type, default, range (numbers) and explanation.
std::string EffectCatalogueText(std::u16string_view folder);

}  // namespace kelvane
