// Effect files come from the host's disk: whatever the bytes, the parser ends with a description or
// an error at a place inside the text, and what it describes is consistent.
#include "platform/EffectFileParser.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    EffectDescription effect;
    EffectParseError error;
    if (!EffectFileParser::Parse(source, effect, error)) {
        Check(!error.message.empty());
        Check(error.line >= 1 && error.column >= 1);
        Check(static_cast<std::size_t>(error.line) <=
              static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n')) + 1);
        Check(effect.parameters.empty() && effect.techniques.empty());
        return 0;
    }
    for (const EffectDescription::Parameter& parameter : effect.parameters) {
        Check(!parameter.name.empty());
        Check(effect.FindParameter(parameter.name) == &parameter);
        Check(parameter.rows >= 1 && parameter.rows <= 4 && parameter.columns >= 1 && parameter.columns <= 4);
        const std::size_t components =
            static_cast<std::size_t>(parameter.rows * parameter.columns) *
            static_cast<std::size_t>(parameter.elements > 0 ? parameter.elements : 1);
        Check(components <= EffectFileParser::kMaxComponents);
        Check(parameter.values.size() == (parameter.IsNumeric() ? components : 0));
    }
    for (const EffectDescription::Technique& technique : effect.techniques) {
        Check(technique.name.empty() || effect.FindTechnique(technique.name) == &technique);
    }
    return 0;
}
