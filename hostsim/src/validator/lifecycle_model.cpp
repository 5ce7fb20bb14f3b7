#include "hostsim/lifecycle_model.h"

#include <array>

namespace hostsim {
namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kRefused = -3;     // action 1: host too old or no module file name
constexpr int32_t kUnknown = -1;     // an action or message that means nothing, or a failed message
constexpr int32_t kVersion = 5;      // answer to the version query

struct CallName {
    LifecycleCall call;
    const char* name;
};
constexpr std::array<CallName, kLifecycleCallCount> kNames = {{
    {LifecycleCall::Init, "1"},
    {LifecycleCall::InitOldHost, "1/old-host"},
    {LifecycleCall::InitNoPath, "1/no-path"},
    {LifecycleCall::Start, "2"},
    {LifecycleCall::End, "3"},
    {LifecycleCall::Version, "4"},
    {LifecycleCall::OtherAction, "5"},
    {LifecycleCall::MessageNone, "6:0"},
    {LifecycleCall::MessageInit, "6:1"},
    {LifecycleCall::MessageOther, "6:2"},
}};

LifecycleExpectation Answer(int32_t answer) {
    LifecycleExpectation e;
    e.answer = answer;
    return e;
}

} // namespace

const std::vector<LifecycleCall>& CommonLifecycleCalls() {
    static const std::vector<LifecycleCall> calls = {
        LifecycleCall::Init,        LifecycleCall::Start,       LifecycleCall::End,         LifecycleCall::Version,
        LifecycleCall::MessageNone, LifecycleCall::MessageInit, LifecycleCall::MessageOther};
    return calls;
}

const std::vector<LifecycleCall>& AllLifecycleCalls() {
    static const std::vector<LifecycleCall> calls = [] {
        std::vector<LifecycleCall> all;
        for (const CallName& n : kNames)
            all.push_back(n.call);
        return all;
    }();
    return calls;
}

std::string LifecycleCallName(LifecycleCall call) {
    for (const CallName& n : kNames)
        if (n.call == call)
            return n.name;
    return "?";
}

bool ParseLifecycleCall(const std::string& name, LifecycleCall* out) {
    for (const CallName& n : kNames)
        if (name == n.name) {
            *out = n.call;
            return true;
        }
    return false;
}

std::string LifecycleOrderText(const std::vector<LifecycleCall>& order) {
    std::string text;
    for (LifecycleCall c : order)
        text += (text.empty() ? "" : " ") + LifecycleCallName(c);
    return text;
}

LifecycleExpectation LifecycleModel::Initialise(LifecycleCall call) {
    if (++counter_ != 1)
        return Answer(kOk); // nested: nothing is read, nothing is checked
    // The table is stored before the version is tested, so a refused host's table is kept too.
    tableHeld_ = true;
    if (call != LifecycleCall::Init)
        return Answer(kRefused); // the counter stays raised
    pathHeld_ = true;
    return Answer(kOk);
}

LifecycleExpectation LifecycleModel::LoadResource() {
    // The folder lives on the host heap, which the registration binding reaches even before the
    // first initialisation; only the load itself needs the host table.
    resourceFolderHeld_ = true;
    if (loadAttempted_)
        return Answer(resourceHeld_ ? kOk : kUnknown); // a failed load is not retried
    LifecycleExpectation e;
    loadAttempted_ = true;
    e.loadsResource = tableHeld_;
    // Without its own file name the module asks for a relative folder, which no host resolves.
    resourceHeld_ = tableHeld_ && pathHeld_ && facts_.resourceLoads;
    e.answer = resourceHeld_ ? kOk : kUnknown;
    return e;
}

LifecycleExpectation LifecycleModel::Apply(LifecycleCall call) {
    switch (call) {
    case LifecycleCall::Init:
    case LifecycleCall::InitOldHost:
    case LifecycleCall::InitNoPath: return Initialise(call);
    case LifecycleCall::Start: {
        // The host accepts one registration per command id; without a table there is no host.
        const bool registers = tableHeld_ && !commandRegistered_;
        commandRegistered_ = commandRegistered_ || registers;
        return Answer(registers ? 1 : 0);
    }
    case LifecycleCall::End: {
        LifecycleExpectation e = Answer(kOk);
        if (--counter_ != 0)
            return e;
        // Back to the state before the first initialisation, apart from the table: a later
        // initialisation loads the resource afresh.
        e.tearsDown = true;
        resourceHeld_ = false;
        resourceFolderHeld_ = false;
        loadAttempted_ = false;
        pathHeld_ = false;
        return e;
    }
    case LifecycleCall::Version: return Answer(kVersion);
    case LifecycleCall::OtherAction: return Answer(kUnknown);
    case LifecycleCall::MessageNone: return Answer(kOk);
    case LifecycleCall::MessageInit: return LoadResource();
    case LifecycleCall::MessageOther: return Answer(kUnknown);
    }
    return Answer(kUnknown);
}

std::vector<LifecycleCall> LifecycleModel::Drain() const {
    std::vector<LifecycleCall> calls;
    for (int32_t c = counter_; c > 1; --c)
        calls.push_back(LifecycleCall::End);
    for (int32_t c = counter_; c < 1; ++c)
        calls.push_back(LifecycleCall::Init);
    calls.push_back(LifecycleCall::End);
    return calls;
}

std::vector<std::vector<LifecycleCall>> LifecycleOrders(const std::vector<LifecycleCall>& calls, int length,
                                                        const std::vector<LifecycleCall>& prefix) {
    std::vector<std::vector<LifecycleCall>> orders;
    if (length < static_cast<int>(prefix.size()) || calls.empty())
        return orders;
    // An odometer over the free positions behind the prefix.
    const size_t free = static_cast<size_t>(length) - prefix.size();
    std::vector<size_t> digits(free, 0);
    for (;;) {
        std::vector<LifecycleCall> order = prefix;
        for (size_t d : digits)
            order.push_back(calls[d]);
        orders.push_back(std::move(order));
        size_t pos = free;
        while (pos > 0 && ++digits[pos - 1] == calls.size())
            digits[--pos] = 0;
        if (pos == 0)
            return orders;
    }
}

} // namespace hostsim
