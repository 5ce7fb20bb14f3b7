// operatingsystem.h - the SDK release this binding layer presents.
#ifndef CORVEL_HOST_OPERATINGSYSTEM_H
#define CORVEL_HOST_OPERATINGSYSTEM_H

// The build selects the release shape: 2023000 (the default; the classic API at global scope) or
// 2025000 (the classic API inside namespace cinema, description ids made with CreateDescID).
#if defined(CORVEL_HOST_API_VERSION)
#define API_VERSION CORVEL_HOST_API_VERSION
#else
#define API_VERSION 2023000
#endif

#endif // CORVEL_HOST_OPERATINGSYSTEM_H
