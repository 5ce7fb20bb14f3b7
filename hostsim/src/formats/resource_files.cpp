// Readers of the host's resource formats: c4d_symbols.h, string tables, dialog descriptions and
// their strings.
#include "hostsim/resource_files.h"

#include <algorithm>
#include <utility>

#include "resource_lexer.h"

namespace hostsim {

std::string ResourceDiagnostic::Format() const {
    std::string where = file;
    if (pos.line > 0)
        where += ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column);
    return where + (severity == Severity::Error ? ": error: " : ": warning: ") + message;
}

void ResourceDiagnostics::Error(const std::string& file, SourcePos pos, const std::string& message) {
    items_.push_back({ResourceDiagnostic::Severity::Error, file, pos, message});
    ++errors_;
}

void ResourceDiagnostics::Warning(const std::string& file, SourcePos pos, const std::string& message) {
    items_.push_back({ResourceDiagnostic::Severity::Warning, file, pos, message});
}

void ResourceDiagnostics::Append(const ResourceDiagnostics& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    errors_ += other.errors_;
}

std::string ResourceDiagnostics::FirstError() const {
    for (const auto& d : items_)
        if (d.severity == ResourceDiagnostic::Severity::Error)
            return d.Format();
    return {};
}

namespace {

std::string LineOf(SourcePos pos) { return "line " + std::to_string(pos.line); }

// Reports an unexpected token, unless the lexer already reported why there is none.
bool Unexpected(const Token& t, const std::string& file, const std::string& expected, ResourceDiagnostics* d) {
    if (t.kind != Token::Invalid)
        d->Error(file, t.pos, "expected " + expected + ", found " + t.Shown());
    return false;
}

// An integer id as written in a resource file (decimal or 0x hexadecimal), within Int32.
bool IntegerId(const Token& t, int32_t* out) {
    if (t.kind != Token::Number || !t.integer || t.number < INT32_MIN || t.number > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(t.number);
    return true;
}

// A symbol of c4d_symbols.h, IDC_STATIC (known to the host without a declaration) or an integer.
bool ResolveId(const Token& t, const std::map<std::string, int32_t>& symbols, int32_t* out) {
    if (IntegerId(t, out))
        return true;
    if (t.kind != Token::Word)
        return false;
    const auto it = symbols.find(t.text);
    if (it != symbols.end()) {
        *out = it->second;
        return true;
    }
    if (t.text == kStaticIdSymbol) {
        *out = kStaticId;
        return true;
    }
    return false;
}

// A file holds one table or description and nothing after it.
bool ExpectEnd(TokenStream* ts, const std::string& file, const std::string& what, ResourceDiagnostics* d) {
    const Token& t = ts->Peek();
    if (t.kind == Token::End)
        return true;
    return Unexpected(t, file, "nothing after the " + what, d);
}

bool CountEntry(size_t* count, const Token& at, const std::string& file, ResourceDiagnostics* d) {
    if (++*count <= ResourceLimits::kMaxEntries)
        return true;
    d->Error(file, at.pos, "more than " + std::to_string(ResourceLimits::kMaxEntries) + " entries in one file");
    return false;
}

// Reads `KEY "text" ["more text" ...]; ... }` up to and including the closing brace, handing each
// entry to `onEntry(key token, text)`.
template <typename OnEntry>
bool ReadTextEntries(TokenStream* ts, const std::string& file, const Token& opened, ResourceDiagnostics* d,
                     OnEntry onEntry) {
    size_t count = 0;
    for (;;) {
        const Token key = ts->Take();
        if (key.Is('}'))
            return true;
        if (key.kind == Token::End) {
            d->Error(file, key.pos, "missing '}' to close the table opened at " + LineOf(opened.pos));
            return false;
        }
        if (key.kind != Token::Word && !(key.kind == Token::Number && key.integer))
            return Unexpected(key, file, "a string id", d);
        if (!CountEntry(&count, key, file, d))
            return false;
        const Token value = ts->Take();
        if (value.kind != Token::String)
            return Unexpected(value, file, "the text of '" + key.text + "' in quotes", d);
        std::string text = value.text;
        while (ts->Peek().kind == Token::String) // adjacent literals are joined, as in C
            text += ts->Take().text;
        const Token end = ts->Take();
        if (!end.Is(';'))
            return Unexpected(end, file, "';' after the text of '" + key.text + "'", d);
        onEntry(key, text);
    }
}

} // namespace

bool ReadSymbols(const std::string& bytes, const std::string& fileName, std::map<std::string, int32_t>* symbols,
                 ResourceDiagnostics* diagnostics) {
    ResourceDiagnostics& d = *diagnostics;
    const size_t errorsBefore = d.ErrorCount();
    const std::string text = DecodeResourceText(bytes, fileName, &d);
    TokenStream ts(text, fileName, &d);
    while (ts.Peek().kind != Token::End && ts.Peek().kind != Token::Invalid && !ts.Peek().IsWord("enum"))
        ts.Take();
    if (ts.Peek().kind == Token::Invalid)
        return false;
    if (ts.Peek().kind == Token::End) {
        d.Error(fileName, SourcePos{}, "no 'enum { ... }' declaring the resource ids");
        return false;
    }
    ts.Take();
    if (ts.Peek().kind == Token::Word) // a named enum
        ts.Take();
    const Token open = ts.Take();
    if (!open.Is('{'))
        return Unexpected(open, fileName, "'{' after 'enum'", &d);

    std::map<std::string, SourcePos> declaredAt;
    int64_t next = 0;
    for (;;) {
        const Token name = ts.Take();
        if (name.Is('}'))
            break;
        if (name.kind == Token::End) {
            d.Error(fileName, name.pos, "missing '}' to close the enum opened at " + LineOf(open.pos));
            return false;
        }
        if (name.kind != Token::Word)
            return Unexpected(name, fileName, "a symbol name", &d);
        if (symbols->size() >= ResourceLimits::kMaxEntries) {
            d.Error(fileName, name.pos, "more than " + std::to_string(ResourceLimits::kMaxEntries) + " symbols");
            return false;
        }
        int64_t value = next;
        if (ts.Peek().Is('=')) {
            ts.Take();
            const Token v = ts.Take();
            const auto known = symbols->find(v.text);
            if (v.kind == Token::Number && v.integer) {
                value = v.number;
            } else if (v.kind == Token::Word && known != symbols->end()) {
                value = known->second;
            } else {
                return Unexpected(v, fileName, "an integer or an earlier symbol as the value of '" + name.text + "'",
                                  &d);
            }
        }
        if (value < INT32_MIN || value > INT32_MAX) {
            d.Error(fileName, name.pos, "the value " + std::to_string(value) + " of '" + name.text +
                                            "' does not fit in a 32-bit id");
            return false;
        }
        const auto id = static_cast<int32_t>(value);
        const auto earlier = symbols->find(name.text);
        if (name.text == kStaticIdSymbol && id != kStaticId) {
            d.Warning(fileName, name.pos, std::string(kStaticIdSymbol) + " is predefined by the host as " +
                                              std::to_string(kStaticId) + "; the value " + std::to_string(id) +
                                              " given here is ignored");
        } else if (earlier != symbols->end() && earlier->second != id) {
            d.Error(fileName, name.pos, "'" + name.text + "' is declared twice, with different values (" +
                                            std::to_string(id) + " here, " + std::to_string(earlier->second) +
                                            " at " + LineOf(declaredAt[name.text]) + ")");
            return false;
        } else if (earlier != symbols->end()) {
            d.Warning(fileName, name.pos, "'" + name.text + "' is declared twice (also at " +
                                              LineOf(declaredAt[name.text]) + ", with the same value)");
        } else {
            (*symbols)[name.text] = id;
            declaredAt[name.text] = name.pos;
        }
        next = value + 1;
        const Token separator = ts.Take();
        if (separator.Is('}'))
            break;
        if (!separator.Is(','))
            return Unexpected(separator, fileName, "',' or '}' after '" + name.text + "'", &d);
    }
    if (ts.Peek().Is(';'))
        ts.Take();
    else if (ts.Peek().kind != Token::Invalid)
        d.Warning(fileName, ts.Peek().pos,
                  "';' is missing after the enum's '}' (the host reads the file all the same; a C++ compiler "
                  "including it would not)");
    return d.ErrorCount() == errorsBefore;
}

bool ReadStringTable(const std::string& bytes, const std::string& fileName,
                     const std::map<std::string, int32_t>& symbols, std::map<int32_t, std::string>* strings,
                     ResourceDiagnostics* diagnostics) {
    ResourceDiagnostics& d = *diagnostics;
    const std::string text = DecodeResourceText(bytes, fileName, &d);
    TokenStream ts(text, fileName, &d);
    const Token head = ts.Take();
    if (!head.IsWord("STRINGTABLE"))
        return Unexpected(head, fileName, "'STRINGTABLE {'", &d);
    const Token open = ts.Take();
    if (!open.Is('{'))
        return Unexpected(open, fileName, "'{' after STRINGTABLE", &d);
    std::map<int32_t, SourcePos> definedAt;
    const bool read = ReadTextEntries(&ts, fileName, open, &d, [&](const Token& key, const std::string& value) {
        int32_t id = 0;
        if (!ResolveId(key, symbols, &id) || key.text == kStaticIdSymbol) {
            d.Warning(fileName, key.pos, "string id '" + key.text +
                                             "' is not declared in c4d_symbols.h; the host skips this entry");
            return;
        }
        const auto earlier = definedAt.find(id);
        if (earlier != definedAt.end())
            d.Warning(fileName, key.pos, "string " + key.text + " (" + std::to_string(id) + ") is defined again (" +
                                             LineOf(earlier->second) + "); the host uses this later text");
        definedAt[id] = key.pos;
        (*strings)[id] = value;
    });
    return read && ExpectEnd(&ts, fileName, "string table", &d);
}

bool ReadDialogStrings(const std::string& bytes, const std::string& fileName, DialogStrings* out,
                       ResourceDiagnostics* diagnostics) {
    ResourceDiagnostics& d = *diagnostics;
    const std::string text = DecodeResourceText(bytes, fileName, &d);
    TokenStream ts(text, fileName, &d);
    const Token head = ts.Take();
    if (!head.IsWord("DIALOGSTRINGS"))
        return Unexpected(head, fileName, "'DIALOGSTRINGS <dialog> {'", &d);
    const Token symbol = ts.Take();
    if (symbol.kind != Token::Word)
        return Unexpected(symbol, fileName, "the dialog's symbol after DIALOGSTRINGS", &d);
    const Token open = ts.Take();
    if (!open.Is('{'))
        return Unexpected(open, fileName, "'{' after DIALOGSTRINGS " + symbol.text, &d);
    out->dialogSymbol = symbol.text;
    out->symbolPos = symbol.pos;
    out->file = fileName;
    const bool read = ReadTextEntries(&ts, fileName, open, &d, [&](const Token& key, const std::string& value) {
        const auto earlier = out->where.find(key.text);
        if (earlier != out->where.end())
            d.Warning(fileName, key.pos, "'" + key.text + "' is defined again (" + LineOf(earlier->second) +
                                             "); the host uses this later text");
        out->where[key.text] = key.pos;
        out->texts[key.text] = value;
    });
    return read && ExpectEnd(&ts, fileName, "dialog strings", &d);
}

namespace {

// Element types whose CHILDS list holds the entries the user picks from.
bool TakesChildList(const std::string& kind) {
    return kind == "COMBOBOX" || kind == "POPUPBUTTON" || kind == "RADIOGROUP" || kind == "COMBOBUTTON";
}

// Reads the body of a dialog description: options, CHILDS lists and nested elements.
class DialogReader {
public:
    DialogReader(TokenStream* ts, const std::string& file, const std::map<std::string, int32_t>& symbols,
                 ResourceDiagnostics* d)
        : ts_(*ts), file_(file), symbols_(symbols), d_(*d) {}

    // Reads after the element's '{' up to and including its '}'. `depth`: elements around it.
    bool Body(DialogElement* el, int depth) {
        for (;;) {
            const Token& t = ts_.Peek();
            if (t.Is('}')) {
                ts_.Take();
                return true;
            }
            if (t.kind == Token::End) {
                d_.Error(file_, t.pos, "missing '}' to close " + el->kind + " opened at " + LineOf(el->pos));
                return false;
            }
            if (t.kind == Token::Invalid)
                return false;
            bool ok = true;
            if (t.IsWord("CHILDS") && ts_.Peek(1).Is('{'))
                ok = Childs(el);
            else if (t.kind == Token::Word && ts_.Peek(1).Is('{'))
                ok = Element(el, depth, false);
            else if (t.kind == Token::Word && (ts_.Peek(1).kind == Token::Word || ts_.Peek(1).kind == Token::Number) &&
                     ts_.Peek(2).Is('{'))
                ok = Element(el, depth, true);
            else
                ok = Option(el);
            if (!ok)
                return false;
        }
    }

private:
    bool Element(DialogElement* parent, int depth, bool withId) {
        DialogElement child;
        const Token kind = ts_.Take();
        child.kind = kind.text;
        child.pos = kind.pos;
        if (depth + 1 > ResourceLimits::kMaxNesting) {
            d_.Error(file_, kind.pos, "elements are nested more than " + std::to_string(ResourceLimits::kMaxNesting) +
                                          " deep");
            return false;
        }
        if (!CountEntry(&entries_, kind, file_, &d_))
            return false;
        if (withId) {
            const Token idToken = ts_.Take();
            int32_t id = 0;
            if (!ResolveId(idToken, symbols_, &id)) {
                d_.Error(file_, idToken.pos, "the id '" + idToken.text + "' of " + kind.text +
                                                 " is not declared in c4d_symbols.h");
                return false;
            }
            child.id = id;
            child.idSymbol = idToken.text;
        }
        ts_.Take(); // '{'
        if (!Body(&child, depth + 1))
            return false;
        parent->children.push_back(std::move(child));
        return true;
    }

    bool Childs(DialogElement* el) {
        const Token word = ts_.Take();
        ts_.Take(); // '{'
        if (!TakesChildList(el->kind))
            d_.Warning(file_, word.pos, "CHILDS in " + el->kind + ", which has no list of entries; the host ignores it");
        for (;;) {
            const Token value = ts_.Take();
            if (value.Is('}'))
                return true;
            if (value.kind == Token::End) {
                d_.Error(file_, value.pos, "missing '}' to close CHILDS opened at " + LineOf(word.pos));
                return false;
            }
            if (!CountEntry(&entries_, value, file_, &d_))
                return false;
            DialogChild child;
            child.pos = value.pos;
            if (!ResolveId(value, symbols_, &child.value))
                return Unexpected(value, file_, "an entry's value (an integer or a symbol) in CHILDS", &d_);
            const Token comma = ts_.Take();
            if (!comma.Is(','))
                return Unexpected(comma, file_, "',' between the entry's value and its text in CHILDS", &d_);
            const Token text = ts_.Take();
            if (text.kind != Token::Word && text.kind != Token::String)
                return Unexpected(text, file_, "the entry's text key in CHILDS", &d_);
            const Token end = ts_.Take();
            if (!end.Is(';'))
                return Unexpected(end, file_, "';' after the entry '" + value.text + ", " + text.text + "'", &d_);
            child.textKey = text.text;
            child.literal = text.kind == Token::String;
            el->childKeys.push_back(std::move(child));
        }
    }

    // An option: a keyword and its arguments up to ';'.
    bool Option(DialogElement* el) {
        const Token first = ts_.Peek();
        std::vector<std::string> option;
        std::vector<Token> args;
        for (;;) {
            const Token o = ts_.Take();
            if (o.Is(';'))
                break;
            if (o.kind == Token::End || o.kind == Token::Invalid || o.Is('{') || o.Is('}'))
                return Unexpected(o, file_, "';' to end the option '" + (option.empty() ? o.text : option[0]) + "'",
                                  &d_);
            if (option.size() > 64)
                return Unexpected(o, file_, "';' after at most 64 arguments of '" + option[0] + "'", &d_);
            if (!o.Is(',')) {
                option.push_back(o.text);
                args.push_back(o);
            }
        }
        if (option.empty())
            return true;
        if (!CountEntry(&entries_, first, file_, &d_))
            return false;
        if (option[0] == "NAME") {
            if (args.size() < 2 || (args[1].kind != Token::Word && args[1].kind != Token::String)) {
                d_.Warning(file_, first.pos, "NAME without a text key; the option is ignored");
            } else {
                el->nameKey = args[1].text;
                el->nameLiteral = args[1].kind == Token::String;
                el->namePos = args[1].pos;
            }
        }
        el->options.push_back(std::move(option));
        return true;
    }

    TokenStream& ts_;
    const std::string& file_;
    const std::map<std::string, int32_t>& symbols_;
    ResourceDiagnostics& d_;
    size_t entries_ = 0;
};

} // namespace

bool ReadDialog(const std::string& bytes, const std::string& fileName, const std::map<std::string, int32_t>& symbols,
                DialogDescription* out, ResourceDiagnostics* diagnostics) {
    ResourceDiagnostics& d = *diagnostics;
    const std::string text = DecodeResourceText(bytes, fileName, &d);
    TokenStream ts(text, fileName, &d);
    const Token head = ts.Take();
    if (!head.IsWord("DIALOG"))
        return Unexpected(head, fileName, "'DIALOG <id> {'", &d);
    const Token idToken = ts.Take();
    int32_t id = 0;
    if (idToken.kind == Token::Invalid)
        return false;
    if (!ResolveId(idToken, symbols, &id)) {
        d.Error(fileName, idToken.pos, "the dialog id '" + idToken.text + "' is not declared in c4d_symbols.h");
        return false;
    }
    const Token open = ts.Take();
    if (!open.Is('{'))
        return Unexpected(open, fileName, "'{' after DIALOG " + idToken.text, &d);
    DialogElement root;
    root.kind = "DIALOG";
    root.pos = head.pos;
    if (!DialogReader(&ts, fileName, symbols, &d).Body(&root, 0) || !ExpectEnd(&ts, fileName, "dialog", &d))
        return false;
    if (root.nameKey.empty())
        d.Warning(fileName, head.pos, "the dialog has no NAME option: its window has no title unless the plug-in "
                                      "sets one");
    out->id = id;
    out->symbol = idToken.text;
    out->file = fileName;
    out->titleKey = root.nameKey;
    out->titleLiteral = root.nameLiteral;
    out->titlePos = root.namePos;
    out->title.clear();
    out->elements = std::move(root.children);
    return true;
}

namespace {

struct TextResolver {
    const DialogStrings* strings;
    const std::string& resFile;
    ResourceDiagnostics& d;

    // The text of `key`: the literal itself, the dialog strings' text, or the key shown raw.
    std::string Text(const std::string& key, bool literal, SourcePos pos, const std::string& what) const {
        if (literal || key.empty())
            return key;
        if (strings) {
            const auto it = strings->texts.find(key);
            if (it != strings->texts.end())
                return it->second;
            d.Warning(resFile, pos, "the text '" + key + "' of " + what + " is not in " + strings->file +
                                        "; the host shows the key itself");
        }
        return key;
    }

    void Apply(std::vector<DialogElement>* elements) const {
        for (DialogElement& el : *elements) {
            const std::string what = el.kind + (el.idSymbol.empty() ? "" : " " + el.idSymbol);
            el.name = Text(el.nameKey, el.nameLiteral, el.namePos, what);
            el.childs.clear();
            for (const DialogChild& c : el.childKeys)
                el.childs.emplace_back(c.value, Text(c.textKey, c.literal, c.pos, "an entry of " + what));
            Apply(&el.children);
        }
    }
};

} // namespace

void ApplyDialogStrings(const DialogStrings* strings, DialogDescription* dialog, ResourceDiagnostics* diagnostics) {
    const TextResolver resolver{strings, dialog->file, *diagnostics};
    dialog->title = resolver.Text(dialog->titleKey, dialog->titleLiteral, dialog->titlePos, "the dialog's NAME");
    resolver.Apply(&dialog->elements);
}

// --- The same readers, answering only the first error ------------------------------------------

namespace {

bool Verdict(bool ok, const ResourceDiagnostics& d, std::string* why) {
    if (ok && !d.HasErrors())
        return true;
    *why = d.FirstError();
    return false;
}

} // namespace

bool ParseSymbols(const std::string& text, const std::string& fileName, std::map<std::string, int32_t>* symbols,
                  std::string* why) {
    ResourceDiagnostics d;
    return Verdict(ReadSymbols(text, fileName, symbols, &d), d, why);
}

bool ParseStringTable(const std::string& text, const std::string& fileName,
                      const std::map<std::string, int32_t>& symbols, std::map<int32_t, std::string>* strings,
                      std::string* why) {
    ResourceDiagnostics d;
    return Verdict(ReadStringTable(text, fileName, symbols, strings, &d), d, why);
}

bool ParseDialogStrings(const std::string& text, const std::string& fileName,
                        std::map<std::string, std::string>* texts, std::string* why) {
    ResourceDiagnostics d;
    DialogStrings strings;
    if (!Verdict(ReadDialogStrings(text, fileName, &strings, &d), d, why))
        return false;
    for (auto& t : strings.texts)
        (*texts)[t.first] = std::move(t.second);
    return true;
}

bool ParseDialog(const std::string& text, const std::string& fileName, const std::map<std::string, int32_t>& symbols,
                 const std::map<std::string, std::string>& texts, DialogDescription* out, std::string* why) {
    ResourceDiagnostics d;
    if (!Verdict(ReadDialog(text, fileName, symbols, out, &d), d, why))
        return false;
    DialogStrings strings;
    strings.texts = texts;
    ApplyDialogStrings(&strings, out, &d);
    return true;
}

} // namespace hostsim
