// pthread for macOS modules, on macOS's own object layouts.
//
// A macOS pthread object starts with an 8-byte signature followed by opaque bytes, and its static
// initialisers are signatures, not glibc's zero patterns: PTHREAD_MUTEX_INITIALIZER is
// {0x32AAABA7, {0}}, PTHREAD_ONCE_INIT {0x30B1BCBA, {0}}. Handing such an object to glibc goes
// wrong silently (glibc reads the once signature as "already run" and the mutex signature as a
// held lock), and glibc's condition variable does not even fit into macOS's 40 opaque bytes. So
// these shims keep their own small state inside the opaque part: a futex word per object, the
// owner's thread id and the recursion depth. Error numbers are macOS's (EDEADLK 11, EAGAIN 35,
// ETIMEDOUT 60), not glibc's.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "libsystem_shims.h"

namespace hostsim::macos {
namespace {

// macOS error numbers where they differ from Linux (EINVAL 22, EBUSY 16, EPERM 1 agree).
constexpr int kMacEINVAL = 22, kMacEBUSY = 16, kMacEPERM = 1, kMacEDEADLK = 11, kMacEAGAIN = 35, kMacETIMEDOUT = 60;

// Signatures: static initialisers and those pthread_*_init stores.
constexpr long kMutexStaticNormal = 0x32AAABA7, kMutexStaticErrorCheck = 0x32AAABA1,
               kMutexStaticRecursive = 0x32AAABA2, kMutexStaticFirstFit = 0x32AAABA3, kMutexInitialised = 0x4D555458;
constexpr long kMutexAttrInitialised = 0x4D545841;
constexpr long kCondStatic = 0x3CB0B1BB, kCondInitialised = 0x434F4E44;
constexpr long kOnceStatic = 0x30B1BCBA;

constexpr int kTypeNormal = 0, kTypeErrorCheck = 1, kTypeRecursive = 2; // PTHREAD_MUTEX_* on macOS

// The objects as macOS lays them out.
struct MacMutex { long sig; unsigned char opaque[56]; };
struct MacMutexAttr { long sig; unsigned char opaque[8]; };
struct MacCond { long sig; unsigned char opaque[40]; };
struct MacOnce { long sig; unsigned char opaque[8]; };
using MacKey = unsigned long;
static_assert(sizeof(MacMutex) == 64 && sizeof(MacCond) == 48 && sizeof(MacOnce) == 16 && sizeof(MacMutexAttr) == 16);

// What the shims keep in the opaque parts.
struct MutexState {
    uint32_t word;  // 0 free, 1 locked, 2 locked with waiters
    uint32_t type;  // for mutexes set up by pthread_mutex_init; static ones carry it in the signature
    int32_t owner;  // thread id of the holder, 0 when free
    uint32_t depth; // recursive locks held by the owner
};
struct CondState {
    uint32_t sequence; // bumped by every signal; waiters sleep while it is unchanged
};
struct OnceState {
    uint32_t state; // 0 not run, 1 running, 2 running with waiters, 3 done
};
static_assert(sizeof(MutexState) <= sizeof(MacMutex::opaque) && sizeof(CondState) <= sizeof(MacCond::opaque) &&
              sizeof(OnceState) <= sizeof(MacOnce::opaque));

MutexState* StateOf(MacMutex* m) { return reinterpret_cast<MutexState*>(m->opaque); }
CondState* StateOf(MacCond* c) { return reinterpret_cast<CondState*>(c->opaque); }
OnceState* StateOf(MacOnce* o) { return reinterpret_cast<OnceState*>(o->opaque); }

uint32_t Load(const uint32_t* word) { return __atomic_load_n(word, __ATOMIC_ACQUIRE); }
uint32_t Exchange(uint32_t* word, uint32_t value) { return __atomic_exchange_n(word, value, __ATOMIC_ACQ_REL); }
bool CompareExchange(uint32_t* word, uint32_t expected, uint32_t desired) {
    return __atomic_compare_exchange_n(word, &expected, desired, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
}

// Sleeps while *word == expected; answers false on a timeout. `deadline`, when given, is an
// absolute CLOCK_REALTIME time, as pthread_cond_timedwait takes it.
bool FutexWait(uint32_t* word, uint32_t expected, const struct timespec* deadline = nullptr) {
    const long result = deadline ? syscall(SYS_futex, word, FUTEX_WAIT_BITSET_PRIVATE | FUTEX_CLOCK_REALTIME, expected,
                                           deadline, nullptr, FUTEX_BITSET_MATCH_ANY)
                                 : syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
    return !(result == -1 && errno == ETIMEDOUT);
}
void FutexWake(uint32_t* word, int count) { syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0); }

int32_t ThisThread() {
    thread_local const int32_t id = static_cast<int32_t>(syscall(SYS_gettid));
    return id;
}

[[noreturn]] void Die(const char* what) {
    std::fprintf(stderr, "corvel-host: macOS module: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

// The mutex's type, or -1 when the signature is none of a mutex (never set up, or destroyed).
int MutexType(const MacMutex* m) {
    switch (m->sig) {
    case kMutexStaticNormal:
    case kMutexStaticFirstFit: return kTypeNormal;
    case kMutexStaticErrorCheck: return kTypeErrorCheck;
    case kMutexStaticRecursive: return kTypeRecursive;
    case kMutexInitialised: return static_cast<int>(reinterpret_cast<const MutexState*>(m->opaque)->type);
    default: return -1;
    }
}

// The lock word protocol of a three-state futex lock: 0 free, 1 held, 2 held and contended.
void AcquireWord(uint32_t* word) {
    if (CompareExchange(word, 0, 1))
        return;
    uint32_t seen = Exchange(word, 2);
    while (seen != 0) {
        FutexWait(word, 2);
        seen = Exchange(word, 2);
    }
}

void ReleaseWord(uint32_t* word) {
    if (Exchange(word, 0) == 2)
        FutexWake(word, 1);
}

// pthread_mutex_lock / trylock: a recursive mutex counts its owner's locks; an error-checking one
// answers EDEADLK to its owner. A normal mutex locked again by its owner deadlocks on macOS; here
// that stops the process with a message instead of hanging the test run.
int LockMutex(MacMutex* m, bool tryOnly) {
    const int type = MutexType(m);
    if (type < 0)
        return kMacEINVAL;
    MutexState* s = StateOf(m);
    const int32_t self = ThisThread();
    if (__atomic_load_n(&s->owner, __ATOMIC_RELAXED) == self) {
        if (type == kTypeRecursive) {
            ++s->depth;
            return 0;
        }
        if (type == kTypeErrorCheck)
            return kMacEDEADLK;
        if (tryOnly)
            return kMacEBUSY;
        Die("a thread locked a mutex it already holds (a deadlock on macOS)");
    }
    if (tryOnly) {
        if (!CompareExchange(&s->word, 0, 1))
            return kMacEBUSY;
    } else {
        AcquireWord(&s->word);
    }
    __atomic_store_n(&s->owner, self, __ATOMIC_RELAXED);
    s->depth = 1;
    return 0;
}

// macOS answers EPERM when a thread unlocks a mutex it does not hold.
int UnlockMutex(MacMutex* m) {
    if (MutexType(m) < 0)
        return kMacEINVAL;
    MutexState* s = StateOf(m);
    if (__atomic_load_n(&s->owner, __ATOMIC_RELAXED) != ThisThread())
        return kMacEPERM;
    if (--s->depth > 0)
        return 0;
    __atomic_store_n(&s->owner, 0, __ATOMIC_RELAXED);
    ReleaseWord(&s->word);
    return 0;
}

// ---- mutexes -------------------------------------------------------------------------------------

int MutexAttrInit(MacMutexAttr* a) {
    a->sig = kMutexAttrInitialised;
    a->opaque[0] = kTypeNormal;
    return 0;
}
int MutexAttrDestroy(MacMutexAttr* a) {
    if (a->sig != kMutexAttrInitialised)
        return kMacEINVAL;
    a->sig = 0;
    return 0;
}
int MutexAttrSetType(MacMutexAttr* a, int type) {
    if (a->sig != kMutexAttrInitialised || type < kTypeNormal || type > kTypeRecursive)
        return kMacEINVAL;
    a->opaque[0] = static_cast<unsigned char>(type);
    return 0;
}
int MutexInit(MacMutex* m, const MacMutexAttr* a) {
    if (a && a->sig != kMutexAttrInitialised)
        return kMacEINVAL;
    *StateOf(m) = MutexState{0, a ? a->opaque[0] : 0u, 0, 0};
    m->sig = kMutexInitialised;
    return 0;
}
// macOS refuses to destroy a held mutex (EBUSY) and marks a destroyed one invalid.
int MutexDestroy(MacMutex* m) {
    if (MutexType(m) < 0)
        return kMacEINVAL;
    if (Load(&StateOf(m)->word) != 0)
        return kMacEBUSY;
    m->sig = 0;
    return 0;
}
int MutexLock(MacMutex* m) { return LockMutex(m, false); }
int MutexTryLock(MacMutex* m) { return LockMutex(m, true); }
int MutexUnlock(MacMutex* m) { return UnlockMutex(m); }

// ---- condition variables -----------------------------------------------------------------------

bool CondValid(const MacCond* c) { return c->sig == kCondStatic || c->sig == kCondInitialised; }

int CondInit(MacCond* c, const void* /*attributes: none that change behaviour here*/) {
    *StateOf(c) = CondState{0};
    c->sig = kCondInitialised;
    return 0;
}
int CondDestroy(MacCond* c) {
    if (!CondValid(c))
        return kMacEINVAL;
    c->sig = 0;
    return 0;
}
// Releases the mutex (all recursive levels), sleeps until a signal or the deadline, and takes the
// mutex back as it was. Spurious wake-ups are allowed, as on macOS.
int CondWait(MacCond* c, MacMutex* m, const struct timespec* deadline) {
    if (!CondValid(c) || MutexType(m) < 0)
        return kMacEINVAL;
    MutexState* s = StateOf(m);
    if (__atomic_load_n(&s->owner, __ATOMIC_RELAXED) != ThisThread())
        return kMacEPERM;
    uint32_t* sequence = &StateOf(c)->sequence;
    const uint32_t seen = Load(sequence);
    const uint32_t depth = s->depth;
    __atomic_store_n(&s->owner, 0, __ATOMIC_RELAXED);
    ReleaseWord(&s->word);
    const bool signalled = FutexWait(sequence, seen, deadline);
    // Taken as contended: another waiter may sleep on the word, and it must be woken later.
    uint32_t word = Exchange(&s->word, 2);
    while (word != 0) {
        FutexWait(&s->word, 2);
        word = Exchange(&s->word, 2);
    }
    __atomic_store_n(&s->owner, ThisThread(), __ATOMIC_RELAXED);
    s->depth = depth;
    return signalled ? 0 : kMacETIMEDOUT;
}
int CondWaitForever(MacCond* c, MacMutex* m) { return CondWait(c, m, nullptr); }
int CondTimedWait(MacCond* c, MacMutex* m, const struct timespec* deadline) {
    if (!deadline || deadline->tv_nsec < 0 || deadline->tv_nsec >= 1000000000)
        return kMacEINVAL;
    return CondWait(c, m, deadline);
}
int CondWake(MacCond* c, int count) {
    if (!CondValid(c))
        return kMacEINVAL;
    __atomic_add_fetch(&StateOf(c)->sequence, 1, __ATOMIC_ACQ_REL);
    FutexWake(&StateOf(c)->sequence, count);
    return 0;
}
int CondSignal(MacCond* c) { return CondWake(c, 1); }
int CondBroadcast(MacCond* c) { return CondWake(c, INT_MAX); }

// ---- once ---------------------------------------------------------------------------------------

// Runs `routine` exactly once per control; callers that arrive meanwhile wait until it returned.
int Once(MacOnce* o, void (*routine)()) {
    if (o->sig != kOnceStatic)
        return kMacEINVAL;
    uint32_t* state = &StateOf(o)->state;
    if (Load(state) == 3)
        return 0;
    if (CompareExchange(state, 0, 1)) {
        routine();
        if (Exchange(state, 3) == 2)
            FutexWake(state, INT_MAX);
        return 0;
    }
    for (;;) {
        const uint32_t seen = Load(state);
        if (seen == 3)
            return 0;
        if (seen == 1 && !CompareExchange(state, 1, 2))
            continue;
        FutexWait(state, 2);
    }
}

// ---- thread-specific data -------------------------------------------------------------------------

// macOS keys are 8 bytes wide, glibc's 4: each macOS key holds a glibc key. Who created each key
// and its destructor are remembered so that an unloaded image's keys can be deleted.
struct KeyRecord {
    pthread_key_t key;
    void (*destructor)(void*);
    const void* creator; // the return address of the pthread_key_create call
};
std::mutex g_keysMutex;
std::vector<KeyRecord> g_keys;

__attribute__((noinline)) int KeyCreate(MacKey* key, void (*destructor)(void*)) {
    const void* creator = __builtin_return_address(0);
    pthread_key_t glibcKey;
    if (pthread_key_create(&glibcKey, destructor) != 0)
        return kMacEAGAIN;
    std::lock_guard<std::mutex> lock(g_keysMutex);
    g_keys.push_back({glibcKey, destructor, creator});
    *key = glibcKey;
    return 0;
}
int KeyDelete(MacKey key) {
    std::lock_guard<std::mutex> lock(g_keysMutex);
    for (auto it = g_keys.begin(); it != g_keys.end(); ++it) {
        if (it->key == key) {
            pthread_key_delete(it->key);
            g_keys.erase(it);
            return 0;
        }
    }
    return kMacEINVAL;
}
void* GetSpecific(MacKey key) { return pthread_getspecific(static_cast<pthread_key_t>(key)); }
int SetSpecific(MacKey key, const void* value) {
    return pthread_setspecific(static_cast<pthread_key_t>(key), value) == 0 ? 0 : kMacEINVAL;
}

} // namespace

void DeleteKeysOf(const void* begin, size_t size) {
    const auto low = reinterpret_cast<uintptr_t>(begin);
    auto inside = [&](const void* address) {
        const auto at = reinterpret_cast<uintptr_t>(address);
        return at >= low && at - low < size;
    };
    std::lock_guard<std::mutex> lock(g_keysMutex);
    for (auto it = g_keys.begin(); it != g_keys.end();) {
        if (inside(reinterpret_cast<const void*>(it->destructor)) || inside(it->creator)) {
            pthread_key_delete(it->key);
            it = g_keys.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<ShimEntry> PthreadShims() {
    return {
        {"_pthread_mutexattr_init", ShimAddress(MutexAttrInit)},
        {"_pthread_mutexattr_destroy", ShimAddress(MutexAttrDestroy)},
        {"_pthread_mutexattr_settype", ShimAddress(MutexAttrSetType)},
        {"_pthread_mutex_init", ShimAddress(MutexInit)},
        {"_pthread_mutex_destroy", ShimAddress(MutexDestroy)},
        {"_pthread_mutex_lock", ShimAddress(MutexLock)},
        {"_pthread_mutex_trylock", ShimAddress(MutexTryLock)},
        {"_pthread_mutex_unlock", ShimAddress(MutexUnlock)},
        {"_pthread_cond_init", ShimAddress(CondInit)},
        {"_pthread_cond_destroy", ShimAddress(CondDestroy)},
        {"_pthread_cond_wait", ShimAddress(CondWaitForever)},
        {"_pthread_cond_timedwait", ShimAddress(CondTimedWait)},
        {"_pthread_cond_signal", ShimAddress(CondSignal)},
        {"_pthread_cond_broadcast", ShimAddress(CondBroadcast)},
        {"_pthread_once", ShimAddress(Once)},
        {"_pthread_key_create", ShimAddress(KeyCreate)},
        {"_pthread_key_delete", ShimAddress(KeyDelete)},
        {"_pthread_getspecific", ShimAddress(GetSpecific)},
        {"_pthread_setspecific", ShimAddress(SetSpecific)},
    };
}

} // namespace hostsim::macos
