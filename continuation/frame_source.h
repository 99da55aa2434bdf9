// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "source_frame.h"
#include "source_scale.h"
#include "sway_record.h"

#include <QImage>
#include <QString>

#include <chrono>
#include <limits>
#include <memory>
#include <optional>

// One item of a source: the next picture at the size the run asked for, or the reason why there
// is none and the run ends there.
struct SourceItem {
    enum class Kind {
        Picture,
        Missing,
        Unreadable,
        EndOfStream,
        EndPosition, // the video's next frame lies past the chosen end position
        SizeChanged, // the video's frames changed size at `seconds`
    };

    Kind kind = Kind::Picture;
    QImage picture; // Format_RGB32 at the run's size; only for Kind::Picture
    QString name;   // a photo's file name; for a video the video's file name
    // A video frame's time in seconds from the stream's timestamps. For a video that ends or
    // cannot be read further, the time of the last frame read; NaN for photos.
    double seconds = std::numeric_limits<double>::quiet_NaN();
    // A photo's sequence number, from its file name (SwayEntry::sequence).
    int32_t sequence = SwayEntry::kNoSequence;

    // The picture at its own size, where that is larger than `picture`; null otherwise. Read a
    // window at a time by the sway measurement.
    std::shared_ptr<SourceFrame> source;
    SourceScale scale; // `source` against `picture`
    // A video larger than the display: the markers are followed at source resolution.
    bool followAtSource = false;
};

// Where the continuation gets its pictures: a numbered photo sequence or a video. A source may
// decode ahead on other threads; it hands its items over strictly in order.
class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Moves on to the next item. A photo sequence renames photoPath here, before the item is
    // loaded. False when no further item can be named; the run then ends without a reason.
    [[nodiscard]] virtual bool advance() = 0;

    // The item advance() moved to. Nothing when it is not ready within `wait`; ask again.
    [[nodiscard]] virtual std::optional<SourceItem> take(std::chrono::milliseconds wait) = 0;

    // A photo sequence ends with the series of the record; a video goes on past it.
    [[nodiscard]] virtual bool endsWithSeries() const { return true; }
};
