// Readers for the host's resource formats (c4d_symbols.h, .str string tables, .res dialogs).
#include "hostsim/resource_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hostsim {
namespace {

namespace fs = std::filesystem;

struct Token {
    enum Kind { Word, Number, String, Punct, End } kind = End;
    std::string text;
    int64_t number = 0;
    int line = 0;
};

// Splits resource text into words, integers, string literals and the punctuation { } ; , =.
// Skips // and /* */ comments and preprocessor lines (#ifndef guards around the symbol enum).
class Lexer {
public:
    Lexer(const std::string& text, std::string file) : s_(text), file_(std::move(file)) {}

    bool Next(Token* t, std::string* why) {
        SkipSpace();
        t->line = line_;
        t->text.clear();
        if (p_ >= s_.size()) {
            t->kind = Token::End;
            return true;
        }
        char c = s_[p_];
        if (c == '{' || c == '}' || c == ';' || c == ',' || c == '=') {
            t->kind = Token::Punct;
            t->text = std::string(1, c);
            ++p_;
            return true;
        }
        if (c == '"')
            return ReadString(t, why);
        if (std::isdigit(static_cast<unsigned char>(c)) || ((c == '-' || c == '+') && p_ + 1 < s_.size() &&
                                                            std::isdigit(static_cast<unsigned char>(s_[p_ + 1]))))
            return ReadNumber(t, why);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = p_;
            while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '_'))
                ++p_;
            t->kind = Token::Word;
            t->text = s_.substr(start, p_ - start);
            return true;
        }
        return Fail(why, std::string("unexpected character '") + c + "'");
    }

    bool Fail(std::string* why, const std::string& what) const {
        *why = file_ + ":" + std::to_string(line_) + ": " + what;
        return false;
    }
    const std::string& file() const { return file_; }

private:
    void SkipSpace() {
        for (;;) {
            while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) {
                if (s_[p_] == '\n')
                    ++line_;
                ++p_;
            }
            if (p_ + 1 < s_.size() && s_[p_] == '/' && s_[p_ + 1] == '/') {
                while (p_ < s_.size() && s_[p_] != '\n')
                    ++p_;
                continue;
            }
            if (p_ + 1 < s_.size() && s_[p_] == '/' && s_[p_ + 1] == '*') {
                p_ += 2;
                while (p_ + 1 < s_.size() && !(s_[p_] == '*' && s_[p_ + 1] == '/')) {
                    if (s_[p_] == '\n')
                        ++line_;
                    ++p_;
                }
                p_ = std::min(s_.size(), p_ + 2);
                continue;
            }
            if (p_ < s_.size() && s_[p_] == '#' && AtLineStart()) {
                while (p_ < s_.size() && s_[p_] != '\n')
                    ++p_;
                continue;
            }
            if (p_ == 0 && s_.size() >= 3 && static_cast<unsigned char>(s_[0]) == 0xEF &&
                static_cast<unsigned char>(s_[1]) == 0xBB && static_cast<unsigned char>(s_[2]) == 0xBF) {
                p_ = 3; // UTF-8 byte order mark
                continue;
            }
            return;
        }
    }

    bool AtLineStart() const {
        for (size_t q = p_; q > 0; --q) {
            char c = s_[q - 1];
            if (c == '\n')
                return true;
            if (c != ' ' && c != '\t')
                return false;
        }
        return true;
    }

    bool ReadNumber(Token* t, std::string* why) {
        size_t start = p_;
        if (s_[p_] == '-' || s_[p_] == '+')
            ++p_;
        while (p_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[p_])))
            ++p_;
        std::string text = s_.substr(start, p_ - start);
        errno = 0;
        char* end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 0);
        if (errno != 0 || !end || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
            return Fail(why, "bad integer '" + text + "'");
        t->kind = Token::Number;
        t->text = text;
        t->number = v;
        return true;
    }

    static void AppendUtf8(std::string* out, uint32_t cp) {
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

    bool ReadString(Token* t, std::string* why) {
        ++p_; // opening quote
        std::string value;
        while (p_ < s_.size() && s_[p_] != '"') {
            char c = s_[p_];
            if (c == '\n')
                return Fail(why, "string literal runs past the end of the line");
            if (c == '\\' && p_ + 1 < s_.size()) {
                char e = s_[p_ + 1];
                p_ += 2;
                switch (e) {
                case 'n': value.push_back('\n'); break;
                case 't': value.push_back('\t'); break;
                case '"': value.push_back('"'); break;
                case '\\': value.push_back('\\'); break;
                case 'u': {
                    if (p_ + 4 > s_.size())
                        return Fail(why, "bad \\u escape");
                    std::string hex = s_.substr(p_, 4);
                    char* end = nullptr;
                    unsigned long cp = std::strtoul(hex.c_str(), &end, 16);
                    if (!end || *end != '\0')
                        return Fail(why, "bad \\u escape '" + hex + "'");
                    AppendUtf8(&value, static_cast<uint32_t>(cp));
                    p_ += 4;
                    break;
                }
                default: value.push_back(e); break;
                }
                continue;
            }
            value.push_back(c);
            ++p_;
        }
        if (p_ >= s_.size())
            return Fail(why, "unterminated string literal");
        ++p_; // closing quote
        t->kind = Token::String;
        t->text = std::move(value);
        return true;
    }

    const std::string& s_;
    std::string file_;
    size_t p_ = 0;
    int line_ = 1;
};

bool Tokenize(const std::string& text, const std::string& file, std::vector<Token>* out, std::string* why) {
    Lexer lexer(text, file);
    for (;;) {
        Token t;
        if (!lexer.Next(&t, why))
            return false;
        out->push_back(t);
        if (t.kind == Token::End) {
            // Padding, so that the parsers may look a few tokens ahead without bounds checks.
            out->insert(out->end(), 4, t);
            return true;
        }
    }
}

std::string At(const std::string& file, const Token& t, const std::string& what) {
    return file + ":" + std::to_string(t.line) + ": " + what;
}

bool IsPunct(const Token& t, char c) { return t.kind == Token::Punct && t.text.size() == 1 && t.text[0] == c; }

bool ResolveId(const Token& t, const std::map<std::string, int32_t>& symbols, int32_t* out) {
    if (t.kind == Token::Number) {
        *out = static_cast<int32_t>(t.number);
        return true;
    }
    if (t.kind == Token::Word) {
        auto it = symbols.find(t.text);
        if (it != symbols.end()) {
            *out = it->second;
            return true;
        }
    }
    return false;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A file holds one table or description and nothing after it.
bool ExpectNothingAfter(const std::vector<Token>& toks, size_t i, const std::string& file, const std::string& what,
                        std::string* why) {
    if (toks[i].kind == Token::End)
        return true;
    *why = At(file, toks[i], "unexpected '" + toks[i].text + "' after the " + what);
    return false;
}

// Parses `KEY "text"; KEY "text"; }` (up to and including the closing brace) starting at `i`.
template <typename OnEntry>
bool ParseTextEntries(const std::vector<Token>& toks, size_t* i, const std::string& file, OnEntry onEntry,
                      std::string* why) {
    for (;;) {
        const Token& key = toks[*i];
        if (IsPunct(key, '}')) {
            ++*i;
            return true;
        }
        if (key.kind != Token::Word && key.kind != Token::Number) {
            *why = At(file, key, key.kind == Token::End ? "missing '}' at the end of the table"
                                                        : "expected a string id, found '" + key.text + "'");
            return false;
        }
        const Token& value = toks[*i + 1];
        if (value.kind != Token::String) {
            *why = At(file, value, "expected a string literal after '" + key.text + "'");
            return false;
        }
        std::string text = value.text;
        size_t j = *i + 2;
        while (toks[j].kind == Token::String) // adjacent literals are joined
            text += toks[j++].text;
        if (!IsPunct(toks[j], ';')) {
            *why = At(file, toks[j], "expected ';' after the string of '" + key.text + "'");
            return false;
        }
        if (!onEntry(key, text, why))
            return false;
        *i = j + 1;
    }
}

struct DialogParser {
    const std::vector<Token>& toks;
    const std::string& file;
    const std::map<std::string, int32_t>& symbols;
    const std::map<std::string, std::string>& texts;
    size_t i = 0;

    std::string Text(const std::string& key) const {
        auto it = texts.find(key);
        return it == texts.end() ? key : it->second;
    }

    // Parses the body of an element after its '{', up to and including its '}'.
    bool Body(DialogElement* el, std::string* why) {
        for (;;) {
            const Token& t = toks[i];
            if (IsPunct(t, '}')) {
                ++i;
                return true;
            }
            if (t.kind == Token::End) {
                *why = At(file, t, "missing '}' for " + el->kind);
                return false;
            }
            if (t.kind == Token::Word && el->kind == "COMBOBOX" && t.text == "CHILDS" && IsPunct(toks[i + 1], '{')) {
                i += 2;
                if (!Childs(el, why))
                    return false;
                continue;
            }
            // An element: WORD '{' or WORD id '{'.
            if (t.kind == Token::Word && IsPunct(toks[i + 1], '{')) {
                DialogElement child;
                child.kind = t.text;
                i += 2;
                if (!Body(&child, why))
                    return false;
                el->children.push_back(std::move(child));
                continue;
            }
            if (t.kind == Token::Word && (toks[i + 1].kind == Token::Word || toks[i + 1].kind == Token::Number) &&
                IsPunct(toks[i + 2], '{')) {
                DialogElement child;
                child.kind = t.text;
                int32_t id = 0;
                if (!ResolveId(toks[i + 1], symbols, &id)) {
                    *why = At(file, toks[i + 1], "unknown id '" + toks[i + 1].text + "' of " + t.text);
                    return false;
                }
                child.id = id;
                i += 3;
                if (!Body(&child, why))
                    return false;
                el->children.push_back(std::move(child));
                continue;
            }
            // An option: tokens up to ';'.
            std::vector<std::string> option;
            while (!IsPunct(toks[i], ';')) {
                const Token& o = toks[i];
                if (o.kind == Token::End || IsPunct(o, '{') || IsPunct(o, '}')) {
                    *why = At(file, o, "expected ';' to end the option '" + (option.empty() ? o.text : option[0]) + "'");
                    return false;
                }
                if (!IsPunct(o, ','))
                    option.push_back(o.text);
                ++i;
            }
            ++i; // ';'
            if (option.empty())
                continue;
            if (option[0] == "NAME" && option.size() >= 2)
                el->name = Text(option[1]);
            el->options.push_back(std::move(option));
        }
    }

    bool Childs(DialogElement* el, std::string* why) {
        for (;;) {
            const Token& t = toks[i];
            if (IsPunct(t, '}')) {
                ++i;
                return true;
            }
            int32_t value = 0;
            if (!ResolveId(t, symbols, &value)) {
                *why = At(file, t, "expected a child value in CHILDS, found '" + t.text + "'");
                return false;
            }
            if (!IsPunct(toks[i + 1], ',') || (toks[i + 2].kind != Token::Word && toks[i + 2].kind != Token::String) ||
                !IsPunct(toks[i + 3], ';')) {
                *why = At(file, t, "expected '<value>, <text id>;' in CHILDS");
                return false;
            }
            const Token& text = toks[i + 2];
            el->childs.emplace_back(value, text.kind == Token::String ? text.text : Text(text.text));
            i += 4;
        }
    }
};

} // namespace

bool ReadTextFile(const std::string& path, std::string* text, std::string* why) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::u8path(path), ec)) {
        *why = path + ": no such file";
        return false;
    }
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) {
        *why = path + ": cannot be opened";
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

bool ParseSymbols(const std::string& text, const std::string& fileName, std::map<std::string, int32_t>* symbols,
                  std::string* why) {
    std::vector<Token> toks;
    if (!Tokenize(text, fileName, &toks, why))
        return false;
    size_t i = 0;
    while (toks[i].kind != Token::End && !(toks[i].kind == Token::Word && toks[i].text == "enum"))
        ++i;
    if (toks[i].kind == Token::End) {
        *why = fileName + ": no 'enum { ... };' declaring the resource ids";
        return false;
    }
    ++i;
    if (toks[i].kind == Token::Word) // a named enum
        ++i;
    if (!IsPunct(toks[i], '{')) {
        *why = At(fileName, toks[i], "expected '{' after 'enum'");
        return false;
    }
    ++i;
    int64_t next = 0;
    for (;;) {
        const Token& name = toks[i];
        if (IsPunct(name, '}'))
            break;
        if (name.kind != Token::Word) {
            *why = At(fileName, name, name.kind == Token::End ? "missing '}' at the end of the enum"
                                                              : "expected a symbol name, found '" + name.text + "'");
            return false;
        }
        ++i;
        int64_t value = next;
        if (IsPunct(toks[i], '=')) {
            const Token& v = toks[i + 1];
            int32_t resolved = 0;
            if (v.kind == Token::Number) {
                value = v.number;
            } else if (v.kind == Token::Word && ResolveId(v, *symbols, &resolved)) {
                value = resolved;
            } else {
                *why = At(fileName, v, "expected a value for '" + name.text + "'");
                return false;
            }
            i += 2;
        }
        if (value > INT32_MAX) {
            *why = At(fileName, name, "value of '" + name.text + "' is out of range");
            return false;
        }
        if (symbols->count(name.text)) {
            *why = At(fileName, name, "symbol '" + name.text + "' is declared twice");
            return false;
        }
        (*symbols)[name.text] = static_cast<int32_t>(value);
        next = value + 1;
        if (IsPunct(toks[i], ',')) {
            ++i;
            continue;
        }
        if (!IsPunct(toks[i], '}')) {
            *why = At(fileName, toks[i], "expected ',' or '}' after '" + name.text + "'");
            return false;
        }
    }
    ++i;
    if (!IsPunct(toks[i], ';')) {
        *why = At(fileName, toks[i], "expected ';' after the enum");
        return false;
    }
    return true;
}

bool ParseStringTable(const std::string& text, const std::string& fileName,
                      const std::map<std::string, int32_t>& symbols, std::map<int32_t, std::string>* strings,
                      std::string* why) {
    std::vector<Token> toks;
    if (!Tokenize(text, fileName, &toks, why))
        return false;
    if (!(toks[0].kind == Token::Word && toks[0].text == "STRINGTABLE") || !IsPunct(toks[1], '{')) {
        *why = At(fileName, toks[0], "expected 'STRINGTABLE {'");
        return false;
    }
    size_t i = 2;
    auto onEntry = [&](const Token& key, const std::string& value, std::string* err) {
        int32_t id = 0;
        if (!ResolveId(key, symbols, &id)) {
            *err = At(fileName, key, "string id '" + key.text + "' is not declared in c4d_symbols.h");
            return false;
        }
        if (strings->count(id)) {
            *err = At(fileName, key, "string id '" + key.text + "' appears twice");
            return false;
        }
        (*strings)[id] = value;
        return true;
    };
    return ParseTextEntries(toks, &i, fileName, onEntry, why) &&
           ExpectNothingAfter(toks, i, fileName, "string table", why);
}

bool ParseDialogStrings(const std::string& text, const std::string& fileName,
                        std::map<std::string, std::string>* texts, std::string* why) {
    std::vector<Token> toks;
    if (!Tokenize(text, fileName, &toks, why))
        return false;
    if (!(toks[0].kind == Token::Word && toks[0].text == "DIALOGSTRINGS") || toks[1].kind != Token::Word ||
        !IsPunct(toks[2], '{')) {
        *why = At(fileName, toks[0], "expected 'DIALOGSTRINGS <dialog> {'");
        return false;
    }
    size_t i = 3;
    auto onEntry = [&](const Token& key, const std::string& value, std::string*) {
        (*texts)[key.text] = value;
        return true;
    };
    return ParseTextEntries(toks, &i, fileName, onEntry, why) &&
           ExpectNothingAfter(toks, i, fileName, "dialog strings", why);
}

bool ParseDialog(const std::string& text, const std::string& fileName, const std::map<std::string, int32_t>& symbols,
                 const std::map<std::string, std::string>& texts, DialogDescription* out, std::string* why) {
    std::vector<Token> toks;
    if (!Tokenize(text, fileName, &toks, why))
        return false;
    if (!(toks[0].kind == Token::Word && toks[0].text == "DIALOG")) {
        *why = At(fileName, toks[0], "expected 'DIALOG <id> {'");
        return false;
    }
    int32_t id = 0;
    if (!ResolveId(toks[1], symbols, &id)) {
        *why = At(fileName, toks[1], "dialog id '" + toks[1].text + "' is not declared in c4d_symbols.h");
        return false;
    }
    if (!IsPunct(toks[2], '{')) {
        *why = At(fileName, toks[2], "expected '{' after the dialog id");
        return false;
    }
    DialogParser parser{toks, fileName, symbols, texts, 3};
    DialogElement root;
    root.kind = "DIALOG";
    if (!parser.Body(&root, why))
        return false;
    if (!ExpectNothingAfter(toks, parser.i, fileName, "dialog", why))
        return false;
    out->id = id;
    out->symbol = toks[1].text;
    out->elements = std::move(root.children);
    out->title = root.name;
    auto title = texts.find("T_TITLE");
    if (out->title.empty() && title != texts.end())
        out->title = title->second;
    return true;
}

bool LoadResourceFolder(const std::string& folder, Resource* out, std::string* why) {
    std::error_code ec;
    if (!fs::is_directory(fs::u8path(folder), ec)) {
        *why = "resource folder " + folder + " does not exist";
        return false;
    }
    const std::string symbolsPath = (fs::u8path(folder) / "c4d_symbols.h").u8string();
    const std::string stringsPath = (fs::u8path(folder) / "strings_en-US" / "c4d_strings.str").u8string();
    std::string text;
    out->symbols.clear();
    out->strings.clear();
    if (!ReadTextFile(symbolsPath, &text, why) || !ParseSymbols(text, symbolsPath, &out->symbols, why))
        return false;
    if (!ReadTextFile(stringsPath, &text, why) || !ParseStringTable(text, stringsPath, out->symbols, &out->strings, why))
        return false;
    out->folder = folder;
    return true;
}

bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out, std::string* why) {
    std::string symbol;
    for (const auto& s : res.symbols) {
        if (s.second == dialogId) {
            // Prefer a symbol whose description file exists (several symbols may share a value).
            std::string candidate = (fs::u8path(res.folder) / "dialogs" / (Lower(s.first) + ".res")).u8string();
            std::error_code ec;
            if (symbol.empty() || fs::exists(fs::u8path(candidate), ec))
                symbol = s.first;
        }
    }
    if (symbol.empty()) {
        *why = "dialog " + std::to_string(dialogId) + " is not declared in c4d_symbols.h of " + res.folder;
        return false;
    }
    const std::string name = Lower(symbol);
    const std::string resPath = (fs::u8path(res.folder) / "dialogs" / (name + ".res")).u8string();
    const std::string strPath = (fs::u8path(res.folder) / "strings_en-US" / "dialogs" / (name + ".str")).u8string();
    std::string text;
    if (!ReadTextFile(resPath, &text, why))
        return false;
    std::map<std::string, std::string> texts;
    std::string strText;
    std::string ignored;
    if (ReadTextFile(strPath, &strText, &ignored) && !ParseDialogStrings(strText, strPath, &texts, why))
        return false;
    if (!ParseDialog(text, resPath, res.symbols, texts, out, why))
        return false;
    if (out->id != dialogId) {
        *why = resPath + ": describes dialog " + std::to_string(out->id) + ", not " + std::to_string(dialogId);
        return false;
    }
    return true;
}

} // namespace hostsim
