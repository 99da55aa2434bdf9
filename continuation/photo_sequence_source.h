// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame_source.h"

#include <QSize>
#include <QThreadPool>

#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <string>

// The numbered photo sequence: the photos after photoPath (nextPhotoName), each loaded at the
// size of the first photo on display. advance() renames photoPath to the next name before the
// photo is taken, so after the run it names the first photo that failed.
//
// The names ahead are known, so worker threads load the next few photos while the run tracks the
// current one; they are handed over strictly in order.
class PhotoSequenceSource : public FrameSource {
public:
    // With kSameThread each photo is loaded in take(), on the caller's thread; otherwise
    // `threads` workers load at most a few photos ahead. When the first photo, of `sourceSize`
    // pixels, is measured at its own size (measuredAtSource), each photo is also decoded whole,
    // and fewer are loaded ahead so that they stay within a memory budget.
    static constexpr int kSameThread = 0;
    PhotoSequenceSource(std::string& photoPath, QSize size, int threads,
                        QSize sourceSize = QSize());
    // Photos not yet started are dropped; the ones being loaded are waited for.
    ~PhotoSequenceSource() override;
    PhotoSequenceSource(const PhotoSequenceSource&) = delete;
    PhotoSequenceSource& operator=(const PhotoSequenceSource&) = delete;

    [[nodiscard]] bool advance() override;
    [[nodiscard]] std::optional<SourceItem> take(std::chrono::milliseconds wait) override;

    // The photo at `path` as the sequence hands it over, decoded into `reuse` when it fits, and
    // with `withSource` also at its own size where it is measured there.
    [[nodiscard]] static SourceItem load(const std::string& path, QSize size,
                                         QImage reuse = QImage(), bool withSource = false);

private:
    void fill();
    // Memory of a picture handed out earlier that the run has let go of; null when none.
    QImage spare();

    struct Ahead {
        std::string path;
        std::future<SourceItem> item;
    };

    std::string& mPhotoPath;
    const QSize mSize;
    const int mThreads;
    const bool mWithSource;
    std::size_t mWindow = 0;       // photos loaded ahead at most
    std::string mLastQueued;       // the last name handed to a worker
    bool mNamesEnded = false;      // nextPhotoName gave no further name
    std::optional<Ahead> mCurrent; // the photo advance() moved to
    std::deque<Ahead> mAhead;
    // Pictures handed out; once only this list holds one, a worker decodes the next photo into
    // its memory. Fresh memory for every photo costs the system more than decoding a bitmap.
    std::mutex mHandedOutMutex;
    std::deque<QImage> mHandedOut;
    QThreadPool mPool;
};
