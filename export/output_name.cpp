// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_name.h"

#include <algorithm>

std::optional<QString> outputFileName(const QString& chosenPath, const QString& suffix) {
    const qsizetype nameStart =
        std::max(chosenPath.lastIndexOf(u'/'), chosenPath.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = chosenPath.indexOf(u'.', nameStart);
    if (dot < 0)
        return std::nullopt;
    return chosenPath.left(dot) + suffix;
}
