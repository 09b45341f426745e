// Byte counts as the system information window writes them: "###,###,### Bytes".
#pragma once
#include <cstdint>

#include "text/Sjis.h"

namespace veska {

// Digits grouped in threes by commas, however many there are, then " Bytes". The pattern has
// no mandatory digit, so 0 gives " Bytes"; a negative count keeps its minus sign.
Bytes FormatBytes(uint64_t value);
Bytes FormatBytes(int64_t value);

}  // namespace veska
