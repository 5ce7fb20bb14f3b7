// A minimal module for testing the stand-in host's binding: a registration record that is correct,
// or broken in exactly one way chosen by a FAKE_* define, and a c4d_main that only answers.
// Variant FAKE_LEAKS allocates a heap block it never frees and frees another one twice, so the
// host's leak report and misuse detection can be checked. Variant FAKE_CRASH writes through a null
// pointer when it gets action 5, so the validator's crash handling can be checked.
#include <cstdint>

#include "maxon_abi.h"

#if defined(_WIN32)
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

#ifdef FAKE_BAD_STAMP
constexpr int64_t kSecondStamp = 2022900;
#else
constexpr int64_t kSecondStamp = MAXON_MODULE_VERSION;
#endif

#ifdef FAKE_BAD_ID
const char* const kModuleId = "Corvel";
#else
const char* const kModuleId = "com.example.fake.corvel";
#endif

const char* const kFrameworks[] = {
#ifdef FAKE_BAD_ORDER
    "net.maxon.command.framework", "net.maxon.c4d.cinema.framework",
#else
    "net.maxon.c4d.cinema.framework", "net.maxon.command.framework",
#endif
    "net.maxon.core.framework", "net.maxon.crypt.framework", "net.maxon.geom.framework",
    "net.maxon.image.framework", "net.maxon.math.framework", "net.maxon.mesh_misc.framework",
#ifndef FAKE_EIGHT_DEPS
    "net.maxon.python.framework",
#endif
};
constexpr int32_t kFrameworkCount = static_cast<int32_t>(sizeof(kFrameworks) / sizeof(kFrameworks[0]));

MaxonId Literal(const char* text) { return MaxonId{text, MaxonIdHash(text, 0)}; }

void* g_systemSlots[3];
void* g_stringSlots[5];
MaxonId g_dependencies[kFrameworkCount];
MaxonModuleEntity g_module;
MaxonTranslationUnit g_unit;
MaxonInterfaceReference g_systemRef;
MaxonInterfaceReference g_stringRef;

void EmptyYield(int64_t, const void*) {}

#ifdef FAKE_READONLY_SLOTS
// Slots in read-only data: the host must not write the string interface's table here.
const uintptr_t kReadOnlySlots[5] = {1, 2, 3, 4, 5};
#endif

} // namespace

extern "C" {
FAKE_EXPORT MaxonModuleInfo g_maxon = {MAXON_MODULE_VERSION, kSecondStamp, nullptr, {nullptr, 0}, nullptr, nullptr, {0}};
#ifndef FAKE_NO_YIELD
FAKE_EXPORT MaxonCpuYieldFn g_CpuYieldDelegate = &EmptyYield;
#endif
}

namespace {

struct Registration {
    Registration() {
        for (int32_t k = 0; k < kFrameworkCount; ++k)
            g_dependencies[k] = Literal(kFrameworks[k]);
#ifdef FAKE_BAD_HASH
        g_dependencies[2].hash ^= 1;
#endif
        g_unit.head = MaxonEntity{MAXON_ENTITY_TRANSLATION_UNIT, 0, Literal("fake_module"), nullptr, &g_maxon};
        g_unit.module = &g_module;

        g_systemRef.head = MaxonEntity{MAXON_ENTITY_INTERFACE_REFERENCE, 0, Literal(MAXON_SYSTEM_INTERFACE_ID), nullptr, &g_maxon};
        g_systemRef.firstMethod = MAXON_SYSTEM_FIRST_METHOD;
        g_systemRef.firstMethodSignatureHash = MaxonIdHash(MAXON_SYSTEM_FIRST_SIGNATURE, 0);
#ifdef FAKE_BAD_SHAPE
        g_systemRef.methodCount = 2;
#else
        g_systemRef.methodCount = 3;
#endif
        g_systemRef.slots = g_systemSlots;

#ifdef FAKE_UNKNOWN_INTERFACE
        g_stringRef.head = MaxonEntity{MAXON_ENTITY_INTERFACE_REFERENCE, 0, Literal("net.maxon.interface.unknown"), nullptr, &g_maxon};
#else
        g_stringRef.head = MaxonEntity{MAXON_ENTITY_INTERFACE_REFERENCE, 0, Literal(MAXON_STRING_INTERFACE_ID), nullptr, &g_maxon};
#endif
        g_stringRef.firstMethod = MAXON_STRING_FIRST_METHOD;
        g_stringRef.firstMethodSignatureHash = MaxonIdHash(MAXON_STRING_FIRST_SIGNATURE, 0);
        g_stringRef.methodCount = 5;
        g_stringRef.slots = g_stringSlots;
        g_systemRef.head.next = &g_stringRef.head;

        MaxonId id = Literal(kModuleId);
#ifdef FAKE_ALLOCATED_BIT
        id.hash |= MAXON_ID_ALLOCATED_BIT;
#endif
        g_module.head = MaxonEntity{MAXON_ENTITY_MODULE, 0, id, nullptr, &g_maxon};
#ifdef FAKE_WILD_ENTITY
        g_module.head.next = reinterpret_cast<MaxonEntity*>(uintptr_t{0x10}); // nothing is mapped there
#endif
#ifdef FAKE_WILD_TEXT
        g_unit.head.id = MaxonId{reinterpret_cast<const char*>(uintptr_t{0x1000}), 0};
#endif
#ifdef FAKE_READONLY_SLOTS
        g_stringRef.slots = reinterpret_cast<void**>(const_cast<uintptr_t*>(kReadOnlySlots));
#endif
        g_module.units = &g_unit.head;
        g_module.references = &g_systemRef.head;
        g_module.dependencies = g_dependencies;
        g_module.dependencyCount = kFrameworkCount;
        g_maxon.entities = &g_module.head;
    }
    ~Registration() {
        // Hand back an identifier text the host allocated for this module.
        if ((g_maxon.id.hash & MAXON_ID_ALLOCATED_BIT) && g_maxon.id.text) {
            reinterpret_cast<MaxonSystemInterface*>(g_systemSlots)->Free(const_cast<char*>(g_maxon.id.text));
            g_maxon.id.text = nullptr;
            g_maxon.id.hash = 0;
        }
    }
} g_registration;

MaxonSystemInterface& System() { return *reinterpret_cast<MaxonSystemInterface*>(g_systemSlots); }

} // namespace

extern "C" FAKE_EXPORT int32_t c4d_main(int32_t action, void*, void*, void*) {
#ifdef FAKE_LEAKS
    if (action == 1) {
        System().Alloc(24); // never freed
        void* twice = System().Alloc(8);
        System().Free(twice);
        System().Free(twice);
    }
#endif
#ifdef FAKE_CRASH
    if (action == 5)
        *static_cast<volatile int*>(nullptr) = 1;
#endif
    (void)&System;
    return action == 4 ? 5 : 1;
}
