// bench_module.h - the module every benchmark loads: the one this build made.
#ifndef CORVEL_BENCH_BENCH_MODULE_H
#define CORVEL_BENCH_BENCH_MODULE_H

#include <string>

inline const std::string kModule = CORVEL_MODULE_PATH;

#endif
