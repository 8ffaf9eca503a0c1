#include "platform/EffectFileParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

using Type = EffectDescription::ParameterType;

std::string DataFile(const char* name) {
    std::ifstream file(std::string(ORVALEN_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

EffectDescription Parsed(std::string_view source) {
    EffectDescription effect;
    EffectParseError error;
    EXPECT_TRUE(EffectFileParser::Parse(source, effect, error))
        << error.line << "," << error.column << ": " << error.message;
    return effect;
}

EffectParseError ErrorOf(std::string_view source) {
    EffectDescription effect;
    EffectParseError error;
    EXPECT_FALSE(EffectFileParser::Parse(source, effect, error));
    EXPECT_TRUE(effect.parameters.empty() && effect.techniques.empty());
    return error;
}

const EffectDescription::Parameter& Parameter(const EffectDescription& effect, const char* name) {
    const EffectDescription::Parameter* parameter = effect.FindParameter(name);
    EXPECT_NE(nullptr, parameter) << name;
    static const EffectDescription::Parameter kMissing;
    return parameter != nullptr ? *parameter : kMissing;
}

} // namespace

TEST(EffectFileParser, TexturedFileDeclaresItsParametersAndOnePass) {
    const EffectDescription effect = Parsed(DataFile("textured.fx"));
    ASSERT_EQ(4u, effect.parameters.size());
    const auto& matrix = Parameter(effect, "worldViewProj");
    EXPECT_EQ(Type::Float, matrix.type);
    EXPECT_TRUE(matrix.isMatrix);
    EXPECT_EQ("WorldViewProjection", matrix.semantic);
    EXPECT_EQ(std::vector<float>(16, 0.0f), matrix.values);
    EXPECT_EQ((std::vector<float>{0.0f, -1.0f, 1.0f, 0.0f}), Parameter(effect, "LightDirection").values);
    EXPECT_EQ(Type::Texture, Parameter(effect, "Texture0").type);
    EXPECT_EQ(Type::Sampler, Parameter(effect, "Sampler0").type);
    ASSERT_EQ(1u, effect.techniques.size());
    EXPECT_EQ("Textured", effect.techniques[0].name);
    ASSERT_EQ(1u, effect.techniques[0].passes.size());
    EXPECT_EQ("P0", effect.techniques[0].passes[0].name);
    EXPECT_EQ((std::vector<std::string>{"VertexShader", "PixelShader"}),
              effect.techniques[0].passes[0].states);
}

TEST(EffectFileParser, GlowFileDefaultsFollowTheirInitialisers) {
    const EffectDescription effect = Parsed(DataFile("glow.fx"));
    EXPECT_EQ((std::vector<float>{1, 0, 0, 0, 2, 0, 0, 0, 3}), Parameter(effect, "ColourMatrix").values);
    EXPECT_EQ(3, Parameter(effect, "ColourMatrix").rows);
    EXPECT_EQ((std::vector<float>{1.0f, 0.5f, 0.25f, 1.0f}), Parameter(effect, "GlowColour").values);
    EXPECT_EQ(std::vector<float>{1.5f}, Parameter(effect, "GlowScale").values);
    EXPECT_EQ(2, Parameter(effect, "Offsets").elements);
    EXPECT_EQ((std::vector<float>{1, 2, 3, -1, -2, -3}), Parameter(effect, "Offsets").values);
    EXPECT_EQ(Type::Int, Parameter(effect, "Steps").type);
    EXPECT_EQ(std::vector<float>{1.0f}, Parameter(effect, "Enabled").values);
    EXPECT_EQ("glow", Parameter(effect, "Name").text);
    EXPECT_EQ(nullptr, effect.FindParameter("Hidden")) << "static globals are not parameters";

    ASSERT_EQ(2u, effect.techniques.size());
    EXPECT_EQ(2u, effect.techniques[0].passes.size());
    EXPECT_EQ("Blend", effect.techniques[0].passes[1].name);
    ASSERT_EQ(1u, effect.techniques[1].passes.size());
    EXPECT_EQ("", effect.techniques[1].passes[0].name);
}

TEST(EffectFileParser, DeclarationFormsAreRead) {
    const EffectDescription effect = Parsed(R"(
        uniform extern matrix<float, 3, 4> M : register(c0);
        vector V = {1, 2, 3, 4}, W = 0.5;
        float2 A = -float2(1, 0x10) * 2, B = (1 + 2) / 4;
        half4 H = 2;
        int I = 7.9;
        bool2 Flags = {0, 3};
        float S = .5e1f;
        float Prototype(float x);
        typedef float4 Colour;
        technique { pass {} }
        Technique T2 { Pass p { } }
    )");
    EXPECT_EQ(3, Parameter(effect, "M").rows);
    EXPECT_EQ(4, Parameter(effect, "M").columns);
    EXPECT_EQ(std::vector<float>(4, 0.5f), Parameter(effect, "W").values);
    EXPECT_EQ((std::vector<float>{-2, -32}), Parameter(effect, "A").values);
    EXPECT_EQ(std::vector<float>(2, 0.75f), Parameter(effect, "B").values);
    EXPECT_EQ(std::vector<float>(4, 2.0f), Parameter(effect, "H").values);
    EXPECT_EQ(std::vector<float>{7.0f}, Parameter(effect, "I").values);
    EXPECT_EQ((std::vector<float>{0, 1}), Parameter(effect, "Flags").values);
    EXPECT_EQ(std::vector<float>{5.0f}, Parameter(effect, "S").values);
    ASSERT_EQ(2u, effect.techniques.size());
    EXPECT_EQ("", effect.techniques[0].name);
    EXPECT_EQ("T2", effect.techniques[1].name);
}

TEST(EffectFileParser, ErrorsNameTheirLineAndColumn) {
    struct Case {
        const char* source;
        int line;
        int column;
        const char* message;
    };
    const Case cases[] = {
        {"float4 a = {1, 2, 3, 4}\nfloat b;", 2, 1,
         "expected ';' after the declaration of 'float4' but found 'float'"},
        {"float a;\n  /* open", 2, 3, "unterminated comment"},
        {"float4 VS()\n{\n  return 0;\n", 4, 1, "unexpected end of file: '{' at line 2 is not closed"},
        {"float a;\nint a;", 2, 5, "redefinition of 'a'"},
        {"float3 v = {1, 2};", 1, 10, "'v' takes 3 values but its initializer gives 2"},
        {"technique T { float x; }", 1, 15, "expected 'pass' but found 'float'"},
        {"technique T { pass { Lighting TRUE; } }", 1, 31, "expected '=' but found 'TRUE'"},
        {"technique T { pass {} }\ntechnique T { pass {} }", 2, 11, "redefinition of technique 'T'"},
        {"string s = 3;", 1, 12, "expected a string but found '3'"},
        {"float f = 1.0q;", 1, 11, "malformed number '1.0q'"},
        {"float f = x;", 1, 11, "expected a value but found 'x'"},
        {"float a[0];", 1, 9, "array size must be a whole number from 1 to 65536"},
        {"string s = \"open", 1, 12, "unterminated string"},
        {"@", 1, 1, "unexpected '@'"},
    };
    for (const Case& test : cases) {
        const EffectParseError error = ErrorOf(test.source);
        EXPECT_EQ(test.line, error.line) << test.source;
        EXPECT_EQ(test.column, error.column) << test.source;
        EXPECT_EQ(test.message, error.message) << test.source;
    }
}

TEST(EffectFileParser, RunawayInputIsRefusedNotFollowed) {
    EXPECT_EQ("initializer nested too deeply", ErrorOf("float f = " + std::string(200, '{')).message);
    EXPECT_EQ("initializer nested too deeply", ErrorOf("float f = " + std::string(200, '-') + "1;").message);
    EXPECT_EQ("'big' is too large", ErrorOf("float4x4 big[65536];").message);
    // Shader code may hold anything between its brackets; preprocessor lines are not read at all.
    const EffectDescription effect = Parsed("#define X {{{ \\\n }}}\nvoid F() { @$`; {} }\nfloat g;");
    ASSERT_EQ(1u, effect.parameters.size());
    EXPECT_EQ("g", effect.parameters[0].name);
}
