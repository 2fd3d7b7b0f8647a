// Plug-ins for the loader's tests, one per FAKE_KORRELVANE_* variant. The recording one
// writes each call it receives to the program's log, where the test reads them.

#include "update-plugin/KorrelvaneABI.h"

#include <stdexcept>
#include <string>

namespace {

const KorrelvaneHost* theHost = nullptr;

void record(const std::string& line)
{
    theHost->log(KORRELVANE_LOG_INFO, line.c_str());
}

void* create(const KorrelvaneHost* host)
{
    theHost = host;
    record(std::string("create ") + host->feedUrl);
    static int object = 0;
    return &object;
}

void utilisateur(void*, const char* email)
{
#ifdef FAKE_KORRELVANE_THROWING
    (void)email;
    throw std::runtime_error("utilisateur en panne");
#else
    record(std::string("utilisateur ") + (email ? email : "nil"));
#endif
}

#ifdef FAKE_KORRELVANE_UNRESOLVED
extern "C" void korrelvane_symbol_nobody_defines();
#endif

[[maybe_unused]] void rechercher(void*)
{
#if defined(FAKE_KORRELVANE_THROWING)
    throw 42;
#elif defined(FAKE_KORRELVANE_UNRESOLVED)
    korrelvane_symbol_nobody_defines();
#else
    record("rechercher");
#endif
}

void destroy(void*)
{
    record("destroy");
}

#ifdef FAKE_KORRELVANE_ABI_TWO
constexpr int kAbiVersion = 2;
#else
constexpr int kAbiVersion = KORRELVANE_ABI_VERSION;
#endif

#ifdef FAKE_KORRELVANE_NULL_MEMBER
constexpr KorrelvanePlugin kTable { kAbiVersion, &create, &utilisateur, nullptr, &destroy };
#else
constexpr KorrelvanePlugin kTable { kAbiVersion, &create, &utilisateur, &rechercher, &destroy };
#endif

} // namespace

#ifdef FAKE_KORRELVANE_NO_ENTRY
extern "C" __attribute__((visibility("default"))) const KorrelvanePlugin* korrelvane_plugin_v0()
#else
extern "C" __attribute__((visibility("default"))) const KorrelvanePlugin* korrelvane_plugin()
#endif
{
    return &kTable;
}
