// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// When a video was recorded, from its container's metadata: a phone's own creation date (which
// keeps its time zone) or the container's creation_time. Nothing for a file that is not a video,
// a video without the tag, or a tag that holds no plausible time (muxers write 1970 or 1904 for
// "unknown").
[[nodiscard]] std::optional<QDateTime> videoCreationTime(const QString& path);

// The same reading of one tag's text; exposed for tests.
[[nodiscard]] std::optional<QDateTime> parseCreationTime(const QString& text);
