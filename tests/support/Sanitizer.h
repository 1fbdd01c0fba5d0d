// Whether this build runs under AddressSanitizer.
#pragma once

// True in a build with AddressSanitizer, whose quarantine keeps freed memory
// resident, so memory bounds are printed there but not checked.
constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif
