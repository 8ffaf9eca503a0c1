#include "platform/EffectFileParser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

using ParameterType = EffectDescription::ParameterType;

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsIdentifierPart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// Vector or matrix dimensions after a scalar type's name: "", "3" or "4x4"; false for anything else.
bool ParseDimensions(std::string_view suffix, int& rows, int& columns, bool& isMatrix) {
    const auto dimension = [](char c) { return c >= '1' && c <= '4'; };
    if (suffix.empty()) {
        return true;
    }
    if (suffix.size() == 1 && dimension(suffix[0])) {
        columns = suffix[0] - '0';
        return true;
    }
    if (suffix.size() == 3 && dimension(suffix[0]) && suffix[1] == 'x' && dimension(suffix[2])) {
        rows = suffix[0] - '0';
        columns = suffix[2] - '0';
        isMatrix = true;
        return true;
    }
    return false;
}

/// Keywords that may stand before a global's type; only `static` changes what we make of it.
bool IsModifier(std::string_view word) {
    static constexpr std::string_view kModifiers[] = {"static", "uniform",  "extern",    "shared",
                                                      "const",  "volatile", "row_major", "column_major",
                                                      "inline", "precise"};
    return std::find(std::begin(kModifiers), std::end(kModifiers), word) != std::end(kModifiers);
}

/// left = left (op) right, component by component; a single value stands for as many as the other side
/// has. False when the sizes cannot be matched.
bool Combine(std::vector<float>& left, const std::vector<float>& right, char operation) {
    if (left.size() != right.size() && left.size() != 1 && right.size() != 1) {
        return false;
    }
    if (left.size() == 1) {
        left.resize(right.size(), left.empty() ? 0.0f : left[0]);
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        const float b = right.size() == 1 ? right[0] : right[i];
        switch (operation) {
        case '+':
            left[i] += b;
            break;
        case '-':
            left[i] -= b;
            break;
        case '*':
            left[i] *= b;
            break;
        default:
            left[i] /= b;
            break;
        }
    }
    return true;
}

} // namespace

bool EffectFileParser::Parse(std::string_view source, EffectDescription& effect, EffectParseError& error) {
    effect = EffectDescription{};
    try {
        EffectFileParser parser(Tokenize(source));
        parser.ParseFile(effect);
    } catch (const Failure& failure) {
        error = failure.error;
        effect = EffectDescription{};
        return false;
    }
    return true;
}

std::vector<EffectFileParser::Token> EffectFileParser::Tokenize(std::string_view source) {
    std::vector<Token> tokens;
    std::size_t position = 0;
    int line = 1;
    int column = 1;
    bool lineStart = true; ///< only blanks so far on this line
    const auto advance = [&](std::size_t count) {
        for (std::size_t i = 0; i < count && position < source.size(); ++i, ++position) {
            if (source[position] == '\n') {
                ++line;
                column = 1;
                lineStart = true;
            } else {
                ++column;
            }
        }
    };
    const auto at = [&](std::size_t offset) {
        return position + offset < source.size() ? source[position + offset] : '\0';
    };

    while (position < source.size()) {
        const char c = source[position];
        if (c == '\n' || c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            advance(1);
            continue;
        }
        const Token start{TokenKind::End, {}, line, column};
        if (c == '#' && lineStart) {
            // Preprocessor lines are not expanded; a backslash at the end of a line continues it.
            while (position < source.size() && source[position] != '\n') {
                advance(source[position] == '\\' && at(1) == '\n' ? 2 : 1);
            }
            continue;
        }
        lineStart = false;
        if (c == '/' && at(1) == '/') {
            while (position < source.size() && source[position] != '\n') {
                advance(1);
            }
            continue;
        }
        if (c == '/' && at(1) == '*') {
            const std::size_t end = source.find("*/", position + 2);
            if (end == std::string_view::npos) {
                Fail(start, "unterminated comment");
            }
            advance(end + 2 - position);
            continue;
        }
        const std::size_t begin = position;
        TokenKind kind = TokenKind::Symbol;
        if (IsIdentifierStart(c)) {
            kind = TokenKind::Identifier;
            while (position < source.size() && IsIdentifierPart(source[position])) {
                advance(1);
            }
        } else if (IsDigit(c) || (c == '.' && IsDigit(at(1)))) {
            kind = TokenKind::Number;
            const bool hex = c == '0' && (at(1) == 'x' || at(1) == 'X');
            while (position < source.size()) {
                const char d = source[position];
                const char previous = position > begin ? source[position - 1] : '\0';
                const bool exponentSign =
                    !hex && (d == '+' || d == '-') && (previous == 'e' || previous == 'E');
                if (!IsIdentifierPart(d) && d != '.' && !exponentSign) {
                    break;
                }
                advance(1);
            }
        } else if (c == '"') {
            kind = TokenKind::String;
            advance(1);
            while (true) {
                if (position >= source.size() || source[position] == '\n') {
                    Fail(start, "unterminated string");
                }
                if (source[position] == '"') {
                    advance(1);
                    break;
                }
                advance(source[position] == '\\' && at(1) != '\n' ? 2 : 1);
            }
        } else {
            advance(1);
        }
        tokens.push_back({kind, source.substr(begin, position - begin), start.line, start.column});
    }
    tokens.push_back({TokenKind::End, {}, line, column});
    return tokens;
}

EffectFileParser::TypeInfo EffectFileParser::TypeOf(std::string_view name) {
    TypeInfo info;
    if (name == "matrix") {
        info.type = ParameterType::Float;
        info.rows = info.columns = 4;
        info.isMatrix = true;
        return info;
    }
    if (name == "vector") {
        info.type = ParameterType::Float;
        info.columns = 4;
        return info;
    }
    static constexpr std::pair<std::string_view, ParameterType> kScalars[] = {
        {"float", ParameterType::Float}, {"half", ParameterType::Float}, {"double", ParameterType::Float},
        {"uint", ParameterType::Int},    {"int", ParameterType::Int},    {"dword", ParameterType::Int},
        {"bool", ParameterType::Bool}};
    for (const auto& [prefix, type] : kScalars) {
        if (name.substr(0, prefix.size()) == prefix) {
            TypeInfo scalar;
            scalar.type = type;
            if (ParseDimensions(name.substr(prefix.size()), scalar.rows, scalar.columns, scalar.isMatrix)) {
                return scalar;
            }
        }
    }
    for (const std::string_view texture : {"texture", "texture1D", "texture2D", "texture3D", "textureCUBE"}) {
        if (EqualsIgnoringCase(name, texture)) {
            info.type = ParameterType::Texture;
            return info;
        }
    }
    for (const std::string_view sampler : {"sampler", "sampler1D", "sampler2D", "sampler3D", "samplerCUBE"}) {
        if (EqualsIgnoringCase(name, sampler)) {
            info.type = ParameterType::Sampler;
            return info;
        }
    }
    if (name == "string") {
        info.type = ParameterType::String;
    }
    return info;
}

void EffectFileParser::Fail(const Token& at, const std::string& message) {
    throw Failure{{at.line, at.column, message}};
}

std::string EffectFileParser::Describe(const Token& token) {
    if (token.kind == TokenKind::End) {
        return "end of file";
    }
    std::string text = "'";
    for (const char c : token.text.substr(0, 32)) {
        if (std::isprint(static_cast<unsigned char>(c)) != 0) {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            text += escaped;
        }
    }
    return text + (token.text.size() > 32 ? "...'" : "'");
}

const EffectFileParser::Token& EffectFileParser::Peek(std::size_t ahead) const {
    return m_tokens[std::min(m_position + ahead, m_tokens.size() - 1)];
}

const EffectFileParser::Token& EffectFileParser::Next() {
    const Token& token = Peek();
    if (token.kind != TokenKind::End) {
        ++m_position;
    }
    return token;
}

bool EffectFileParser::NextIs(std::string_view symbol, std::size_t ahead) const {
    const Token& token = Peek(ahead);
    return token.kind == TokenKind::Symbol && token.text == symbol;
}

bool EffectFileParser::Accept(std::string_view symbol) {
    if (!NextIs(symbol)) {
        return false;
    }
    Next();
    return true;
}

const EffectFileParser::Token& EffectFileParser::Expect(std::string_view symbol) {
    if (!NextIs(symbol)) {
        Fail(Peek(), "expected '" + std::string(symbol) + "' but found " + Describe(Peek()));
    }
    return Next();
}

const EffectFileParser::Token& EffectFileParser::ExpectIdentifier(const char* what) {
    if (Peek().kind != TokenKind::Identifier) {
        Fail(Peek(), std::string("expected ") + what + " but found " + Describe(Peek()));
    }
    return Next();
}

void EffectFileParser::SkipBalanced(std::string_view open, std::string_view close) {
    const Token& first = Expect(open);
    int depth = 1;
    while (depth > 0) {
        const Token& token = Next();
        if (token.kind == TokenKind::End) {
            Fail(token, "unexpected end of file: '" + std::string(open) + "' at line " +
                            std::to_string(first.line) + " is not closed");
        }
        if (token.kind == TokenKind::Symbol && token.text == open) {
            ++depth;
        } else if (token.kind == TokenKind::Symbol && token.text == close) {
            --depth;
        }
    }
}

void EffectFileParser::SkipInitializer() {
    while (!NextIs(",") && !NextIs(";")) {
        if (NextIs("{")) {
            SkipBalanced("{", "}");
        } else if (NextIs("(")) {
            SkipBalanced("(", ")");
        } else if (Peek().kind == TokenKind::End || NextIs("}") || NextIs(")")) {
            Fail(Peek(), "expected ';' but found " + Describe(Peek()));
        } else {
            Next();
        }
    }
}

void EffectFileParser::SkipAnnotations() {
    if (NextIs("<")) {
        SkipBalanced("<", ">");
    }
}

void EffectFileParser::ParseFile(EffectDescription& effect) {
    while (Peek().kind != TokenKind::End) {
        const Token& token = Peek();
        if (Accept(";")) {
            continue;
        }
        if (token.kind != TokenKind::Identifier) {
            Fail(token, "unexpected " + Describe(token));
        }
        if (EqualsIgnoringCase(token.text, "technique")) {
            ParseTechnique(effect);
        } else if (token.text == "struct") {
            Next();
            if (Peek().kind == TokenKind::Identifier) {
                Next();
            }
            SkipBalanced("{", "}");
            SkipInitializer();
            Expect(";");
        } else if (token.text == "typedef") {
            Next();
            SkipInitializer();
            Expect(";");
        } else {
            ParseDeclaration(effect);
        }
    }
}

void EffectFileParser::ParseTechnique(EffectDescription& effect) {
    Next();
    EffectDescription::Technique technique;
    if (Peek().kind == TokenKind::Identifier) {
        const Token& name = Next();
        technique.name = std::string(name.text);
        if (effect.FindTechnique(technique.name) != nullptr) {
            Fail(name, "redefinition of technique '" + technique.name + "'");
        }
    }
    SkipAnnotations();
    Expect("{");
    while (!Accept("}")) {
        const Token& keyword = Peek();
        if (keyword.kind != TokenKind::Identifier || !EqualsIgnoringCase(keyword.text, "pass")) {
            Fail(keyword, "expected 'pass' but found " + Describe(keyword));
        }
        technique.passes.push_back(ParsePass());
    }
    effect.techniques.push_back(std::move(technique));
}

EffectDescription::Pass EffectFileParser::ParsePass() {
    Next();
    EffectDescription::Pass pass;
    if (Peek().kind == TokenKind::Identifier) {
        pass.name = std::string(Next().text);
    }
    SkipAnnotations();
    Expect("{");
    while (!Accept("}")) {
        const Token& state = ExpectIdentifier("a state assignment");
        if (NextIs("[")) {
            SkipBalanced("[", "]");
        }
        Expect("=");
        SkipInitializer();
        Expect(";");
        pass.states.emplace_back(state.text);
    }
    return pass;
}

void EffectFileParser::ParseDeclaration(EffectDescription& effect) {
    bool isStatic = false;
    while (Peek().kind == TokenKind::Identifier && IsModifier(Peek().text)) {
        if (Next().text == "static") {
            isStatic = true;
        }
    }
    const Token& typeToken = Peek();
    const TypeInfo type = ParseType();
    if (Peek().kind == TokenKind::Identifier && NextIs("(", 1)) {
        // A function: its parameters, semantic and body are shader code.
        Next();
        SkipBalanced("(", ")");
        if (Accept(":")) {
            ExpectIdentifier("a semantic");
        }
        if (!Accept(";")) {
            if (!NextIs("{")) {
                Fail(Peek(), "expected a function body but found " + Describe(Peek()));
            }
            SkipBalanced("{", "}");
        }
        return;
    }
    ParseDeclarators(typeToken, type, isStatic, effect);
}

EffectFileParser::TypeInfo EffectFileParser::ParseType() {
    const Token& name = ExpectIdentifier("a type");
    TypeInfo type = TypeOf(name.text);
    if ((name.text == "matrix" || name.text == "vector") && NextIs("<")) {
        // matrix<float, 4, 4> and vector<float, 3>
        Next();
        const Token& scalarName = ExpectIdentifier("a scalar type");
        const TypeInfo scalar = TypeOf(scalarName.text);
        if (!(scalar.type == ParameterType::Float || scalar.type == ParameterType::Int ||
              scalar.type == ParameterType::Bool) ||
            scalar.rows != 1 || scalar.columns != 1) {
            Fail(scalarName, "expected a scalar type but found " + Describe(scalarName));
        }
        type.type = scalar.type;
        const auto dimension = [this]() {
            Expect(",");
            const Token& size = Next();
            if (size.kind != TokenKind::Number || size.text.size() != 1 || size.text[0] < '1' ||
                size.text[0] > '4') {
                Fail(size, "expected a dimension from 1 to 4 but found " + Describe(size));
            }
            return size.text[0] - '0';
        };
        if (name.text == "matrix") {
            type.rows = dimension();
        }
        type.columns = dimension();
        Expect(">");
    }
    return type;
}

void EffectFileParser::ParseDeclarators(const Token& typeToken, const TypeInfo& type, bool isStatic,
                                        EffectDescription& effect) {
    do {
        const Token& name = ExpectIdentifier("a name");
        EffectDescription::Parameter parameter;
        parameter.name = std::string(name.text);
        parameter.type = type.type;
        parameter.rows = type.rows;
        parameter.columns = type.columns;
        parameter.isMatrix = type.isMatrix;
        if (Accept("[")) {
            const Token& size = Next();
            const float count = size.kind == TokenKind::Number ? NumberValue(size) : 0.0f;
            if (!(count >= 1.0f && count <= static_cast<float>(kMaxComponents)) ||
                count != std::floor(count)) {
                Fail(size, "array size must be a whole number from 1 to " + std::to_string(kMaxComponents));
            }
            parameter.elements = static_cast<int>(count);
            Expect("]");
        }
        const std::size_t components = static_cast<std::size_t>(parameter.rows) *
                                       static_cast<std::size_t>(parameter.columns) *
                                       static_cast<std::size_t>(std::max(1, parameter.elements));
        if (components > kMaxComponents) {
            Fail(name, "'" + parameter.name + "' is too large");
        }
        if (Accept(":")) {
            parameter.semantic = std::string(ExpectIdentifier("a semantic").text);
            if (NextIs("(")) {
                SkipBalanced("(", ")"); // register(c0)
            }
        }
        SkipAnnotations();
        if (parameter.IsNumeric()) {
            parameter.values.assign(components, 0.0f);
        }
        if (NextIs("=")) {
            ParseDefault(parameter, Next());
        }
        if (!isStatic) {
            if (effect.FindParameter(parameter.name) != nullptr) {
                Fail(name, "redefinition of '" + parameter.name + "'");
            }
            effect.parameters.push_back(std::move(parameter));
        }
    } while (Accept(","));
    if (!NextIs(";")) {
        Fail(Peek(), "expected ';' after the declaration of " + Describe(typeToken) + " but found " +
                         Describe(Peek()));
    }
    Next();
}

void EffectFileParser::ParseDefault(EffectDescription::Parameter& parameter, const Token& equals) {
    if (Peek().kind == TokenKind::Identifier && Peek().text == "sampler_state") {
        Next();
        SkipBalanced("{", "}");
        return;
    }
    if (parameter.type == ParameterType::String) {
        if (Peek().kind != TokenKind::String) {
            Fail(Peek(), "expected a string but found " + Describe(Peek()));
        }
        while (Peek().kind == TokenKind::String) {
            const std::string_view text = Next().text;
            parameter.text.append(text.substr(1, text.size() - 2));
        }
        return;
    }
    if (!parameter.IsNumeric()) {
        SkipInitializer();
        return;
    }
    std::vector<float> values;
    ParseInitializer(values, 0);
    if (values.size() == 1 && parameter.elements == 0) {
        std::fill(parameter.values.begin(), parameter.values.end(), values[0]);
    } else if (values.size() == parameter.values.size()) {
        parameter.values = std::move(values);
    } else {
        Fail(equals, "'" + parameter.name + "' takes " + std::to_string(parameter.values.size()) +
                         " values but its initializer gives " + std::to_string(values.size()));
    }
    for (float& value : parameter.values) {
        if (parameter.type == ParameterType::Bool) {
            value = value != 0.0f ? 1.0f : 0.0f;
        } else if (parameter.type == ParameterType::Int) {
            value = std::isfinite(value) ? std::trunc(value) : 0.0f;
        }
    }
}

void EffectFileParser::ParseInitializer(std::vector<float>& values, int depth) {
    CheckNesting(depth);
    if (!NextIs("{")) {
        ParseSum(values, depth);
        return;
    }
    Next();
    while (!NextIs("}")) {
        ParseInitializer(values, depth + 1);
        if (!Accept(",")) {
            break;
        }
    }
    Expect("}");
}

void EffectFileParser::ParseSum(std::vector<float>& values, int depth) {
    std::vector<float> left;
    ParseProduct(left, depth);
    while (NextIs("+") || NextIs("-")) {
        const Token& operation = Next();
        std::vector<float> right;
        ParseProduct(right, depth);
        if (!Combine(left, right, operation.text[0])) {
            Fail(operation, "operands of " + Describe(operation) + " differ in size");
        }
    }
    values.insert(values.end(), left.begin(), left.end());
    if (values.size() > kMaxComponents) {
        Fail(Peek(), "initializer has too many values");
    }
}

void EffectFileParser::ParseProduct(std::vector<float>& values, int depth) {
    ParseUnary(values, depth);
    while (NextIs("*") || NextIs("/")) {
        const Token& operation = Next();
        std::vector<float> right;
        ParseUnary(right, depth);
        if (!Combine(values, right, operation.text[0])) {
            Fail(operation, "operands of " + Describe(operation) + " differ in size");
        }
    }
}

void EffectFileParser::ParseUnary(std::vector<float>& values, int depth) {
    CheckNesting(depth);
    if (NextIs("-") || NextIs("+")) {
        const bool negate = Next().text == "-";
        std::vector<float> operand;
        ParseUnary(operand, depth + 1);
        for (const float value : operand) {
            values.push_back(negate ? -value : value);
        }
        return;
    }
    ParsePrimary(values, depth);
}

void EffectFileParser::ParsePrimary(std::vector<float>& values, int depth) {
    CheckNesting(depth);
    const Token& token = Peek();
    if (token.kind == TokenKind::Number) {
        values.push_back(NumberValue(Next()));
    } else if (token.kind == TokenKind::Identifier && (token.text == "true" || token.text == "false")) {
        values.push_back(Next().text == "true" ? 1.0f : 0.0f);
    } else if (token.kind == TokenKind::Identifier && NextIs("(", 1) &&
               (TypeOf(token.text).type == ParameterType::Float ||
                TypeOf(token.text).type == ParameterType::Int ||
                TypeOf(token.text).type == ParameterType::Bool)) {
        // A constructor such as float4(0, 0, 1, 0): its arguments flattened in order.
        Next();
        Next();
        if (!Accept(")")) {
            do {
                ParseSum(values, depth + 1);
            } while (Accept(","));
            Expect(")");
        }
    } else if (NextIs("(")) {
        Next();
        ParseSum(values, depth + 1);
        Expect(")");
    } else if (NextIs("{")) {
        ParseInitializer(values, depth + 1);
    } else {
        Fail(token, "expected a value but found " + Describe(token));
    }
    if (values.size() > kMaxComponents) {
        Fail(token, "initializer has too many values");
    }
}

float EffectFileParser::NumberValue(const Token& token) {
    const std::string text(token.text);
    char* end = nullptr;
    double value = 0.0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = static_cast<double>(std::strtoull(text.c_str() + 2, &end, 16));
        if (end == text.c_str() + 2) {
            Fail(token, "malformed number " + Describe(token));
        }
    } else {
        value = std::strtod(text.c_str(), &end);
    }
    const std::string_view suffix(end);
    if (suffix.size() > 1 ||
        (suffix.size() == 1 && std::string_view("fFhHlLuU").find(suffix[0]) == std::string_view::npos)) {
        Fail(token, "malformed number " + Describe(token));
    }
    return static_cast<float>(std::clamp(value, -static_cast<double>(std::numeric_limits<float>::max()),
                                         static_cast<double>(std::numeric_limits<float>::max())));
}

void EffectFileParser::CheckNesting(int depth) const {
    if (depth > kMaxNesting) {
        Fail(Peek(), "initializer nested too deeply");
    }
}
