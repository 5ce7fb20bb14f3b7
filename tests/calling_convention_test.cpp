// Where the macOS module's calling convention meets the host's: on arm64, Apple's code trusts all
// 32 bits of a result narrower than 32 bits (its callee extends it), while GCC on aarch64 Linux
// leaves the upper bits undefined. The host's tables therefore answer such results widened; these
// tests give the table entry an operation that leaves the upper bits dirty, as GCC may, and read
// the answer as Apple's code does. On x86-64 both systems leave the extension to the caller, and
// the tables hold the operations as they are.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/host_internal.h"
#include "hostsim/host.h"

namespace {

using hostsim::CountedOperation;
using hostsim::ServiceArea;

#if defined(__aarch64__)
// "true" and "false" with bits 8-31 of w0 dirty: a bool result as GCC is allowed to leave it.
extern "C" bool CorvelDirtyTrue();
extern "C" bool CorvelDirtyFalse();
extern "C" int8_t CorvelDirtyMinusOne(); // -1 in the low byte only
asm(R"(
    .pushsection .text
    .p2align 2
    .globl CorvelDirtyTrue
    .type CorvelDirtyTrue, %function
CorvelDirtyTrue:
    movz w0, #0x0001
    movk w0, #0x5a5a, lsl #16
    ret
    .size CorvelDirtyTrue, . - CorvelDirtyTrue

    .p2align 2
    .globl CorvelDirtyFalse
    .type CorvelDirtyFalse, %function
CorvelDirtyFalse:
    movz w0, #0x7e00
    movk w0, #0x5a5a, lsl #16
    ret
    .size CorvelDirtyFalse, . - CorvelDirtyFalse

    .p2align 2
    .globl CorvelDirtyMinusOne
    .type CorvelDirtyMinusOne, %function
CorvelDirtyMinusOne:
    movz w0, #0x00ff
    movk w0, #0x1234, lsl #16
    ret
    .size CorvelDirtyMinusOne, . - CorvelDirtyMinusOne
    .popsection
)");

// How Apple's arm64 code reads a narrow result: all of w0.
template <auto Operation>
uint32_t AsAppleReadsIt() {
    const auto entry = CountedOperation<ServiceArea::General, Operation>::TableEntry();
    return reinterpret_cast<uint32_t (*)()>(reinterpret_cast<void (*)()>(entry))();
}

TEST(HostTableResults, NarrowResultsReachTheModuleExtendedTo32Bits) {
    hostsim::Host host;
    EXPECT_EQ(AsAppleReadsIt<&CorvelDirtyTrue>(), 1u);
    EXPECT_EQ(AsAppleReadsIt<&CorvelDirtyFalse>(), 0u) << "the module would read true";
    EXPECT_EQ(AsAppleReadsIt<&CorvelDirtyMinusOne>(), 0xffffffffu) << "a signed result is sign-extended";
    EXPECT_EQ(host.HostCalls(ServiceArea::General), 3u) << "the widened entries are counted like the others";
}

TEST(HostTableResults, TheServiceTablesAnswerBoolsIn32Bits) {
    // Real entries: a container's typed setters and getters through the table the module gets.
    hostsim::Host host;
    const C4D_ContainerTable* table = host.Api().container;
    C4D_Container* bc = table->Alloc(7);
    ASSERT_NE(bc, nullptr);
    auto setBool = reinterpret_cast<uint32_t (*)(C4D_Container*, int32_t, uint32_t)>(
        reinterpret_cast<void (*)()>(table->SetBool));
    auto getBool = reinterpret_cast<uint32_t (*)(const C4D_Container*, int32_t, uint32_t)>(
        reinterpret_cast<void (*)()>(table->GetBool));
    EXPECT_EQ(setBool(bc, 1, 1), 1u);
    EXPECT_EQ(setBool(bc, 2, 0), 1u);
    EXPECT_EQ(getBool(bc, 1, 0), 1u);
    EXPECT_EQ(getBool(bc, 2, 1), 0u);
    EXPECT_EQ(getBool(bc, 3, 1), 1u) << "the preset of an absent key";
    table->Free(bc);
}

#else

bool PlainTrue() { return true; }

TEST(HostTableResults, NarrowResultsReachTheModuleExtendedTo32Bits) {
    // System V x86-64 on both systems: the caller extends what it reads, the entry is the operation.
    using Entry = CountedOperation<ServiceArea::General, &PlainTrue>;
    EXPECT_EQ(Entry::TableEntry(), &Entry::Call);
}

TEST(HostTableResults, TheServiceTablesAnswerBoolsIn32Bits) {
    GTEST_SKIP() << "x86-64 leaves the extension of narrow results to the caller on both systems";
}

#endif

} // namespace
