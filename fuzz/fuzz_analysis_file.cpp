// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis file content: whatever the bytes, the reader answers without reading outside what it
// was given, and what it accepts it writes back so that it reads the same again.
#include "analysis_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = QStringLiteral("/data/subject");
    const AnalysisReadResult read = parseAnalysisFile(bytes, folder);
    if (!read.document) {
        if (read.error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const QByteArray written = analysisFileBytes(*read.document, folder);
    const AnalysisReadResult again = parseAnalysisFile(written, folder);
    if (!again.document || analysisFileBytes(*again.document, folder) != written)
        std::abort();
    return 0;
}
