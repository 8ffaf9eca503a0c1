#include "platform/EffectDescription.h"

const EffectDescription::Parameter* EffectDescription::FindParameter(const std::string& name) const {
    for (const Parameter& parameter : parameters) {
        if (parameter.name == name) {
            return &parameter;
        }
    }
    return nullptr;
}

const EffectDescription::Technique* EffectDescription::FindTechnique(const std::string& name) const {
    for (const Technique& technique : techniques) {
        if (technique.name == name) {
            return &technique;
        }
    }
    return nullptr;
}
