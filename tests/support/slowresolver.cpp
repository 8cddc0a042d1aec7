// SPDX-License-Identifier: GPL-3.0-or-later
// getaddrinfo for the program that compiles this file in: a definition in
// the executable comes before the C library's (and a sanitizer runtime's) for
// every library of the process, libcurl's resolver thread included, without
// LD_PRELOAD and its ordering rules under AddressSanitizer. Linked with
// --export-dynamic-symbol=getaddrinfo so the shared libraries see it.

#include "slowresolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <thread>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) noexcept {
    if (node && std::strcmp(node, slowresolver::kSlowHost) == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(slowresolver::kSlowLookupSeconds));
        return EAI_NONAME;
    }
    using Next = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Next next = reinterpret_cast<Next>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return next ? next(node, service, hints, result) : EAI_SYSTEM;
}
