// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo_sequence_source.h"

#include "photo_loader.h"
#include "photo_sequence.h"
#include "source_picture.h"

#include <QFileInfo>

#include <atomic>
#include <memory>

namespace {

// Photos decoded whole and held ahead of the run stay within this.
constexpr qint64 kSourceBudgetBytes = qint64{256} << 20;

} // namespace

PhotoSequenceSource::PhotoSequenceSource(std::string& photoPath, QSize size, int threads,
                                         QSize sourceSize)
    : mPhotoPath(photoPath), mSize(size), mThreads(std::max(threads, kSameThread)),
      mWithSource(measuredAtSource(sourceSize, size)), mLastQueued(photoPath) {
    if (mThreads == kSameThread)
        return;
    mPool.setMaxThreadCount(mThreads);
    // Enough to keep every worker busy while the run takes the oldest; each photo at display
    // size is about a megabyte.
    mWindow = static_cast<std::size_t>(mThreads) + 2;
    if (mWithSource) {
        const qint64 bytes = qint64{sourceSize.width()} * sourceSize.height() * 4;
        mWindow = std::clamp<std::size_t>(static_cast<std::size_t>(kSourceBudgetBytes / bytes), 1,
                                          mWindow);
    }
    fill();
}

PhotoSequenceSource::~PhotoSequenceSource() {
    mPool.clear();
    mPool.waitForDone();
}

void PhotoSequenceSource::fill() {
    while (!mNamesEnded && mAhead.size() < mWindow) {
        auto next = nextPhotoName(mLastQueued);
        if (!next) {
            mNamesEnded = true;
            break;
        }
        mLastQueued = *next;
        auto promise = std::make_shared<std::promise<SourceItem>>();
        mAhead.push_back({*next, promise->get_future()});
        mPool.start([promise, path = *next, size = mSize, withSource = mWithSource] {
            promise->set_value(load(path, size, QImage(), withSource));
        });
    }
}

bool PhotoSequenceSource::advance() {
    if (mThreads == kSameThread) {
        auto next = nextPhotoName(mPhotoPath);
        if (!next)
            return false;
        mPhotoPath = *next;
        return true;
    }
    if (mAhead.empty())
        return false;
    mCurrent = std::move(mAhead.front());
    mAhead.pop_front();
    mPhotoPath = mCurrent->path;
    fill();
    return true;
}

std::optional<SourceItem> PhotoSequenceSource::take(std::chrono::milliseconds wait) {
    if (mThreads == kSameThread)
        return load(mPhotoPath, mSize, QImage(), mWithSource);
    if (!mCurrent) { // taken already, or never advanced to: nothing is coming
        SourceItem none;
        none.kind = SourceItem::Kind::Unreadable;
        return none;
    }
    if (mCurrent->item.wait_for(wait) != std::future_status::ready)
        return std::nullopt;
    SourceItem item = mCurrent->item.get();
    mCurrent.reset();
    if (!item.picture.isNull()) {
        const std::lock_guard lock(mHandedOutMutex);
        mHandedOut.push_back(item.picture);
        if (mHandedOut.size() > mWindow + 2) // the run holds two at most: this and the last
            mHandedOut.pop_front();
    }
    return item;
}

QImage PhotoSequenceSource::spare() {
    const std::lock_guard lock(mHandedOutMutex);
    for (auto it = mHandedOut.begin(); it != mHandedOut.end(); ++it) {
        if (!it->isDetached())
            continue;
        // The run's last use of the pixels happened before it dropped its reference.
        std::atomic_thread_fence(std::memory_order_acquire);
        QImage picture = std::move(*it);
        mHandedOut.erase(it);
        return picture;
    }
    return QImage();
}

SourceItem PhotoSequenceSource::load(const std::string& path, QSize size, QImage reuse,
                                     bool withSource) {
    const QString file = QString::fromStdString(path);
    SourceItem item;
    item.name = QFileInfo(file).fileName();
    item.sequence = photoSequenceNumber(path).value_or(SwayEntry::kNoSequence);
    if (auto picture = loadPhotoAtSize(file, size, std::move(reuse))) {
        item.picture = std::move(*picture);
        if (withSource)
            attachSource(item, loadPhotoSource(file, size));
        return item;
    }
    item.kind = QFileInfo::exists(file) ? SourceItem::Kind::Unreadable : SourceItem::Kind::Missing;
    return item;
}
