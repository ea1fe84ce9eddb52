// The scan driver is linked statically. libcrypto, linked in for its digests,
// also holds module loading and network lookups the driver never calls, and
// static glibc warns at link time about each of those functions. The driver
// is linked with --wrap for them: these refusals stand in, and glibc's own
// versions, with their warnings, stay out of the executable.
#include <dlfcn.h>
#include <netdb.h>

extern "C" {

void* __wrap_dlopen(const char*, int) { return nullptr; }

int __wrap_getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** result) {
  *result = nullptr;
  return EAI_FAIL;
}

hostent* __wrap_gethostbyname(const char*) {
  h_errno = NO_RECOVERY;
  return nullptr;
}

}
