// c4d_memory.h - objects on the host's heap.
//
// Objects the host may free (the command object, file names it holds for the module) must come
// from the host's allocator and go back through its delete operation, which runs the destructor
// first.
#ifndef CORVEL_HOST_C4D_MEMORY_H
#define CORVEL_HOST_C4D_MEMORY_H

#include <cstring>
#include <new>
#include <utility>

#include "maxon/apibase.h"

namespace maxon {
namespace details {

void* HostAlloc(Int size);
void HostDelete(void* object, void (*destruct)(void* object));

// Allocates a T on the host's heap, clears the memory to zero and constructs the object in it.
// Answers null when the host has no memory (nothing is constructed then).
template <typename T, typename... Args>
T* NewObjClear(Args&&... args) {
    void* memory = HostAlloc(static_cast<Int>(sizeof(T)));
    if (!memory)
        return nullptr;
    std::memset(memory, 0, sizeof(T));
    return new (memory) T(std::forward<Args>(args)...);
}

template <typename T>
void DestructObject(void* object) {
    static_cast<T*>(object)->~T();
}

// Destroys and frees an object from NewObjClear through the host and clears the pointer. Null is
// ignored.
template <typename T>
void DeleteObj(T*& object) {
    if (!object)
        return;
    HostDelete(const_cast<void*>(static_cast<const void*>(object)), &DestructObject<T>);
    object = nullptr;
}

} // namespace details
} // namespace maxon

// NewObjClear(T, args...): a new T on the host's heap (memory cleared first), constructed with up
// to three arguments; null when the host has no memory.
#define NewObjClear(...) \
    PRIVATE_NEWOBJCLEAR_SELECT(__VA_ARGS__, PRIVATE_NEWOBJCLEAR_3, PRIVATE_NEWOBJCLEAR_2, PRIVATE_NEWOBJCLEAR_1, \
                               PRIVATE_NEWOBJCLEAR_0, )(__VA_ARGS__)
#define PRIVATE_NEWOBJCLEAR_SELECT(t, a, b, c, name, ...) name
#define PRIVATE_NEWOBJCLEAR_0(T) (::maxon::details::NewObjClear<T>())
#define PRIVATE_NEWOBJCLEAR_1(T, a) (::maxon::details::NewObjClear<T>(a))
#define PRIVATE_NEWOBJCLEAR_2(T, a, b) (::maxon::details::NewObjClear<T>(a, b))
#define PRIVATE_NEWOBJCLEAR_3(T, a, b, c) (::maxon::details::NewObjClear<T>(a, b, c))
// DeleteObj(p): destroys and frees what NewObjClear made and sets p to null.
#define DeleteObj(obj) (::maxon::details::DeleteObj(obj))

#endif // CORVEL_HOST_C4D_MEMORY_H
