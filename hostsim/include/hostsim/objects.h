// objects.h - the stand-in host's own objects behind the opaque handles of the host ABI.
//
// Every opaque type that host/c4d_abi.h declares (C4D_Container, C4D_Bitmap, ...) is defined here,
// as a plain C++ object of the stand-in host. Tests and the CLI use these types directly to set up
// a scene or to look at what the module did; the module only ever sees the opaque pointers.
#ifndef CORVEL_HOSTSIM_OBJECTS_H
#define CORVEL_HOSTSIM_OBJECTS_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "c4d_abi.h"

// ------------------------------------------------------------------------------------------------
// Host strings: reference counted, immutable UTF-8.
// ------------------------------------------------------------------------------------------------
struct C4D_HostStringImpl {
    int64_t references = 1;
    std::string text;
};

// ------------------------------------------------------------------------------------------------
// Keyed containers.
//
// Type-conversion rule (what a typed Get answers when the key holds another type), the same as the
// real host's containers for the numeric types:
//   GetInt32 of a Bool   -> 0 or 1               GetInt32 of a Float -> truncated toward zero,
//                                                                       saturated to the Int32
//                                                                       range, NaN -> 0
//   GetBool  of an Int32 -> value != 0           GetBool  of a Float -> value != 0.0
//   GetFloat of an Int32 -> the exact value      GetFloat of a Bool  -> 0.0 or 1.0
// An absent key answers the preset. A Set of a key that holds another type replaces type and value
// in place (the key keeps its position in the insertion order).
//
// Lookups are constant time on average, so reading a scene or merging a large container stays
// linear: a small container is searched in place, a larger one keeps an index of key positions,
// brought up to date on the next lookup. `entries` may be read directly; it is changed only through
// the members below, or by appending (the index takes up appended entries; as with a search in
// order, the first of two entries with one key is the one found).
// ------------------------------------------------------------------------------------------------
struct C4D_ContainerImpl {
    enum class Type : uint8_t { Int32, Bool, Float };
    struct Value {
        Type type = Type::Int32;
        int32_t i = 0;
        bool b = false;
        double f = 0.0;
        bool operator==(const Value& o) const;
        bool operator!=(const Value& o) const { return !(*this == o); }
    };

    int32_t id = 0;
    std::vector<std::pair<int32_t, Value>> entries; // insertion order

    C4D_ContainerImpl() = default;
    explicit C4D_ContainerImpl(int32_t containerId) : id(containerId) {}
    // A copy takes id and entries; its index is built when it is first needed.
    C4D_ContainerImpl(const C4D_ContainerImpl& o) : id(o.id), entries(o.entries) {}
    C4D_ContainerImpl(C4D_ContainerImpl&& o) noexcept;
    C4D_ContainerImpl& operator=(const C4D_ContainerImpl& o);
    C4D_ContainerImpl& operator=(C4D_ContainerImpl&& o) noexcept;

    const Value* Find(int32_t key) const;
    bool Has(int32_t key) const { return Find(key) != nullptr; }
    std::optional<Type> TypeOf(int32_t key) const;
    void Set(int32_t key, const Value& v);
    void SetInt32(int32_t key, int32_t v);
    void SetBool(int32_t key, bool v);
    void SetFloat(int32_t key, double v);
    int32_t GetInt32(int32_t key, int32_t preset = 0) const;
    bool GetBool(int32_t key, bool preset = false) const;
    double GetFloat(int32_t key, double preset = 0.0) const;
    bool Remove(int32_t key);
    std::vector<int32_t> Keys() const;
    // Adds or replaces every key of `other` (the merge of SetData with merge == true).
    void MergeFrom(const C4D_ContainerImpl& other);
    // Same id and the same keys with equal typed values (order ignored).
    bool SameContent(const C4D_ContainerImpl& other) const;
    std::string Describe() const; // "id 0 {7000:i6000, 7005:b0, 5008:f1280}" for messages

private:
    // Position of `key` in `entries`, or entries.size() when it is absent.
    size_t Position(int32_t key) const;
    void DropIndex() const;

    // Key -> position for entries [0, indexed_); only used above kIndexFrom entries. The host calls
    // containers from its main thread only, so the lazily built index needs no lock.
    static constexpr size_t kIndexFrom = 16;
    mutable std::unordered_map<int32_t, size_t> index_;
    mutable size_t indexed_ = 0;
};

// ------------------------------------------------------------------------------------------------
// Bitmaps.
// ------------------------------------------------------------------------------------------------
struct C4D_BitmapImpl {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;         // RGBA, row-major, top row first
    std::map<int32_t, double> floatData;  // SetFloatData
    std::string source;                   // file it was loaded from
};

// ------------------------------------------------------------------------------------------------
// Resources: the parsed content of a plug-in's res/ folder.
// ------------------------------------------------------------------------------------------------
namespace hostsim {

// Where something stands in a resource file (1-based; 0 when it has no place of its own).
struct SourcePos {
    int line = 0;
    int column = 0;
};

// One entry of an element's CHILDS list (combo boxes, pop-up buttons): its value and the text,
// given as a key of the dialog's strings or as a literal.
struct DialogChild {
    int32_t value = 0;
    std::string textKey;
    bool literal = false; // textKey is the text itself
    SourcePos pos;
};

// One element of a dialog description. Elements with an id become gadgets of the window; static
// elements (labels, groups with IDC_STATIC) keep their id but are separate elements all the same.
struct DialogElement {
    std::string kind;                        // CHECKBOX, COMBOBOX, BUTTON, GROUP, ...
    std::optional<int32_t> id;
    std::string idSymbol;                    // the id as written (symbol or number)
    SourcePos pos;                           // of the element's type word
    std::string nameKey;                     // key of its NAME option in the dialog's strings
    bool nameLiteral = false;                // NAME was given as a string literal
    SourcePos namePos;
    std::string name;                        // text of its NAME option (resolved), if any
    std::vector<std::vector<std::string>> options; // raw options: keyword and arguments
    std::vector<DialogChild> childKeys;      // CHILDS as written
    std::vector<std::pair<int32_t, std::string>> childs; // CHILDS resolved: value and text
    std::vector<DialogElement> children;
};

struct DialogDescription {
    int32_t id = 0;
    std::string symbol;
    std::string file;                        // the .res file it was read from
    std::string titleKey;                    // key of the dialog's NAME (empty: none)
    bool titleLiteral = false;
    SourcePos titlePos;
    std::string title;                       // the dialog's NAME, resolved (empty: none)
    std::vector<DialogElement> elements;
};

} // namespace hostsim

struct C4D_ResourceImpl {
    std::string folder;                      // the resource folder actually used
    std::map<std::string, int32_t> symbols;  // c4d_symbols.h
    std::map<int32_t, std::string> strings;  // strings_en-US/c4d_strings.str
    std::string stringsFolder;               // the language folder read ("" when there is none)
    bool released = false;
};

// ------------------------------------------------------------------------------------------------
// Dialog windows (the host side of a GeDialog).
// ------------------------------------------------------------------------------------------------
namespace hostsim {

enum class GadgetKind { Check, Combo, Button, Text, Group, Other };

struct Gadget {
    int32_t id = 0;
    GadgetKind kind = GadgetKind::Other;
    std::string element;  // the description's element type, e.g. "CHECKBOX"
    std::string symbol;   // the id's symbol in the description (IDC_...); empty when it gave a number
    std::string name;     // the gadget's own NAME text
    std::string label;    // what the user reads for it: its NAME, or the static text just before it
    bool enabled = true;
    bool boolValue = false;
    int32_t intValue = 0;
    int32_t min = INT32_MIN, max = INT32_MAX, step = 1;
    bool tristate = false;
    std::vector<std::pair<int32_t, std::string>> children; // combo entries, in order
};

struct MenuItem {
    enum class Kind { SubBegin, SubEnd, String, Separator, Command } kind = Kind::String;
    int32_t id = 0;
    std::string text;
    bool operator==(const MenuItem& o) const { return kind == o.kind && id == o.id && text == o.text; }
};

} // namespace hostsim

struct C4D_DialogWindowImpl {
    void* owner = nullptr;
    C4D_DialogMessageFn entry = nullptr;
    bool open = false;
    bool destroyed = false;
    int32_t openType = 0;
    int32_t pluginId = 0;
    int32_t subId = 0;
    // Position, default size and flags of the last Open that opened the window (-1/-1: the host
    // chooses the place; 0/0: the description's size).
    int32_t x = 0, y = 0, width = 0, height = 0, flags = 0;
    void* layoutData = nullptr;   // set when opened through RestoreLayout
    int32_t openCount = 0;        // successful openings
    int32_t dialogId = 0;         // last description built by LoadDialogResource (0: none)
    hostsim::DialogDescription description; // that description, with its texts (for drawing)
    std::string title;            // that description's title (its NAME), empty when it has none
    std::map<int32_t, hostsim::Gadget> gadgets;
    std::vector<int32_t> gadgetOrder; // gadget ids in description order
    std::vector<hostsim::MenuItem> menu;
    bool menuFinished = false;
};

// ------------------------------------------------------------------------------------------------
// Scene: documents, render settings and render effects (list objects).
// ------------------------------------------------------------------------------------------------
namespace hostsim {

struct ListMessage {
    uint64_t serial = 0;                           // place among the host's events (Host::NextEventSerial)
    int32_t type = 0;
    // Decoded data of the messages the stand-in host understands:
    std::optional<C4D_DescID> descId;              // 17, 18
    std::optional<C4D_ContainerImpl> action;       // 18: the action container
    C4D_Document* document = nullptr;              // 17
    int32_t flags = 0;                             // 17
    bool hadData = false;
    // 5 (update): the object's state when it was told to update, its parameters and the bits of
    // its render effects (type, bits) in list order.
    std::optional<C4D_ContainerImpl> state;
    std::vector<std::pair<int32_t, int32_t>> videoPostBits;
};

} // namespace hostsim

struct C4D_ListObjectImpl {
    int32_t type = 0;
    int32_t bits = 0;
    std::string name;
    C4D_ContainerImpl data;
    std::vector<std::unique_ptr<C4D_ListObjectImpl>> videoPosts; // render settings only
    C4D_ListObjectImpl* next = nullptr;                           // sibling in its list
    std::vector<hostsim::ListMessage> messages;                   // every Message received
    // What a render-settings button does when pressed (MSG_DESCRIPTION_COMMAND); may be empty.
    std::function<void(C4D_ListObjectImpl& self, const C4D_DescID& id, const C4D_ContainerImpl& action)>
        onButton;

    C4D_ListObjectImpl* AddVideoPost(int32_t vpType, bool disabled = false);
    C4D_ListObjectImpl* FindVideoPost(int32_t vpType);
    bool VideoPostDisabled(int32_t vpType); // of the first match; false when absent
};

struct C4D_DocumentImpl {
    std::string name;
    std::vector<std::unique_ptr<C4D_ListObjectImpl>> renderData;
    C4D_ListObjectImpl* activeRenderData = nullptr;

    C4D_ListObjectImpl* AddRenderData(const std::string& rdName);
};

namespace hostsim {
using Container = ::C4D_ContainerImpl;
using Bitmap = ::C4D_BitmapImpl;
using Resource = ::C4D_ResourceImpl;
using DialogWindow = ::C4D_DialogWindowImpl;
using ListObject = ::C4D_ListObjectImpl;
using Document = ::C4D_DocumentImpl;
using HostString = ::C4D_HostStringImpl;

// The plug-in type of render settings objects in the stand-in host's scenes.
constexpr int32_t kRenderDataType = 110304;

// Fills a render settings object with the parameters a fresh document of the host carries.
void FillDefaultRenderData(Container& data);
} // namespace hostsim

#endif // CORVEL_HOSTSIM_OBJECTS_H
