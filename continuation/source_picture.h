// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame_source.h"
#include "source_frame.h"

#include <QImage>

#include <memory>

// A whole picture in memory (Format_RGB32) as a source picture; null for a null picture.
[[nodiscard]] std::shared_ptr<SourceFrame> sourceFrameOf(QImage picture);

// Gives `item` the whole picture `source` as its source picture, where it is one (not null).
void attachSource(SourceItem& item, QImage source);
