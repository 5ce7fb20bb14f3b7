// lifecycle_model.h - what a module must answer to every order of c4d_main calls, written from the
// host's lifecycle rules: actions 1 and 3 nest through a load counter (only the step 0 -> 1
// initialises, only the step 1 -> 0 tears down), the host table is kept from the first
// initialisation on, the resource is asked for at most once between two teardowns (a failed load
// is not retried; a message that comes before any host table counts as that one attempt), and a
// command id can be registered with the host only once.
//
// The validator runs every order of these calls up to a depth against the real module and
// compares each answer, each resource load the module asks for, and what it holds afterwards.
#ifndef CORVEL_HOSTSIM_LIFECYCLE_MODEL_H
#define CORVEL_HOSTSIM_LIFECYCLE_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

// One call of c4d_main.
enum class LifecycleCall {
    Init,           // action 1 with the host table and the module's file name
    InitOldHost,    // action 1 from a host whose API version is too old
    InitNoPath,     // action 1 without the module's file name
    Start,          // action 2
    End,            // action 3
    Version,        // action 4
    OtherAction,    // action 5, which means nothing
    MessageNone,    // action 6, message 0
    MessageInit,    // action 6, message 1: load the resource
    MessageOther,   // action 6, message 2, which means nothing
};
inline constexpr int kLifecycleCallCount = 10;
// The calls a host makes in normal operation, and all of them.
const std::vector<LifecycleCall>& CommonLifecycleCalls();
const std::vector<LifecycleCall>& AllLifecycleCalls();

// "1", "1/old-host", "1/no-path", "2", "3", "4", "5", "6:0", "6:1", "6:2".
std::string LifecycleCallName(LifecycleCall call);
bool ParseLifecycleCall(const std::string& name, LifecycleCall* out);
std::string LifecycleOrderText(const std::vector<LifecycleCall>& order); // "1 6:1 2 3"

// What a call must do.
struct LifecycleExpectation {
    int32_t answer = 0;
    bool loadsResource = false; // asks the host to load the resource (exactly once when true)
    bool tearsDown = false;     // the outermost end: releases everything the load holds
};

// Facts about the module's folder that the model cannot know: whether its resource loads when
// the module asks for it with its own folder.
struct LifecycleFacts {
    bool resourceLoads = true;
};

class LifecycleModel {
public:
    explicit LifecycleModel(LifecycleFacts facts = {}) : facts_(facts) {}

    // Advances the model by one call and answers what the module must do.
    LifecycleExpectation Apply(LifecycleCall call);

    int32_t Counter() const { return counter_; }
    bool HoldsResource() const { return resourceHeld_; }
    bool CommandRegistered() const { return commandRegistered_; }

    // The calls that bring the counter back to 1 and then tear the module down, as a host does
    // before it unloads a module: action 3 while the counter is above 1, action 1 while it is
    // below, then one action 3.
    std::vector<LifecycleCall> Drain() const;

private:
    LifecycleExpectation Initialise(LifecycleCall call);
    LifecycleExpectation LoadResource();

    LifecycleFacts facts_;
    int32_t counter_ = 0;
    bool tableHeld_ = false;          // kept from the first initialisation on, also after teardown
    bool pathHeld_ = false;
    bool resourceFolderHeld_ = false;
    bool loadAttempted_ = false;      // until the next teardown
    bool resourceHeld_ = false;
    bool commandRegistered_ = false;  // the host keeps the registration until it frees plug-ins
};

// Every order of exactly `length` calls taken from `calls` that begins with `prefix`, in
// lexicographic order of `calls`.
std::vector<std::vector<LifecycleCall>> LifecycleOrders(const std::vector<LifecycleCall>& calls, int length,
                                                        const std::vector<LifecycleCall>& prefix = {});

} // namespace hostsim

#endif // CORVEL_HOSTSIM_LIFECYCLE_MODEL_H
