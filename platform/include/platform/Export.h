// Export macro of the platform library: everything else stays hidden.
#pragma once

#if defined(PLATFORM_BUILDING)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API
#endif
