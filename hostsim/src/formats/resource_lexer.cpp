// Tokens of the host's resource formats, and the decoding of the files' bytes into UTF-8.
#include "resource_lexer.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace hostsim {
namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

void AppendUtf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The length of the well-formed UTF-8 sequence at `p`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF are not).
size_t Utf8SequenceAt(const std::string& s, size_t p) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b = byte(p);
    if (b < 0x80)
        return 1;
    size_t length = 0;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        lo = b == 0xE0 ? 0xA0 : 0x80;
        hi = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (p + length > s.size() || byte(p + 1) < lo || byte(p + 1) > hi)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(p + i) < 0x80 || byte(p + i) > 0xBF)
            return 0;
    return length;
}

// Where byte `offset` of `s` stands, counting lines as the lexer does.
SourcePos PositionOf(const std::string& s, size_t offset) {
    SourcePos pos{1, 1};
    for (size_t i = 0; i < offset && i < s.size(); ++i) {
        if (s[i] == '\n' || (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'))) {
            ++pos.line;
            pos.column = 1;
        } else if (s[i] != '\r' && (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            ++pos.column;
        }
    }
    return pos;
}

} // namespace

std::string Token::Shown() const {
    switch (kind) {
    case End: return "the end of the file";
    case String: return "\"" + text + "\"";
    default: return "'" + text + "'";
    }
}

std::string DecodeResourceText(const std::string& bytes, const std::string& file, ResourceDiagnostics* diagnostics) {
    if (bytes.size() > ResourceLimits::kMaxFileBytes)
        return bytes; // refused by the lexer; not worth a copy
    const bool bom = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const size_t start = bom ? 3 : 0;
    size_t p = start;
    while (p < bytes.size()) {
        const size_t length = Utf8SequenceAt(bytes, p);
        if (length == 0)
            break;
        p += length;
    }
    if (p >= bytes.size())
        return bytes.substr(start);
    diagnostics->Warning(file, PositionOf(bytes, p),
                         "the file is not UTF-8 (byte 0x" + [&] {
                             static const char* hex = "0123456789ABCDEF";
                             const auto b = static_cast<unsigned char>(bytes[p]);
                             return std::string{hex[b >> 4], hex[b & 15]};
                         }() + "); it is read as Latin-1: save it as UTF-8 so that every host reads the same text");
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (size_t i = start; i < bytes.size(); ++i)
        AppendUtf8(&text, static_cast<unsigned char>(bytes[i]));
    return text;
}

Lexer::Lexer(const std::string& text, std::string file, ResourceDiagnostics* diagnostics)
    : s_(text), file_(std::move(file)), diagnostics_(diagnostics) {
    if (s_.size() > ResourceLimits::kMaxFileBytes) {
        Fail(SourcePos{}, "the file is larger than " + std::to_string(ResourceLimits::kMaxFileBytes >> 20) +
                              " MiB; a resource file this size is not a resource file");
        return;
    }
    // One pass up front, so that no token is ever read from a line the host would refuse.
    size_t lineStart = 0;
    for (size_t i = 0; i <= s_.size(); ++i) {
        if (i < s_.size() && s_[i] != '\n' && s_[i] != '\r')
            continue;
        if (i - lineStart > ResourceLimits::kMaxLineBytes) {
            Fail(SourcePos{PositionOf(s_, lineStart).line, 1},
                 "line longer than " + std::to_string(ResourceLimits::kMaxLineBytes) + " bytes");
            return;
        }
        lineStart = i + 1;
    }
}

Token Lexer::Fail(SourcePos pos, const std::string& what) {
    if (!failed_)
        diagnostics_->Error(file_, pos, what);
    failed_ = true;
    Token t;
    t.kind = Token::Invalid;
    t.pos = pos;
    return t;
}

void Lexer::Advance() {
    const char c = s_[p_++];
    if (c == '\n' || (c == '\r' && (AtEnd() || s_[p_] != '\n'))) {
        ++pos_.line;
        pos_.column = 1;
    } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        ++pos_.column; // columns count characters, not the bytes of one
    }
}

bool Lexer::AtLineStart() const {
    for (size_t q = p_; q > 0; --q) {
        const char c = s_[q - 1];
        if (c == '\n' || c == '\r')
            return true;
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

void Lexer::SkipSpaceAndComments() {
    for (;;) {
        while (!AtEnd() && std::isspace(static_cast<unsigned char>(s_[p_])))
            Advance();
        if (p_ + 1 < s_.size() && s_[p_] == '/' && s_[p_ + 1] == '/') {
            while (!AtEnd() && !AtLineBreak())
                Advance();
            continue;
        }
        if (p_ + 1 < s_.size() && s_[p_] == '/' && s_[p_ + 1] == '*') {
            const SourcePos start = pos_;
            Advance();
            Advance();
            while (!AtEnd() && !(s_[p_] == '*' && p_ + 1 < s_.size() && s_[p_ + 1] == '/'))
                Advance();
            if (AtEnd()) {
                Fail(start, "comment not closed: '/*' without '*/' before the end of the file");
                return;
            }
            Advance();
            Advance();
            continue;
        }
        if (!AtEnd() && s_[p_] == '#' && AtLineStart()) {
            while (!AtEnd() && !AtLineBreak())
                Advance();
            continue;
        }
        return;
    }
}

Token Lexer::Next() {
    if (failed_)
        return Fail(pos_, "");
    SkipSpaceAndComments();
    if (failed_)
        return Fail(pos_, "");
    Token t;
    t.pos = pos_;
    if (AtEnd()) {
        t.kind = Token::End;
        return t;
    }
    const char c = s_[p_];
    if (c == '{' || c == '}' || c == ';' || c == ',' || c == '=') {
        t.kind = Token::Punct;
        t.text = std::string(1, c);
        Advance();
        return t;
    }
    if (c == '"')
        return ReadString();
    if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && p_ + 1 < s_.size() && IsDigit(s_[p_ + 1])))
        return ReadNumber();
    if (IsWordStart(c))
        return ReadWord();
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        return Fail(pos_, "unexpected control character " + std::to_string(static_cast<unsigned char>(c)));
    const size_t length = Utf8SequenceAt(s_, p_);
    return Fail(pos_, "unexpected character '" + s_.substr(p_, length ? length : 1) + "'");
}

Token Lexer::ReadWord() {
    Token t;
    t.kind = Token::Word;
    t.pos = pos_;
    const size_t start = p_;
    while (!AtEnd() && IsWordChar(s_[p_]))
        Advance();
    t.text = s_.substr(start, p_ - start);
    return t;
}

Token Lexer::ReadNumber() {
    Token t;
    t.kind = Token::Number;
    t.pos = pos_;
    const size_t start = p_;
    if (s_[p_] == '-' || s_[p_] == '+')
        Advance();
    while (!AtEnd() && (IsWordChar(s_[p_]) || s_[p_] == '.'))
        Advance();
    t.text = s_.substr(start, p_ - start);
    char* end = nullptr;
    errno = 0;
    const long long integer = std::strtoll(t.text.c_str(), &end, 0);
    if (end && *end == '\0' && errno == 0) {
        t.integer = true;
        t.number = integer;
        return t;
    }
    errno = 0;
    (void)std::strtod(t.text.c_str(), &end);
    if (end && *end == '\0' && errno == 0)
        return t;
    return Fail(t.pos, "'" + t.text + "' is not a number");
}

void Lexer::AppendEscape(std::string* value) {
    // At the backslash; the character after it is known to exist and not to end the line.
    Advance();
    const char e = s_[p_];
    Advance();
    switch (e) {
    case 'n': value->push_back('\n'); return;
    case 't': value->push_back('\t'); return;
    case 'u': {
        uint32_t cp = 0;
        size_t digits = 0;
        for (; digits < 4 && !AtEnd() && std::isxdigit(static_cast<unsigned char>(s_[p_])); ++digits) {
            const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[p_])));
            cp = cp * 16 + static_cast<uint32_t>(IsDigit(h) ? h - '0' : h - 'a' + 10);
            Advance();
        }
        if (digits != 4) {
            Fail(pos_, "\\u must be followed by four hexadecimal digits");
            return;
        }
        AppendUtf8(value, cp >= 0xD800 && cp <= 0xDFFF ? 0xFFFD : cp);
        return;
    }
    default: value->push_back(e); return; // \" \\ and any other character stand for themselves
    }
}

Token Lexer::ReadString() {
    Token t;
    t.kind = Token::String;
    t.pos = pos_;
    Advance(); // opening quote
    while (!AtEnd() && s_[p_] != '"') {
        if (AtLineBreak())
            return Fail(t.pos, "string literal runs past the end of the line (a '\"' is missing)");
        if (s_[p_] == '\\' && p_ + 1 < s_.size() && s_[p_ + 1] != '\n' && s_[p_ + 1] != '\r') {
            AppendEscape(&t.text);
            if (failed_)
                return Fail(pos_, "");
            continue;
        }
        t.text.push_back(s_[p_]);
        Advance();
    }
    if (AtEnd())
        return Fail(t.pos, "unterminated string literal");
    Advance(); // closing quote
    return t;
}

const Token& TokenStream::Peek(size_t ahead) {
    while (ahead_.size() <= ahead)
        ahead_.push_back(lexer_.Next());
    return ahead_[ahead];
}

Token TokenStream::Take() {
    Peek();
    Token t = std::move(ahead_.front());
    ahead_.pop_front();
    return t;
}

void TokenStream::Skip(size_t count) {
    for (size_t i = 0; i < count; ++i)
        Take();
}

} // namespace hostsim
