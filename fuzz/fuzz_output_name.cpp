// SPDX-License-Identifier: GPL-3.0-or-later
// Export file names: always in the chosen folder, always ending in the suffix.
#include "output_name.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString chosen = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString suffix = QStringLiteral("_1.csv");
    const auto name = outputFileName(chosen, suffix);
    if (!name)
        return 0;
    const qsizetype cut = qMax(chosen.lastIndexOf(u'/'), chosen.lastIndexOf(u'\\')) + 1;
    if (!name->endsWith(suffix) || !name->startsWith(chosen.left(cut)) ||
        name->size() > chosen.size() + suffix.size())
        std::abort();
    return 0;
}
