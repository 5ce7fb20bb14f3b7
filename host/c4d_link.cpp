// c4d_link.cpp - storage of the host table and of the bound interface slots.
#include "c4d_link.h"
#include "c4d_memory.h"

#include <cstring>

namespace c4d_link {

namespace {

// Written by action 1 on the host's main thread only; see c4d_main.cpp.
const C4D_HostApi* g_api = nullptr;

// A filled slot holds a function address stored as void*; copying the bits is the portable way
// to turn it back into a callable pointer.
template <typename Fn>
Fn SlotAs(void* slot) {
    Fn fn = nullptr;
    static_assert(sizeof(Fn) == sizeof(void*), "function and data pointers differ in size");
    std::memcpy(&fn, &slot, sizeof fn);
    return fn;
}

// Slot indices follow the member order of the interface structs in maxon_abi.h.
enum SystemSlot { kAlloc, kFree, kDeleteObject };
enum StringSlot { kCreate, kRetain, kRelease, kGetUtf8, kGetLength };

static_assert(sizeof(MaxonSystemInterface) == kSystemMethodCount * sizeof(void*),
              "system interface method count out of step with maxon_abi.h");
static_assert(sizeof(MaxonStringInterface) == kStringMethodCount * sizeof(void*),
              "string interface method count out of step with maxon_abi.h");

} // namespace

void* systemSlots[kSystemMethodCount] = {};
void* stringSlots[kStringMethodCount] = {};

const C4D_HostApi* Api() { return g_api; }
void SetApi(const C4D_HostApi* api) { g_api = api; }

const C4D_GeneralTable* General() { return g_api ? g_api->general : nullptr; }
const C4D_ContainerTable* Containers() { return g_api ? g_api->container : nullptr; }
const C4D_BitmapTable* Bitmaps() { return g_api ? g_api->bitmap : nullptr; }
const C4D_FileTable* Files() { return g_api ? g_api->file : nullptr; }
const C4D_DialogTable* Dialogs() { return g_api ? g_api->dialog : nullptr; }
const C4D_ResourceTable* Resources() { return g_api ? g_api->resource : nullptr; }
const C4D_ListTable* Lists() { return g_api ? g_api->list : nullptr; }
const C4D_SceneTable* Scenes() { return g_api ? g_api->scene : nullptr; }
const C4D_DocumentTable* Documents() { return g_api ? g_api->document : nullptr; }

void* Alloc(Int64 size) {
    auto fn = SlotAs<decltype(MaxonSystemInterface::Alloc)>(systemSlots[kAlloc]);
    return fn ? fn(size) : nullptr;
}

void Free(void* memory) {
    auto fn = SlotAs<decltype(MaxonSystemInterface::Free)>(systemSlots[kFree]);
    if (fn && memory)
        fn(memory);
}

void DeleteObject(void* object, void (*destruct)(void* object)) {
    auto fn = SlotAs<decltype(MaxonSystemInterface::DeleteObject)>(systemSlots[kDeleteObject]);
    if (fn && object)
        fn(object, destruct);
}

C4D_HString StringCreate(const char* utf8, Int64 length) {
    auto fn = SlotAs<decltype(MaxonStringInterface::Create)>(stringSlots[kCreate]);
    return fn ? fn(utf8, length) : nullptr;
}

void StringRetain(C4D_HString s) {
    auto fn = SlotAs<decltype(MaxonStringInterface::Retain)>(stringSlots[kRetain]);
    if (fn && s)
        fn(s);
}

void StringRelease(C4D_HString s) {
    auto fn = SlotAs<decltype(MaxonStringInterface::Release)>(stringSlots[kRelease]);
    if (fn && s)
        fn(s);
}

const char* StringGetUtf8(C4D_HString s) {
    auto fn = SlotAs<decltype(MaxonStringInterface::GetUtf8)>(stringSlots[kGetUtf8]);
    const char* text = (fn && s) ? fn(s) : nullptr;
    return text ? text : "";
}

Int64 StringGetLength(C4D_HString s) {
    auto fn = SlotAs<decltype(MaxonStringInterface::GetLength)>(stringSlots[kGetLength]);
    return (fn && s) ? fn(s) : 0;
}

} // namespace c4d_link

namespace maxon {
namespace details {

void* HostAlloc(Int size) { return c4d_link::Alloc(size); }

void HostDelete(void* object, void (*destruct)(void* object)) { c4d_link::DeleteObject(object, destruct); }

} // namespace details
} // namespace maxon
