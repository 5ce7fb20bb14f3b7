// c4d_memory.h - objects on the host's heap.
//
// Objects the host may free (the command object, file names it holds for us) must come from the
// host's allocator and go back through its delete operation, which runs the destructor first.
#ifndef CORVEL_HOST_C4D_MEMORY_H
#define CORVEL_HOST_C4D_MEMORY_H

#include <cstring>
#include <new>
#include <utility>

#include "c4d_link.h"

// Allocates a T on the host's heap, clears the memory to zero and constructs the object in it.
// Answers null when the host has no memory (nothing is constructed then).
template <typename T, typename... Args>
T* NewObjClear(Args&&... args) {
    void* memory = c4d_link::Alloc(static_cast<Int64>(sizeof(T)));
    if (!memory)
        return nullptr;
    std::memset(memory, 0, sizeof(T));
    return new (memory) T(std::forward<Args>(args)...);
}

// The destructor adapter handed to the host's delete operation: destroys without freeing.
template <typename T>
void DestructObject(void* object) {
    static_cast<T*>(object)->~T();
}

// Destroys and frees an object from NewObjClear through the host, and clears the pointer.
// Null is ignored.
template <typename T>
void DeleteObj(T*& object) {
    if (!object)
        return;
    c4d_link::DeleteObject(static_cast<void*>(object), &DestructObject<T>);
    object = nullptr;
}

#endif // CORVEL_HOST_C4D_MEMORY_H
