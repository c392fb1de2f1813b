// The compiler's side of the generated parser: the lexer call, the node-building actions and the
// parser's error routine. One Compiler lives for one Compile call.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "script/lexer.h"

namespace TextScript {

class ScriptStateGroup;

class Compiler {
public:
    explicit Compiler(ScriptStateGroup& group);

    // Parses the whole source into the group (the generated parser's entry point).
    void Parse();

    int NextToken(std::u16string*& value) { return lexer_.NextToken(value); }

    // Makes a command node with the arguments' texts and appends it to the group.
    void Command(std::uint8_t code, std::uint8_t op, std::initializer_list<std::u16string*> arguments);
    // Makes a page node (a run of blank lines) and appends it.
    void Page();
    // DeclareVariable(word, 0).
    void Declare(std::u16string* word);
    // RST and RSX name one letter.
    void RequireOneLetter(std::u16string* word);

    // The parser's error routine: writes "NAME(LINE): MESSAGE" and raises the error exception.
    [[noreturn]] void RaiseCompileError(std::u16string_view message);
    // The generated parser's messages, mapped to the system's.
    [[noreturn]] void RaiseParserError(const char* message);

private:
    ScriptStateGroup& group_;
    ScriptLexer lexer_;
    std::uint32_t pages_ = 0;
};

}  // namespace TextScript
