/* maxon_abi.h - the module registration record and the host interfaces bound through it.
 *
 * C-compatible, shared by the module (generated/hxx/, host/) and by any host that binds it.
 *
 * Before it calls c4d_main, the host reads the module's exported record `g_maxon`:
 *   1. both version stamps must equal MAXON_MODULE_VERSION;
 *   2. it walks the entity list (module entities, newest first). For each module entity it reads
 *      the identifier, flags and dependency list, and walks its translation units;
 *   3. it writes its own fields (identifier, host object, resolver);
 *   4. it fills the slot table of every host interface reference it finds in each module entity's
 *      reference list, after checking the reference's identifier, method count and first method
 *      (name and signature hash). A reference the host does not know, or whose shape differs, makes
 *      the host refuse the module.
 * All of this happens on the loading thread before any call into the module; nothing here is
 * locked. The module's static initialisation builds every entity exactly once.
 */
#ifndef CORVEL_HOST_MAXON_ABI_H
#define CORVEL_HOST_MAXON_ABI_H

#include <stddef.h>
#include <stdint.h>

#include "c4d_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MAXON_MODULE_VERSION 2022901

/* Identifier hash: length in bits 44 and up, bit 43 set for texts allocated at run time (the owner
 * frees them at unload, through the system interface's Free), the low 43 bits of the polynomial
 * hash h = h * 31 + byte (64-bit wrap-around, starting at 0) in bits 0 to 42. */
#define MAXON_ID_ALLOCATED_BIT ((uint64_t)1 << 43)
#define MAXON_ID_HASH_MASK (((uint64_t)1 << 43) - 1)

static inline uint64_t MaxonIdHash(const char* text, int allocated) {
    uint64_t h = 0;
    uint64_t length = 0;
    if (text) {
        for (const unsigned char* p = (const unsigned char*)text; *p; ++p, ++length)
            h = h * 31u + *p;
    }
    return (length << 44) | (allocated ? MAXON_ID_ALLOCATED_BIT : 0) | (h & MAXON_ID_HASH_MASK);
}

typedef struct MaxonId {
    const char* text;
    uint64_t hash;
} MaxonId;

/* Entity type codes */
#define MAXON_ENTITY_INTERFACE_REFERENCE 3
#define MAXON_ENTITY_TRANSLATION_UNIT 7
#define MAXON_ENTITY_MODULE 8

/* Flags the framework glue adds to its own module and translation-unit entities. */
#define MAXON_FLAGS_GLUE 0x201

typedef struct MaxonModuleInfo MaxonModuleInfo;
typedef struct MaxonEntity MaxonEntity;

/* Common head of every entity. `next` links entities of the same list (newest first); `owner`
 * points back to the module's g_maxon. */
struct MaxonEntity {
    int32_t type;
    uint32_t flags;
    MaxonId id;
    MaxonEntity* next;
    MaxonModuleInfo* owner;
};

/* One use of a host declaration by a translation unit. */
typedef struct MaxonDeclarationUse {
    const MaxonEntity* declaration;
    const char* header;
    int32_t line;
    struct MaxonDeclarationUse* next;
} MaxonDeclarationUse;

typedef struct MaxonTranslationUnit {
    MaxonEntity head; /* type 7; id = the source file's base name */
    struct MaxonModuleEntity* module;
    MaxonDeclarationUse* uses;
} MaxonTranslationUnit;

/* A reference to a host interface. The host fills `slots[0 .. methodCount-1]` with its functions. */
typedef struct MaxonInterfaceReference {
    MaxonEntity head; /* type 3; id = the interface's identifier */
    const char* firstMethod;
    uint64_t firstMethodSignatureHash; /* MaxonIdHash of the first method's signature text */
    int32_t methodCount;
    void** slots;
} MaxonInterfaceReference;

typedef struct MaxonModuleEntity {
    MaxonEntity head; /* type 8; id = the module identifier */
    MaxonEntity* units;          /* translation units, newest first */
    MaxonEntity* references;     /* host interface references, newest first */
    const MaxonId* dependencies; /* set once */
    int32_t dependencyCount;
} MaxonModuleEntity;

/* Host-provided object at g_maxon offset 40: what the glue asks for the application's folders.
 * GetApplicationFolder answers a path (caller owns the reference) or null when unknown. */
typedef struct MaxonHostObject {
    C4D_HString (*GetApplicationFolder)(int32_t which);
} MaxonHostObject;
#define MAXON_FOLDER_STARTUP 1 /* the folder that holds the host's own modules */

/* Host-provided resolver at g_maxon offset 48: fills `slot` for `declaration` on first use.
 * `work` is a caller-provided buffer of MAXON_RESOLVER_WORK_SIZE bytes. Answers 0 on success. */
#define MAXON_RESOLVER_WORK_SIZE 64
typedef int32_t (*MaxonResolverFn)(void* work, const MaxonEntity* declaration, void** slot);

#define MAXON_GLUE_STATE_SIZE 72

/* The exported record g_maxon. Offsets are fixed: the host reads them. */
struct MaxonModuleInfo {
    int64_t version;        /*  0: MAXON_MODULE_VERSION */
    int64_t version2;       /*  8: MAXON_MODULE_VERSION */
    MaxonEntity* entities;  /* 16: module entities, newest first */
    MaxonId id;             /* 24, 32: written by the host */
    const MaxonHostObject* hostObject; /* 40: written by the host */
    MaxonResolverFn resolver;          /* 48: written by the host */
    unsigned char glue[MAXON_GLUE_STATE_SIZE]; /* 56: private to the module's glue */
};

/* The exported spin-wait hook. `state` is the waiting state or a small code (1 or 3). */
typedef void (*MaxonCpuYieldFn)(int64_t state, const void* lock);

/* ---------------------------------------------------------------------------------------------- */
/* Host interfaces the module binds                                                               */
/* ---------------------------------------------------------------------------------------------- */
/* Each struct is the slot table of one interface reference: methodCount == number of members,
 * slots filled in member order. All functions may be called from any thread unless noted. */

#define MAXON_SYSTEM_INTERFACE_ID "net.maxon.interface.system"
#define MAXON_SYSTEM_FIRST_METHOD "Alloc"
#define MAXON_SYSTEM_FIRST_SIGNATURE "void*(Int)"
typedef struct MaxonSystemInterface {
    /* `size` bytes on the host heap, uninitialised; null when out of memory. */
    void* (*Alloc)(int64_t size);
    /* Frees memory from Alloc; null is ignored. */
    void (*Free)(void* memory);
    /* The delete operation: runs `destruct(object)` then frees the object's memory. Null object is
     * ignored. */
    void (*DeleteObject)(void* object, void (*destruct)(void* object));
} MaxonSystemInterface;

#define MAXON_STRING_INTERFACE_ID "net.maxon.interface.string"
#define MAXON_STRING_FIRST_METHOD "Create"
#define MAXON_STRING_FIRST_SIGNATURE "String(const Char*,Int)"
typedef struct MaxonStringInterface {
    /* A new host string holding `length` bytes of UTF-8 from `utf8`; the caller owns one
     * reference. Null (the empty string) when its buffer can't be made. */
    C4D_HString (*Create)(const char* utf8, int64_t length);
    void (*Retain)(C4D_HString s);
    /* Drops one reference; the last one frees the string. Null is ignored. */
    void (*Release)(C4D_HString s);
    /* The zero-terminated text, valid while a reference is held; "" for null. */
    const char* (*GetUtf8)(C4D_HString s);
    int64_t (*GetLength)(C4D_HString s);
} MaxonStringInterface;

#ifdef __cplusplus
}
#endif

#endif /* CORVEL_HOST_MAXON_ABI_H */
