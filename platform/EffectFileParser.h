#pragma once
// Reads the declarations of an effect file: global parameters with their types, semantics and default
// values, and techniques with their passes. Function bodies, structures and the states a pass assigns
// are skipped by bracket matching, not compiled; preprocessor lines are ignored. Anything it cannot
// read is reported with its line and column, never guessed at.

#include "platform/EffectDescription.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

/// Where and why an effect file could not be read; lines and columns count from 1.
struct EffectParseError {
    int line = 0;
    int column = 0;
    std::string message;
};

class EffectFileParser {
public:
    /// Brackets and initialiser lists nested deeper than this are refused.
    static constexpr int kMaxNesting = 64;
    /// Parameters holding more components than this (rows x columns x elements) are refused.
    static constexpr std::size_t kMaxComponents = 65536;

    /// True with `effect` filled in, or false with `error` saying what stopped the reading.
    static bool Parse(std::string_view source, EffectDescription& effect, EffectParseError& error);

private:
    enum class TokenKind { Identifier, Number, String, Symbol, End };

    struct Token {
        TokenKind kind = TokenKind::End;
        std::string_view text;
        int line = 1;
        int column = 1;
    };

    /// A parameter type as the declaration names it.
    struct TypeInfo {
        EffectDescription::ParameterType type = EffectDescription::ParameterType::Other;
        int rows = 1;
        int columns = 1;
        bool isMatrix = false;
    };

    /// Thrown inside the parser to unwind to Parse with the error.
    struct Failure {
        EffectParseError error;
    };

    explicit EffectFileParser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    static std::vector<Token> Tokenize(std::string_view source);
    static TypeInfo TypeOf(std::string_view name);
    [[noreturn]] static void Fail(const Token& at, const std::string& message);
    /// "'x'" for a token, "end of file" at the end.
    static std::string Describe(const Token& token);

    const Token& Peek(std::size_t ahead = 0) const;
    const Token& Next();
    bool NextIs(std::string_view symbol, std::size_t ahead = 0) const;
    bool Accept(std::string_view symbol);
    const Token& Expect(std::string_view symbol);
    const Token& ExpectIdentifier(const char* what);
    /// Skips from an opening bracket to its partner, both included.
    void SkipBalanced(std::string_view open, std::string_view close);
    /// Skips tokens up to a `,` or `;` outside brackets, which is left for the caller.
    void SkipInitializer();
    void SkipAnnotations();

    void ParseFile(EffectDescription& effect);
    void ParseTechnique(EffectDescription& effect);
    EffectDescription::Pass ParsePass();
    void ParseDeclaration(EffectDescription& effect);
    TypeInfo ParseType();
    void ParseDeclarators(const Token& typeToken, const TypeInfo& type, bool isStatic,
                          EffectDescription& effect);
    void ParseDefault(EffectDescription::Parameter& parameter, const Token& equals);
    /// One initialiser: a braced list or an expression, flattened onto `values`.
    void ParseInitializer(std::vector<float>& values, int depth);
    void ParseSum(std::vector<float>& values, int depth);
    void ParseProduct(std::vector<float>& values, int depth);
    void ParseUnary(std::vector<float>& values, int depth);
    void ParsePrimary(std::vector<float>& values, int depth);
    static float NumberValue(const Token& token);
    void CheckNesting(int depth) const;

    std::vector<Token> m_tokens;
    std::size_t m_position = 0;
};
