// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_document.h"
#include "whole_file.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Analysis files (*.vestra): JSON in UTF-8 with a "format" number. Paths in or under the
// file's folder are stored relative to it, so a moved folder still opens; others absolute.

// Format 2 measures the trajectory in the source picture's pixels ("sway.scale"); format 1 files
// hold display pixels and still open.
inline constexpr int kAnalysisFormat = 2;
// Room for a trajectory of two hours of video at 60 frames a second (about 70 MB an hour);
// refuses absurd files early.
inline constexpr qint64 kMaxAnalysisFileBytes = qint64{192} * 1024 * 1024;
// The longest text (in UTF-16 units, as Qt counts) a file may hold anywhere: what a list box or
// a line edit takes. A longer one is refused before the file is parsed, whatever the file's size.
inline constexpr qsizetype kMaxAnalysisTextLength = 32767;

// The file's content for a file in `folder`.
[[nodiscard]] QByteArray analysisFileBytes(const AnalysisDocument& document, const QString& folder);

struct AnalysisReadResult {
    std::optional<AnalysisDocument> document;
    QString error; // Japanese, for the user; empty on success
};

// Reads the content of a file in `folder`. A broken, cut-off, newer or wrongly typed content, or
// one with a text longer than kMaxAnalysisTextLength, is refused with the reason.
[[nodiscard]] AnalysisReadResult parseAnalysisFile(const QByteArray& bytes, const QString& folder);
// Reads the file; the error names it.
[[nodiscard]] AnalysisReadResult readAnalysisFile(const QString& path);

// Writes the whole file or nothing (a crash or a full disk leaves any old file as it was). A
// document with a text longer than kMaxAnalysisTextLength is refused, as reading would.
[[nodiscard]] WriteResult writeAnalysisFile(const QString& path, const AnalysisDocument& document);
