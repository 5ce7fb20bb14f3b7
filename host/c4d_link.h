// c4d_link.h - the module's one link to the host.
//
// This is the only place that keeps the host's function table (handed to c4d_main) and the slots
// of the host interfaces that the host fills while it binds g_maxon. Every wrapper in host/ reaches
// the host through the accessors below; nothing else in the module touches the raw ABI.
//
// Failure answers: every accessor answers null when the host has not provided the table or the
// service area (before the first action 1, or a host that leaves an area out); every bound
// operation answers its failure value (null, false, empty) when its slot was never filled.
#ifndef CORVEL_HOST_C4D_LINK_H
#define CORVEL_HOST_C4D_LINK_H

#include "c4d_abi.h"
#include "maxon/apibase.h"
#include "maxon_abi.h"

// The binding layer's own definitions of the classic API go where its declarations are: inside
// namespace cinema in the 2025 shape, at global scope before.
#if API_VERSION >= 2025000
#define CORVEL_CINEMA_BEGIN namespace cinema {
#define CORVEL_CINEMA_END }
#else
#define CORVEL_CINEMA_BEGIN
#define CORVEL_CINEMA_END
#endif

// Marks the three symbols the host looks up. The platform's export list (version script, .def
// file or exported-symbols list) keeps everything else private.
#if defined(_WIN32)
#define CORVEL_EXPORT __declspec(dllexport)
#else
#define CORVEL_EXPORT __attribute__((visibility("default")))
#endif

#if API_VERSION >= 2025000
namespace cinema {
class Filename;
}
#else
class Filename;
#endif

namespace c4d_link {

#if API_VERSION >= 2025000
using cinema::Filename;
#endif
using maxon::Bool;
using maxon::Int32;
using maxon::Int64;

// --- the table handed to c4d_main --------------------------------------------------------------

// Null until the first action 1 stores it; kept (not cleared) after the last action 3.
const C4D_HostApi* Api();
void SetApi(const C4D_HostApi* api);

const C4D_GeneralTable* General();
const C4D_ContainerTable* Containers();
const C4D_BitmapTable* Bitmaps();
const C4D_FileTable* Files();
const C4D_DialogTable* Dialogs();
const C4D_ResourceTable* Resources();
const C4D_ListTable* Lists();
const C4D_SceneTable* Scenes();
const C4D_DocumentTable* Documents();

// --- the host interfaces bound through g_maxon --------------------------------------------------

constexpr Int32 kSystemMethodCount = 3; // MaxonSystemInterface: Alloc, Free, DeleteObject
constexpr Int32 kStringMethodCount = 5; // MaxonStringInterface: Create .. GetLength

// Slot storage the host fills in member order while binding the module. The registration glue
// points its interface references here; only this file's operations read them.
extern void* systemSlots[kSystemMethodCount];
extern void* stringSlots[kStringMethodCount];

// Host heap. Alloc: uninitialised memory, null when out of memory or unbound.
void* Alloc(Int64 size);
// Frees memory from Alloc; null is ignored.
void Free(void* memory);
// The host's delete operation: runs destruct(object), then frees the memory. Null is ignored.
// Unbound (no memory could ever have been allocated), it does nothing.
void DeleteObject(void* object, void (*destruct)(void* object));

// Host strings. Create answers a new reference, null (the empty string) when the buffer can't be
// made. Release drops one reference. GetUtf8 answers "" for null; GetLength 0.
C4D_HString StringCreate(const char* utf8, Int64 length);
void StringRetain(C4D_HString s);
void StringRelease(C4D_HString s);
const char* StringGetUtf8(C4D_HString s);
Int64 StringGetLength(C4D_HString s);

// The module file's path, held on the host's heap from the first action 1 to the last action 3.
// SetModulePath allocates it and copies `src` into it (a failed copy leaves an empty path);
// false when the allocation failed and the module then holds no path.
Bool SetModulePath(const C4D_Filename* src);
// Destroys and frees the path through the host; no-op when none is held.
void FreeModulePath();
const Filename* ModulePath();

// The host's interaction check, asked for when a dialog window receives 'inta'.
void CheckInteraction(Int32 a, Int32 b, Int32 c);

// `base` joined with one further path part; empty when the host had no memory.
Filename Join(const Filename& base, const maxon::String& part);

} // namespace c4d_link

#endif // CORVEL_HOST_C4D_LINK_H
