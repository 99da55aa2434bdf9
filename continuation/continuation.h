// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_source.h"
#include "analysis_state.h"
#include "frame_source.h"
#include "pixel_view.h"
#include "sway_record.h"

#include <QString>

#include <cstdint>
#include <limits>

// How a run of the continuation ended.
struct ContinuationOutcome {
    enum class End {
        NoNextName,  // the source could name no further item
        Capacity,    // the series holds no further entry
        Missing,     // the next photo does not exist
        Unreadable,  // the next photo or frame cannot be read
        EndOfStream, // the video has no further frame
        LostMarker,  // a point's marker was not found
        Stopped,     // the user pressed Esc
        EndPosition, // the video reached the end position chosen for it
        SizeChanged, // the video's frames changed size
    };

    End end = End::NoNextName;
    int tracked = 0; // pictures whose points were all tracked in this run
    QString name;    // the item where the run ended, as the source named it
    double seconds = std::numeric_limits<double>::quiet_NaN(); // its time, for a video
    int lostPoint = 0;                                         // for End::LostMarker
    int inSeries = 0; // of the pictures tracked, the ones the record's series had room for
    // For End::LostMarker: the picture and the record before it was tracked (LostFrame without
    // where the picture is).
    LostFrame lost;
};

// The picture a run lost a marker in, taken up again with the lost markers placed by hand: it is
// tracked first, the placed points moved to their centres, before the source's next item.
struct ResumedFrame {
    SourceItem item;
    LostFrame lost;
};

// What the run needs from the window around it.
class ContinuationHost {
public:
    virtual ~ContinuationHost() = default;
    // The clean copy that is tracked (picOrg) takes the item's picture.
    virtual void showPicture(const SourceItem& item) = 0;
    // The picture on display (picSource), on which the trail of centres is painted.
    [[nodiscard]] virtual CanvasView canvas() = 0;
    // After each tracked picture, with the number tracked so far and the picture's item.
    virtual void tracked(int count, const SourceItem& item) = 0;
    // Now and then while the next picture is still being decoded.
    virtual void waiting() = 0;
    // Asked after each tracked picture: true ends the run there.
    [[nodiscard]] virtual bool stopRequested() = 0;
};

// The continuation: for each item of the source, the picture becomes the clean copy, every point
// is tracked into it (trackMarkers) and, when all were found, its sub-pixel centres are
// recorded beside the record (recordTrackedFrame). Ends at the first item that is missing or
// unreadable, at the end of a video, when the series is full, when a marker is lost, or when the
// host asks to stop after a picture.
[[nodiscard]] ContinuationOutcome runContinuation(AnalysisState& state, SwayRecord& sway,
                                                  FrameSource& source, ContinuationHost& host,
                                                  const ResumedFrame* resumed = nullptr);

// How many frames a video holds in all, as its start dialog tells it: 0 when unknown,
// estimated when worked out from its length and frame rate.
struct VideoLength {
    int64_t frames = 0;
    bool estimated = false;
};

// The progress line as a run starts, while it goes on, and after it. While it runs, the line
// says that Esc stops it and, for a video of known length, how many frames it has.
[[nodiscard]] QString continuationStartText(AnalysisSource::Kind kind, const VideoLength& length);
[[nodiscard]] QString continuationProgressText(AnalysisSource::Kind kind, int tracked,
                                               const SourceItem& item,
                                               const VideoLength& length = {});
[[nodiscard]] QString continuationEndText(AnalysisSource::Kind kind,
                                          const ContinuationOutcome& outcome);
