// text.h - small text helpers the stand-in host's readers and command lines share.
#ifndef CORVEL_HOSTSIM_TEXT_H
#define CORVEL_HOSTSIM_TEXT_H

#include <cstdint>
#include <string>

namespace hostsim {

// A whole decimal Int32 ("-12"); false for anything else (empty, trailing text, out of range).
bool ParseInt32(const std::string& text, int32_t* out);

// `s` with ASCII letters in lower case (file names compared as the host compares them).
std::string AsciiLower(std::string s);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_TEXT_H
