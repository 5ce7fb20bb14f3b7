// corvel_facts.h - what the tests know the module by: its command id, the dialog's button ids, the
// host's render commands, its registration stamp and the console lines it prints. One definition
// for every test file (the suite is also compiled as a few combined units, where two definitions
// of one name would clash).
#ifndef CORVEL_TESTS_SUPPORT_CORVEL_FACTS_H
#define CORVEL_TESTS_SUPPORT_CORVEL_FACTS_H

#include <cstdint>

namespace corvel_test {

constexpr int32_t kCorvelId = 1027069;
constexpr int32_t kResetSettings = 5050;
constexpr int32_t kSaveSettings = 5055;
constexpr int32_t kRenderButton = 10032;
// The host's two render commands: render the editor view, render to the Picture Viewer.
constexpr int32_t kRenderEditor = 12163;
constexpr int32_t kRenderPictureViewer = 12099;
constexpr int64_t kVersionStamp = 2022901;
inline const char* const kLoadedLine = "Tarnwick Software: Corvel successfully loaded.";
inline const char* const kFailedRegisterLine = "Tarnwick Software: Failed to register Corvel";
inline const char* const kResourceFailedLine = "Corvel: failed to load resource file.";
inline const char* const kNoSettingsLine = "Failed to load the Corvel settings.";

} // namespace corvel_test

#endif
