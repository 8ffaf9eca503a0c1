#pragma once
// What an effect file declares, as its parser reads it: the parameters the host can set, with their
// types and default values, and the techniques with their passes. Shader code is not part of it.

#include <string>
#include <vector>

struct EffectDescription {
    enum class ParameterType { Float, Int, Bool, String, Texture, Sampler, Other };

    struct Parameter {
        std::string name;
        std::string semantic; ///< empty when none is given
        ParameterType type = ParameterType::Other;
        int rows = 1;     ///< 1 for scalars and vectors
        int columns = 1;  ///< 1 for scalars
        int elements = 0; ///< array length; 0 when the parameter is not an array
        /// rows x columns components per element, row by row: the default values, zero where the file
        /// gives none. Bools and ints are held as their float values. Empty for the non-numeric types.
        std::vector<float> values;
        std::string text;      ///< a string parameter's default
        bool isMatrix = false; ///< declared as a matrix type (floatRxC, matrix)

        bool IsNumeric() const {
            return type == ParameterType::Float || type == ParameterType::Int || type == ParameterType::Bool;
        }
    };

    struct Pass {
        std::string name;                ///< empty for an unnamed pass
        std::vector<std::string> states; ///< the states the pass assigns, in order (not applied here)
    };

    struct Technique {
        std::string name; ///< empty for an unnamed technique
        std::vector<Pass> passes;
    };

    std::vector<Parameter> parameters; ///< in declaration order
    std::vector<Technique> techniques; ///< in declaration order

    const Parameter* FindParameter(const std::string& name) const;
    const Technique* FindTechnique(const std::string& name) const;
};
