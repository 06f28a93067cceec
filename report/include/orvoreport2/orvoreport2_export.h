#pragma once

#if defined(ORVOREPORT2_BUILDING)
#define ORVOREPORT2_EXPORT __attribute__((visibility("default")))
#else
#define ORVOREPORT2_EXPORT
#endif
