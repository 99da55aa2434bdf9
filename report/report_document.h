// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "subject_record.h"
#include "sway_report.h"
#include "trial_comparison.h"
#include "whole_file.h"

#include <QDateTime>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

// Where the analysed pictures came from, as the report's header tells it.
struct ReportRecording {
    QString fileName; // the photo or video the points were placed on
    bool video = false;
    QDateTime recorded; // invalid when unknown
    QSize sourceSize;   // pixels of the source picture
    QSize displaySize;  // pixels of the picture on display
    int frameStep = 1;  // video: every frameStep-th frame was tracked
    // The confirmed reference distance as typed, and the two points' distance on the picture on
    // display; NaN while the scale is not confirmed.
    double typedMillimetres = std::numeric_limits<double>::quiet_NaN();
    double referencePixels = std::numeric_limits<double>::quiet_NaN();
};

// A named point where it sits on the placement picture, in display pixels.
struct ReportMarker {
    int point = 0;
    QPointF position;
};

// What the report needs beyond the report model: the window that owns the analysis gives it.
struct ReportContext {
    std::optional<SubjectRecord> subject;
    ReportRecording recording;
    QImage picture;         // the placement picture at display size; null when missing
    QString pictureProblem; // why it is missing
    std::vector<ReportMarker> markers;
    QString suggestedPath; // what the PDF's save dialog offers first
};

struct ReportContent {
    SwayReport report;
    ReportContext context;
    std::vector<int> plottedPoints;       // point numbers whose plots are printed
    std::optional<ComparisonTrial> trial; // a second trial to compare with
    QString version;                      // "1.0.11"
    QDateTime created;
};

// Paints the whole report on a paged device whose painter is active, laid out in millimetres
// on the device's paper (A4 portrait for the PDF): header, subject, recording, picture,
// measures, plots, comparison, a footer with the definitions and page numbers on each page.
// Text stays text; charts are vector paths. Returns the number of pages.
int paintReport(QPainter& painter, QPagedPaintDevice& device, const ReportContent& content);

// The report as PDF bytes (A4 portrait, fonts embedded).
[[nodiscard]] QByteArray reportPdfBytes(const ReportContent& content);
// Writes the PDF whole or not at all.
[[nodiscard]] WriteResult writeReportPdf(const QString& path, const ReportContent& content);
// Prints on a printer set up by the print dialog; false with the reason when it cannot start.
[[nodiscard]] bool printReport(QPrinter& printer, const ReportContent& content, QString* error);
