#pragma once
// The opening of CNG algorithm providers behind Digest on Win32, with a seam
// for tests: an open that fails once (a policy, a provider being updated)
// must not leave every later file without a fingerprint.

namespace vantrel {

// Opens the provider named algorithm into *provider, as
// BCryptOpenAlgorithmProvider(provider, algorithm, nullptr, 0) does; returns
// its NTSTATUS (negative on failure).
using ProviderOpener = long (*)(void** provider, const wchar_t* algorithm);

// Replaces the opener for tests; null restores the system's.
void SetProviderOpenerForTesting(ProviderOpener opener);

// Closes the providers opened so far, so the next Digest opens again. Only
// while no Digest exists.
void ForgetProvidersForTesting();

}  // namespace vantrel
