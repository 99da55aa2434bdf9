// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis file content: whatever the bytes, the reader answers without reading outside what it
// was given, no text it accepts is longer than a list box takes, and what it accepts it writes
// back so that it reads the same again. An accepted analysis then goes on to the sway report's
// model and files, as opening it and asking for the report would, so that long or odd names and
// numbers reach that code too.
#include "analysis_file.h"
#include "sway_csv.h"
#include "sway_report.h"

#include <cstdlib>

namespace {

bool fits(const std::string& text) {
    return QString::fromStdString(text).size() <= kMaxAnalysisTextLength;
}

bool textsFit(const AnalysisDocument& d) {
    const auto& r = d.record;
    const auto& w = d.window;
    bool ok = fits(r.photoPath) && fits(r.startDir) && fits(w.label4) && fits(w.label7) &&
              fits(w.distanceText) && fits(w.progressText);
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k)
        ok = ok && fits(r.landmarkNames[k]) && fits(w.listTexts[k - 1]);
    for (const std::string& name : w.shownControls)
        ok = ok && fits(name);
    if (const auto& s = d.subject)
        ok = ok && fits(s->name) && fits(s->id) && fits(s->examiner) && fits(s->memo);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = QStringLiteral("/data/subject");
    const AnalysisReadResult read = parseAnalysisFile(bytes, folder);
    if (!read.document) {
        if (read.error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    if (!textsFit(*read.document))
        std::abort();
    const QByteArray written = analysisFileBytes(*read.document, folder);
    const AnalysisReadResult again = parseAnalysisFile(written, folder);
    if (!again.document || analysisFileBytes(*again.document, folder) != written)
        std::abort();

    const SwayReport report = makeSwayReport(read.document->record, read.document->sway);
    if (report.entryCount != static_cast<int>(read.document->sway.entries.size()))
        std::abort();
    static_cast<void>(measuresFileBytes(report));
    static_cast<void>(trajectoryFileBytes(report));
    return 0;
}
