// SPDX-License-Identifier: GPL-3.0-or-later
// pcol.dat content: whatever the bytes, the reader answers, and what it accepts reads back the
// same after being written.
#include "settings_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const ToleranceReadResult read = parseToleranceText(bytes);
    if (!read.ok)
        return 0;
    const ToleranceReadResult again =
        parseToleranceText(toleranceFileBytes(read.brightness, read.darkness));
    if (!again.ok || again.brightness != read.brightness || again.darkness != read.darkness)
        std::abort();
    return 0;
}
