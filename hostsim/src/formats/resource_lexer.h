// resource_lexer.h - the tokens of the host's resource formats, shared by their readers.
#ifndef CORVEL_HOSTSIM_RESOURCE_LEXER_H
#define CORVEL_HOSTSIM_RESOURCE_LEXER_H

#include <cstdint>
#include <deque>
#include <string>

#include "hostsim/resource_files.h"

namespace hostsim {

struct Token {
    // Invalid: the lexer reported an error here; nothing after it is read.
    enum Kind { Word, Number, String, Punct, End, Invalid } kind = End;
    std::string text;      // the word, the number as written, the string's value, the punctuation
    int64_t number = 0;    // for integer numbers
    bool integer = false;  // a Number that is an integer (not 1.5)
    SourcePos pos;

    bool Is(char punct) const { return kind == Punct && text.size() == 1 && text[0] == punct; }
    bool IsWord(const char* word) const { return kind == Word && text == word; }
    // How the token reads in a message.
    std::string Shown() const;
};

// Turns the bytes of a resource file into UTF-8 text: a UTF-8 byte order mark is dropped, and a
// file that is not valid UTF-8 is read as Latin-1 (the encoding of older resource files), with a
// warning at its first such byte.
std::string DecodeResourceText(const std::string& bytes, const std::string& file, ResourceDiagnostics* diagnostics);

// Splits decoded resource text into words, numbers, string literals and the punctuation { } ; , =,
// one token at a time. Skips // and /* */ comments and preprocessor lines. LF, CR LF and a lone CR
// each end a line. Errors (a bad character, an unterminated literal, a line or file over the
// limits) are reported once and answered with an Invalid token from then on.
class Lexer {
public:
    Lexer(const std::string& text, std::string file, ResourceDiagnostics* diagnostics);

    Token Next();

private:
    bool AtEnd() const { return p_ >= s_.size(); }
    // Moves past one character, counting lines and columns (a CR LF pair is one line break).
    void Advance();
    bool AtLineBreak() const { return !AtEnd() && (s_[p_] == '\n' || s_[p_] == '\r'); }
    void SkipSpaceAndComments();
    bool AtLineStart() const;
    Token ReadWord();
    Token ReadNumber();
    Token ReadString();
    Token Fail(SourcePos pos, const std::string& what);
    void AppendEscape(std::string* value);

    const std::string& s_;
    std::string file_;
    ResourceDiagnostics* diagnostics_;
    size_t p_ = 0;
    SourcePos pos_{1, 1};
    bool failed_ = false;
};

// A lexer with look-ahead: the readers peek a few tokens before they decide.
class TokenStream {
public:
    TokenStream(const std::string& text, const std::string& file, ResourceDiagnostics* diagnostics)
        : lexer_(text, file, diagnostics) {}

    const Token& Peek(size_t ahead = 0);
    Token Take();
    void Skip(size_t count);

private:
    Lexer lexer_;
    std::deque<Token> ahead_;
};

} // namespace hostsim

#endif // CORVEL_HOSTSIM_RESOURCE_LEXER_H
