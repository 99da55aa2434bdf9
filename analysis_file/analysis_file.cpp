// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis_file.h"

#include "json_numbers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int kNamed = AnalysisState::kNamedPoints;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// In or under the file's folder: relative to it, with "/" separators; elsewhere absolute.
QString storedPath(const std::string& path, const QString& folder) {
    if (path.empty())
        return {};
    const QString absolute = QDir::cleanPath(QFileInfo(fromUtf8(path)).absoluteFilePath());
    const QString relative = QDir(folder).relativeFilePath(absolute);
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative == QLatin1String("..") ||
        relative.startsWith(QLatin1String("../")))
        return absolute;
    return relative;
}

std::string resolvedPath(const QString& stored, const QString& folder) {
    if (stored.isEmpty())
        return {};
    if (QDir::isAbsolutePath(stored))
        return QDir::cleanPath(stored).toStdString();
    return QDir::cleanPath(QDir(folder).absoluteFilePath(stored)).toStdString();
}

const char* modeName(AnalysisMode mode) {
    switch (mode) {
    case AnalysisMode::Rom:
        return "rom";
    case AnalysisMode::StaticBalance:
        return "staticBalance";
    case AnalysisMode::Alignment:
        return "alignment";
    }
    return "staticBalance";
}

const char* kindName(AnalysisSource::Kind kind) {
    switch (kind) {
    case AnalysisSource::Kind::None:
        return "none";
    case AnalysisSource::Kind::Photo:
        return "photo";
    case AnalysisSource::Kind::Video:
        return "video";
    }
    return "none";
}

QString seriesKey(char axis, int k) {
    return QStringLiteral("delta%1%2").arg(QLatin1Char(axis)).arg(k);
}

QJsonArray textArray(const std::string* first, int count) {
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(fromUtf8(first[i]));
    return array;
}

// ---- writing

QJsonObject recordObject(const AnalysisState& record, const QString& folder) {
    QJsonObject o;
    const int points = std::clamp<int>(record.pointCount, 0, AnalysisState::kMaxPoints);
    QJsonArray xs;
    QJsonArray ys;
    for (int k = 1; k <= points; ++k) {
        xs.append(record.pointX[k]);
        ys.append(record.pointY[k]);
    }
    o[QStringLiteral("pointCount")] = points;
    o[QStringLiteral("pointX")] = xs;
    o[QStringLiteral("pointY")] = ys;
    QJsonArray paths;
    for (int k = 1; k <= kNamed; ++k)
        paths.append(jsonFromDouble(record.pathLength[k]));
    o[QStringLiteral("pathLength")] = paths;
    // The filled entries, and the one a lost marker may have left part-filled at frameCount.
    const int entries = std::clamp(record.frameCount + 1, 0, AnalysisState::kSeriesLength);
    for (int k = 1; k <= kNamed; ++k) {
        QJsonArray dx;
        QJsonArray dy;
        for (int i = 0; i < entries; ++i) {
            dx.append(jsonFromFloat(record.deltaX(k)[static_cast<std::size_t>(i)]));
            dy.append(jsonFromFloat(record.deltaY(k)[static_cast<std::size_t>(i)]));
        }
        o[seriesKey('X', k)] = dx;
        o[seriesKey('Y', k)] = dy;
    }
    o[QStringLiteral("mmPerPoint")] = jsonFromFloat(record.mmPerPoint);
    o[QStringLiteral("refDistance")] = jsonFromFloat(record.refDistance);
    o[QStringLiteral("refPointX")] = record.refPointX;
    o[QStringLiteral("refPointY")] = record.refPointY;
    o[QStringLiteral("frameCount")] = record.frameCount;
    o[QStringLiteral("brightnessTolerance")] = record.brightnessTolerance;
    o[QStringLiteral("darknessTolerance")] = record.darknessTolerance;
    o[QStringLiteral("photoPath")] = storedPath(record.photoPath, folder);
    o[QStringLiteral("startDir")] = fromUtf8(record.startDir);
    o[QStringLiteral("landmarkNames")] = textArray(&record.landmarkNames[1], kNamed);
    return o;
}

QJsonObject swayObject(const SwayRecord& sway) {
    QJsonArray entries;
    for (const SwayEntry& entry : sway.entries) {
        QJsonArray xs;
        QJsonArray ys;
        for (int k = 1; k <= kNamed; ++k) {
            xs.append(jsonFromDouble(entry.x[k]));
            ys.append(jsonFromDouble(entry.y[k]));
        }
        QJsonObject e{{QStringLiteral("x"), xs},
                      {QStringLiteral("y"), ys},
                      {QStringLiteral("seconds"), jsonFromDouble(entry.seconds)},
                      {QStringLiteral("sequence"), entry.sequence}};
        if (entry.fellBack != 0) // rare: most entries need no room for it
            e[QStringLiteral("fellBack")] = entry.fellBack;
        entries.append(e);
    }
    QJsonObject o{
        {QStringLiteral("entries"), entries},
        {QStringLiteral("seriesStart"), sway.seriesStart},
        {QStringLiteral("frameInterval"), jsonFromDouble(sway.frameInterval)},
        {QStringLiteral("scaleConfirmed"), sway.scaleConfirmed},
        {QStringLiteral("referenceSource"),
         QJsonArray{jsonFromDouble(sway.referenceSourceX), jsonFromDouble(sway.referenceSourceY),
                    jsonFromDouble(sway.referenceSourceDistance)}}};
    if (sway.scale.valid())
        o[QStringLiteral("scale")] = QJsonArray{sway.scale.sourceWidth, sway.scale.sourceHeight,
                                                sway.scale.displayWidth, sway.scale.displayHeight};
    return o;
}

QJsonObject sourceFields(const AnalysisSource& source, const QString& folder);

QJsonObject lostObject(const LostFrame& lost, const QString& folder) {
    QJsonArray xs, ys, paths, placed;
    for (std::size_t i = 0; i < lost.pointX.size() && i < lost.pointY.size(); ++i) {
        xs.append(lost.pointX[i]);
        ys.append(lost.pointY[i]);
    }
    for (int k = 1; k <= kNamed; ++k)
        paths.append(jsonFromDouble(lost.pathLength[static_cast<std::size_t>(k)]));
    for (const LostFrame::Placed& p : lost.placed)
        placed.append(
            QJsonArray{p.point, jsonFromDouble(p.pressX), jsonFromDouble(p.pressY), p.x, p.y});
    return {{QStringLiteral("point"), lost.lostPoint},
            {QStringLiteral("photoPath"), storedPath(lost.photoPath, folder)},
            {QStringLiteral("pts"), jsonFromInt64(lost.pts)},
            {QStringLiteral("seconds"), jsonFromDouble(lost.seconds)},
            {QStringLiteral("sequence"), lost.sequence},
            {QStringLiteral("pointX"), xs},
            {QStringLiteral("pointY"), ys},
            {QStringLiteral("pathLength"), paths},
            {QStringLiteral("placed"), placed}};
}

QJsonObject sourceObject(const AnalysisSource& source, const QString& folder) {
    QJsonObject o = sourceFields(source, folder);
    if (source.lost.lostPoint != 0)
        o[QStringLiteral("lost")] = lostObject(source.lost, folder);
    return o;
}

QJsonObject sourceFields(const AnalysisSource& source, const QString& folder) {
    return {{QStringLiteral("kind"), QLatin1String(kindName(source.kind))},
            {QStringLiteral("placementPath"), storedPath(source.placementPath, folder)},
            {QStringLiteral("startSeconds"), jsonFromDouble(source.startSeconds)},
            {QStringLiteral("frameStep"), source.frameStep},
            {QStringLiteral("placementPts"), jsonFromInt64(source.placementPts)},
            {QStringLiteral("lastPts"), jsonFromInt64(source.lastPts)},
            {QStringLiteral("endSeconds"), jsonFromDouble(source.endSeconds)}};
}

QJsonObject windowObject(const WindowState& window) {
    QJsonArray shown;
    for (const std::string& name : window.shownControls)
        shown.append(fromUtf8(name));
    return {{QStringLiteral("mode"), QLatin1String(modeName(window.mode))},
            {QStringLiteral("lists"), textArray(window.listTexts.data(), kNamed)},
            {QStringLiteral("shown"), shown},
            {QStringLiteral("label4"), fromUtf8(window.label4)},
            {QStringLiteral("label7"), fromUtf8(window.label7)},
            {QStringLiteral("distanceText"), fromUtf8(window.distanceText)},
            {QStringLiteral("progress"), fromUtf8(window.progressText)},
            {QStringLiteral("startEnabled"), window.startEnabled}};
}

QJsonObject pictureObject(const PictureMarks& picture) {
    // Four numbers per run, x, y, length and colour, in one flat array: a trail of 900 photos
    // stays a few hundred kilobytes.
    QJsonArray marks;
    for (const MarkRun& run : picture.runs) {
        marks.append(run.x);
        marks.append(run.y);
        marks.append(run.length);
        marks.append(static_cast<qint64>(run.colour));
    }
    return {{QStringLiteral("width"), picture.width},
            {QStringLiteral("height"), picture.height},
            {QStringLiteral("marks"), marks}};
}

// Stored by name, so that a reordered enum cannot change what an old file means.
const char* const kSexNames[] = {"unrecorded", "male", "female", "other"};
const char* const kStanceNames[] = {"bothFeet", "semiTandem", "tandem", "singleRight",
                                    "singleLeft"};
const char* const kVisionNames[] = {"eyesOpen", "eyesClosed"};
const char* const kSurfaceNames[] = {"firm", "foam"};

template <typename E, std::size_t N> QString enumName(E value, const char* const (&names)[N]) {
    const auto i = static_cast<std::size_t>(value);
    return QLatin1String(i < N ? names[i] : names[0]);
}

// "yyyy-mm-dd", or empty for none.
QString dateText(const CalendarDate& date) {
    if (date.empty())
        return {};
    return QDate(date.year, date.month, date.day).toString(Qt::ISODate);
}

QJsonObject subjectObject(const SubjectRecord& s) {
    return {{QStringLiteral("name"), fromUtf8(s.name)},
            {QStringLiteral("id"), fromUtf8(s.id)},
            {QStringLiteral("birthDate"), dateText(s.birthDate)},
            {QStringLiteral("sex"), enumName(s.sex, kSexNames)},
            {QStringLiteral("testDate"), dateText(s.testDate)},
            {QStringLiteral("examiner"), fromUtf8(s.examiner)},
            {QStringLiteral("stance"), enumName(s.stance, kStanceNames)},
            {QStringLiteral("vision"), enumName(s.vision, kVisionNames)},
            {QStringLiteral("surface"), enumName(s.surface, kSurfaceNames)},
            {QStringLiteral("memo"), fromUtf8(s.memo)}};
}

// ---- reading

// Reads one part of the document; the first value that does not fit ends the reading and is
// named in the error, as a path such as record.pointX[3].
class Reader {
public:
    explicit Reader(QString folder) : mFolder(std::move(folder)) {}

    [[nodiscard]] const QString& error() const { return mError; }

    bool read(const QJsonObject& top, AnalysisDocument& out) {
        QJsonObject record, sway, source, window, picture;
        return object(top, "record", QString(), record) && readRecord(record, out.record) &&
               object(top, "sway", QString(), sway) && readSway(sway, out.record, out.sway) &&
               object(top, "source", QString(), source) && readSource(source, out.source) &&
               object(top, "window", QString(), window) && readWindow(window, out.window) &&
               object(top, "picture", QString(), picture) && readPicture(picture, out.picture) &&
               readSubject(top, out.subject);
    }

private:
    static QString join(const QString& where, const char* key) {
        return where.isEmpty() ? QLatin1String(key) : where + QLatin1Char('.') + QLatin1String(key);
    }
    static QString at(const QString& where, qsizetype i) {
        return QStringLiteral("%1[%2]").arg(where).arg(i);
    }

    bool wrong(const QString& where) {
        mError = QStringLiteral("「%1」の値が正しくありません").arg(where);
        return false;
    }
    bool missingOrWrong(const QJsonValue& value, const QString& where) {
        if (value.isUndefined()) {
            mError = QStringLiteral("「%1」がありません").arg(where);
            return false;
        }
        return wrong(where);
    }

    bool object(const QJsonObject& parent, const char* key, const QString& where,
                QJsonObject& out) {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (!value.isObject())
            return missingOrWrong(value, join(where, key));
        out = value.toObject();
        return true;
    }

    // An array of `low`..`high` elements.
    bool array(const QJsonObject& parent, const char* key, const QString& where, qsizetype low,
               qsizetype high, QJsonArray& out) {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (!value.isArray())
            return missingOrWrong(value, join(where, key));
        out = value.toArray();
        if (out.size() < low || out.size() > high)
            return wrong(join(where, key));
        return true;
    }

    template <typename T>
    bool integer(const QJsonValue& value, const QString& where, T& out,
                 int64_t low = std::numeric_limits<T>::min(),
                 int64_t high = std::numeric_limits<T>::max()) {
        const auto number = integerFromJson(value, low, high);
        if (!number)
            return missingOrWrong(value, where);
        out = static_cast<T>(*number);
        return true;
    }
    template <typename T>
    bool integer(const QJsonObject& parent, const char* key, const QString& where, T& out,
                 int64_t low = std::numeric_limits<T>::min(),
                 int64_t high = std::numeric_limits<T>::max()) {
        return integer(parent.value(QLatin1String(key)), join(where, key), out, low, high);
    }

    bool number(const QJsonValue& value, const QString& where, double& out) {
        const auto number = doubleFromJson(value);
        if (!number)
            return missingOrWrong(value, where);
        out = *number;
        return true;
    }
    bool number(const QJsonObject& parent, const char* key, const QString& where, double& out) {
        return number(parent.value(QLatin1String(key)), join(where, key), out);
    }

    bool single(const QJsonValue& value, const QString& where, float& out) {
        const auto number = floatFromJson(value);
        if (!number)
            return missingOrWrong(value, where);
        out = *number;
        return true;
    }

    bool text(const QJsonValue& value, const QString& where, std::string& out) {
        if (!value.isString())
            return missingOrWrong(value, where);
        out = value.toString().toStdString();
        return true;
    }
    bool text(const QJsonObject& parent, const char* key, const QString& where, std::string& out) {
        return text(parent.value(QLatin1String(key)), join(where, key), out);
    }
    bool path(const QJsonObject& parent, const char* key, const QString& where, std::string& out) {
        std::string stored;
        if (!text(parent, key, where, stored))
            return false;
        out = resolvedPath(fromUtf8(stored), mFolder);
        return true;
    }

    bool texts(const QJsonObject& parent, const char* key, const QString& where,
               std::string* first) {
        QJsonArray values;
        if (!array(parent, key, where, kNamed, kNamed, values))
            return false;
        for (int i = 0; i < kNamed; ++i)
            if (!text(values[i], at(join(where, key), i), first[i]))
                return false;
        return true;
    }

    bool readRecord(const QJsonObject& o, AnalysisState& r) {
        const QString where = QStringLiteral("record");
        if (!integer(o, "pointCount", where, r.pointCount, 0, AnalysisState::kMaxPoints) ||
            !integer(o, "frameCount", where, r.frameCount, 0, AnalysisState::kSeriesLength))
            return false;
        QJsonArray xs, ys;
        if (!array(o, "pointX", where, r.pointCount, r.pointCount, xs) ||
            !array(o, "pointY", where, r.pointCount, r.pointCount, ys))
            return false;
        for (int k = 1; k <= r.pointCount; ++k)
            if (!integer(xs[k - 1], at(join(where, "pointX"), k - 1), r.pointX[k]) ||
                !integer(ys[k - 1], at(join(where, "pointY"), k - 1), r.pointY[k]))
                return false;
        QJsonArray paths;
        if (!array(o, "pathLength", where, kNamed, kNamed, paths))
            return false;
        for (int k = 1; k <= kNamed; ++k)
            if (!number(paths[k - 1], at(join(where, "pathLength"), k - 1), r.pathLength[k]))
                return false;
        for (int k = 1; k <= kNamed; ++k) {
            for (const char axis : {'X', 'Y'}) {
                const QByteArray key = seriesKey(axis, k).toLatin1();
                QJsonArray series;
                if (!array(o, key.constData(), where, r.frameCount, AnalysisState::kSeriesLength,
                           series))
                    return false;
                AnalysisState::Series& target = axis == 'X' ? r.deltaX(k) : r.deltaY(k);
                for (qsizetype i = 0; i < series.size(); ++i)
                    if (!single(series[i], at(join(where, key.constData()), i),
                                target[static_cast<std::size_t>(i)]))
                        return false;
            }
        }
        if (!single(o.value(QLatin1String("mmPerPoint")), join(where, "mmPerPoint"),
                    r.mmPerPoint) ||
            !single(o.value(QLatin1String("refDistance")), join(where, "refDistance"),
                    r.refDistance) ||
            !integer(o, "refPointX", where, r.refPointX) ||
            !integer(o, "refPointY", where, r.refPointY) ||
            !integer(o, "brightnessTolerance", where, r.brightnessTolerance) ||
            !integer(o, "darknessTolerance", where, r.darknessTolerance) ||
            !path(o, "photoPath", where, r.photoPath) || !text(o, "startDir", where, r.startDir))
            return false;
        return texts(o, "landmarkNames", where, &r.landmarkNames[1]);
    }

    bool readSway(const QJsonObject& o, const AnalysisState& record, SwayRecord& sway) {
        const QString where = QStringLiteral("sway");
        QJsonArray entries;
        if (!array(o, "entries", where, 0, SwayRecord::kMaxEntries, entries) ||
            !integer(o, "seriesStart", where, sway.seriesStart, 0, AnalysisState::kSeriesLength) ||
            !number(o, "frameInterval", where, sway.frameInterval))
            return false;
        // Format 1 files have neither the source scale nor the refined reference points: their
        // centres are display pixels.
        const QJsonValue scale = o.value(QLatin1String("scale"));
        if (!scale.isUndefined()) {
            const QString scaleWhere = join(where, "scale");
            QJsonArray sizes;
            if (!array(o, "scale", where, 4, 4, sizes))
                return false;
            int* fields[4] = {&sway.scale.sourceWidth, &sway.scale.sourceHeight,
                              &sway.scale.displayWidth, &sway.scale.displayHeight};
            for (int i = 0; i < 4; ++i)
                if (!integer(sizes[i], at(scaleWhere, i), *fields[i], 1, 1 << 20))
                    return false;
        }
        const QJsonValue reference = o.value(QLatin1String("referenceSource"));
        if (!reference.isUndefined()) {
            QJsonArray values;
            if (!array(o, "referenceSource", where, 3, 3, values))
                return false;
            double* fields[3] = {&sway.referenceSourceX, &sway.referenceSourceY,
                                 &sway.referenceSourceDistance};
            for (int i = 0; i < 3; ++i)
                if (!number(values[i], at(join(where, "referenceSource"), i), *fields[i]))
                    return false;
        }
        const QJsonValue confirmed = o.value(QLatin1String("scaleConfirmed"));
        if (confirmed.isUndefined()) {
            // Written before the confirmation was kept: a reference press stores the same pixel
            // distance in mmPerPoint and refDistance, and a confirmed scale mostly differs.
            sway.scaleConfirmed = std::isfinite(record.mmPerPoint) && record.mmPerPoint > 0.0f &&
                                  record.mmPerPoint != record.refDistance;
        } else if (confirmed.isBool()) {
            sway.scaleConfirmed = confirmed.toBool();
        } else {
            return wrong(join(where, "scaleConfirmed"));
        }
        sway.entries.resize(static_cast<std::size_t>(entries.size()));
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QString entryWhere = at(join(where, "entries"), i);
            if (!entries[i].isObject())
                return wrong(entryWhere);
            const QJsonObject e = entries[i].toObject();
            SwayEntry& entry = sway.entries[static_cast<std::size_t>(i)];
            QJsonArray xs, ys;
            if (!array(e, "x", entryWhere, kNamed, kNamed, xs) ||
                !array(e, "y", entryWhere, kNamed, kNamed, ys) ||
                !number(e, "seconds", entryWhere, entry.seconds))
                return false;
            // Files written before the photos' numbers were kept have none.
            const QJsonValue sequence = e.value(QLatin1String("sequence"));
            if (!sequence.isUndefined() && !integer(sequence, join(entryWhere, "sequence"),
                                                    entry.sequence, SwayEntry::kNoSequence))
                return false;
            const QJsonValue fellBack = e.value(QLatin1String("fellBack"));
            if (!fellBack.isUndefined() &&
                !integer(fellBack, join(entryWhere, "fellBack"), entry.fellBack, 0, 0xFE))
                return false;
            for (int k = 1; k <= kNamed; ++k)
                if (!number(xs[k - 1], at(join(entryWhere, "x"), k - 1), entry.x[k]) ||
                    !number(ys[k - 1], at(join(entryWhere, "y"), k - 1), entry.y[k]))
                    return false;
        }
        return true;
    }

    bool readSource(const QJsonObject& o, AnalysisSource& source) {
        const QString where = QStringLiteral("source");
        std::string kind;
        if (!text(o, "kind", where, kind))
            return false;
        if (kind == "none")
            source.kind = AnalysisSource::Kind::None;
        else if (kind == "photo")
            source.kind = AnalysisSource::Kind::Photo;
        else if (kind == "video")
            source.kind = AnalysisSource::Kind::Video;
        else
            return wrong(join(where, "kind"));
        if (!path(o, "placementPath", where, source.placementPath) ||
            !number(o, "startSeconds", where, source.startSeconds) ||
            !integer(o, "frameStep", where, source.frameStep, 1))
            return false;
        for (const auto& [key, target] :
             {std::pair{"placementPts", &source.placementPts}, {"lastPts", &source.lastPts}}) {
            const auto pts = int64FromJson(o.value(QLatin1String(key)));
            if (!pts)
                return missingOrWrong(o.value(QLatin1String(key)), join(where, key));
            *target = *pts;
        }
        // Files written before the end position was kept run to the end of the video.
        const QJsonValue end = o.value(QLatin1String("endSeconds"));
        if (!end.isUndefined() && !number(end, join(where, "endSeconds"), source.endSeconds))
            return false;
        QJsonObject lost;
        if (o.value(QLatin1String("lost")).isUndefined())
            return true;
        return object(o, "lost", where, lost) && readLost(lost, source.lost);
    }

    bool readLost(const QJsonObject& o, LostFrame& lost) {
        const QString where = QStringLiteral("source.lost");
        QJsonArray xs, ys, paths, placed;
        if (!integer(o, "point", where, lost.lostPoint, 1, AnalysisState::kMaxPoints) ||
            !path(o, "photoPath", where, lost.photoPath) ||
            !number(o, "seconds", where, lost.seconds) ||
            !integer(o, "sequence", where, lost.sequence, SwayEntry::kNoSequence) ||
            !array(o, "pointX", where, 0, AnalysisState::kMaxPoints, xs) ||
            !array(o, "pointY", where, xs.size(), xs.size(), ys) ||
            !array(o, "pathLength", where, kNamed, kNamed, paths) ||
            !array(o, "placed", where, 0, AnalysisState::kMaxPoints, placed))
            return false;
        const auto pts = int64FromJson(o.value(QLatin1String("pts")));
        if (!pts)
            return missingOrWrong(o.value(QLatin1String("pts")), join(where, "pts"));
        lost.pts = *pts;
        lost.pointX.resize(static_cast<std::size_t>(xs.size()));
        lost.pointY.resize(static_cast<std::size_t>(ys.size()));
        for (qsizetype i = 0; i < xs.size(); ++i)
            if (!integer(xs[i], at(join(where, "pointX"), i), lost.pointX[std::size_t(i)]) ||
                !integer(ys[i], at(join(where, "pointY"), i), lost.pointY[std::size_t(i)]))
                return false;
        for (int k = 1; k <= kNamed; ++k)
            if (!number(paths[k - 1], at(join(where, "pathLength"), k - 1),
                        lost.pathLength[static_cast<std::size_t>(k)]))
                return false;
        for (qsizetype i = 0; i < placed.size(); ++i) {
            const QString placedWhere = at(join(where, "placed"), i);
            const QJsonArray p = placed[i].toArray();
            LostFrame::Placed one;
            if (!placed[i].isArray() || p.size() != 5)
                return wrong(placedWhere);
            if (!integer(p[0], placedWhere, one.point, 1, AnalysisState::kMaxPoints) ||
                !number(p[1], placedWhere, one.pressX) || !number(p[2], placedWhere, one.pressY) ||
                !integer(p[3], placedWhere, one.x) || !integer(p[4], placedWhere, one.y))
                return false;
            lost.placed.push_back(one);
        }
        return true;
    }

    bool readWindow(const QJsonObject& o, WindowState& window) {
        const QString where = QStringLiteral("window");
        std::string mode;
        if (!text(o, "mode", where, mode))
            return false;
        if (mode == "rom")
            window.mode = AnalysisMode::Rom;
        else if (mode == "staticBalance")
            window.mode = AnalysisMode::StaticBalance;
        else if (mode == "alignment")
            window.mode = AnalysisMode::Alignment;
        else
            return wrong(join(where, "mode"));
        QJsonArray shown;
        if (!texts(o, "lists", where, window.listTexts.data()) ||
            !array(o, "shown", where, 0, 1000, shown))
            return false;
        window.shownControls.resize(static_cast<std::size_t>(shown.size()));
        for (qsizetype i = 0; i < shown.size(); ++i)
            if (!text(shown[i], at(join(where, "shown"), i),
                      window.shownControls[static_cast<std::size_t>(i)]))
                return false;
        const QJsonValue enabled = o.value(QLatin1String("startEnabled"));
        if (!enabled.isBool())
            return missingOrWrong(enabled, join(where, "startEnabled"));
        window.startEnabled = enabled.toBool();
        return text(o, "label4", where, window.label4) && text(o, "label7", where, window.label7) &&
               text(o, "distanceText", where, window.distanceText) &&
               text(o, "progress", where, window.progressText);
    }

    bool readPicture(const QJsonObject& o, PictureMarks& picture) {
        const QString where = QStringLiteral("picture");
        QJsonArray marks;
        if (!integer(o, "width", where, picture.width, 1, PictureMarks::kMaxWidth) ||
            !integer(o, "height", where, picture.height, 1, PictureMarks::kMaxHeight) ||
            !array(o, "marks", where, 0, 4 * qsizetype{picture.width} * picture.height, marks))
            return false;
        const QString marksWhere = join(where, "marks");
        if (marks.size() % 4 != 0)
            return wrong(marksWhere);
        picture.runs.resize(static_cast<std::size_t>(marks.size() / 4));
        for (qsizetype i = 0; i < marks.size(); i += 4) {
            MarkRun& run = picture.runs[static_cast<std::size_t>(i / 4)];
            if (!integer(marks[i], at(marksWhere, i), run.x, 0, picture.width - 1) ||
                !integer(marks[i + 1], at(marksWhere, i + 1), run.y, 0, picture.height - 1) ||
                !integer(marks[i + 2], at(marksWhere, i + 2), run.length, 1,
                         picture.width - run.x) ||
                !integer(marks[i + 3], at(marksWhere, i + 3), run.colour, 0, 0xFFFFFF))
                return false;
        }
        return true;
    }

    template <typename E, std::size_t N>
    bool choice(const QJsonObject& parent, const char* key, const QString& where,
                const char* const (&names)[N], E& out) {
        std::string name;
        if (!text(parent, key, where, name))
            return false;
        for (std::size_t i = 0; i < N; ++i)
            if (name == names[i]) {
                out = static_cast<E>(i);
                return true;
            }
        return wrong(join(where, key));
    }

    bool date(const QJsonObject& parent, const char* key, const QString& where, CalendarDate& out) {
        std::string stored;
        if (!text(parent, key, where, stored))
            return false;
        if (stored.empty()) {
            out = {};
            return true;
        }
        const QDate day = QDate::fromString(fromUtf8(stored), Qt::ISODate);
        if (!day.isValid() || day.year() < 1 || stored.size() != 10)
            return wrong(join(where, key));
        out = {day.year(), day.month(), day.day()};
        return true;
    }

    // Files written before the subject was kept have none.
    bool readSubject(const QJsonObject& top, std::optional<SubjectRecord>& out) {
        out.reset();
        if (top.value(QLatin1String("subject")).isUndefined())
            return true;
        const QString where = QStringLiteral("subject");
        QJsonObject o;
        SubjectRecord s;
        if (!object(top, "subject", QString(), o) || !text(o, "name", where, s.name) ||
            !text(o, "id", where, s.id) || !date(o, "birthDate", where, s.birthDate) ||
            !choice(o, "sex", where, kSexNames, s.sex) || !date(o, "testDate", where, s.testDate) ||
            !text(o, "examiner", where, s.examiner) ||
            !choice(o, "stance", where, kStanceNames, s.stance) ||
            !choice(o, "vision", where, kVisionNames, s.vision) ||
            !choice(o, "surface", where, kSurfaceNames, s.surface) ||
            !text(o, "memo", where, s.memo))
            return false;
        out = std::move(s);
        return true;
    }

    QString mFolder;
    QString mError;
};

// The first text (string value or key) of the JSON longer than kMaxAnalysisTextLength, named as
// the reader names fields ("record.landmarkNames[3]"); nothing when there is none. One pass over
// the bytes without building anything, so that a huge text costs no more than its bytes. Only
// strict enough to find the strings: whatever else is wrong is left to the parser.
std::optional<QString> overlongText(QByteArrayView json) {
    struct Level {
        bool array = false;
        qsizetype index = 0;
        QByteArrayView key;
    };
    constexpr std::size_t kNamedLevels = 16; // deeper levels are no field of the file
    std::vector<Level> levels;
    std::size_t deeper = 0;
    bool keyNext = false;
    const qsizetype n = json.size();
    for (qsizetype i = 0; i < n; ++i) {
        switch (json[i]) {
        case '{':
        case '[':
            if (levels.size() < kNamedLevels && deeper == 0)
                levels.push_back({json[i] == '[', 0, {}});
            else
                ++deeper;
            keyNext = json[i] == '{';
            break;
        case '}':
        case ']':
            if (deeper > 0)
                --deeper;
            else if (!levels.empty())
                levels.pop_back();
            keyNext = false;
            break;
        case ',':
            if (deeper == 0 && !levels.empty() && levels.back().array)
                ++levels.back().index;
            keyNext = deeper == 0 && !levels.empty() && !levels.back().array;
            break;
        case '"': {
            // UTF-16 units: one per character, two from four UTF-8 bytes, one per escape.
            const qsizetype start = ++i;
            qsizetype units = 0;
            for (; i < n && json[i] != '"'; ++i) {
                const auto byte = static_cast<unsigned char>(json[i]);
                if (byte == '\\') {
                    if (++i < n && json[i] == 'u')
                        i += 4;
                    ++units;
                } else if ((byte & 0xC0) != 0x80) {
                    units += byte >= 0xF0 ? 2 : 1;
                }
            }
            const bool key = keyNext;
            keyNext = false;
            if (key && deeper == 0 && !levels.empty())
                levels.back().key = json.sliced(start, std::min(i, n) - start);
            if (units <= kMaxAnalysisTextLength)
                break;
            QString where; // empty for a bare string, which is no analysis file anyway
            for (const Level& level : levels) {
                if (level.array)
                    where += QStringLiteral("[%1]").arg(level.index);
                else if (!level.key.isNull())
                    where += (where.isEmpty() ? QString() : QStringLiteral(".")) +
                             QString::fromUtf8(
                                 level.key.first(std::min<qsizetype>(level.key.size(), 40)));
            }
            return where.isEmpty() ? std::nullopt : std::optional(where);
        }
        default:
            break;
        }
    }
    return std::nullopt;
}

QString tooLong(const QString& where) {
    return QStringLiteral("「%1」の文字数が多すぎます（%2 文字までです）")
        .arg(where)
        .arg(kMaxAnalysisTextLength);
}

QString cannotOpen(const QString& path, const QString& reason) {
    return QStringLiteral("解析ファイル %1 を開けません。\n%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QByteArray analysisFileBytes(const AnalysisDocument& document, const QString& folder) {
    QJsonObject top;
    top[QStringLiteral("format")] = kAnalysisFormat;
    top[QStringLiteral("program")] = QStringLiteral("Vestra2007");
    top[QStringLiteral("record")] = recordObject(document.record, folder);
    top[QStringLiteral("sway")] = swayObject(document.sway);
    top[QStringLiteral("source")] = sourceObject(document.source, folder);
    top[QStringLiteral("window")] = windowObject(document.window);
    top[QStringLiteral("picture")] = pictureObject(document.picture);
    if (document.subject)
        top[QStringLiteral("subject")] = subjectObject(*document.subject);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

AnalysisReadResult parseAnalysisFile(const QByteArray& bytes, const QString& folder) {
    if (bytes.size() > kMaxAnalysisFileBytes)
        return {std::nullopt, QStringLiteral("ファイルが大きすぎます")};
    if (const auto where = overlongText(bytes))
        return {std::nullopt, tooLong(*where)};
    QJsonParseError parsed;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &parsed);
    if (parsed.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("ファイルが壊れているか、途中で切れています（%1 "
                                             "バイト目）")
                                  .arg(parsed.offset)};
    const QJsonObject top = json.object();
    const QJsonValue format = top.value(QLatin1String("format"));
    if (!json.isObject() || !format.isDouble())
        return {std::nullopt, QStringLiteral("Vestra2007 の解析ファイルではありません")};
    const auto version = integerFromJson(format, 1, std::numeric_limits<int32_t>::max());
    if (!version)
        return {std::nullopt, QStringLiteral("「format」の値が正しくありません")};
    if (*version > kAnalysisFormat)
        return {std::nullopt,
                QStringLiteral("新しい形式（形式 %1）の解析ファイルです。この Vestra2007 "
                               "が開けるのは形式 %2 までです")
                    .arg(*version)
                    .arg(kAnalysisFormat)};

    AnalysisDocument document;
    Reader reader(folder);
    if (!reader.read(top, document))
        return {std::nullopt, reader.error()};
    return {std::move(document), QString()};
}

AnalysisReadResult readAnalysisFile(const QString& path) {
    QFile file(path);
    if (QFileInfo(path).isDir())
        return {std::nullopt, cannotOpen(path, QStringLiteral("フォルダーです"))};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, cannotOpen(path, file.errorString())};
    // One byte over the cap tells a file that is too large, whatever size it claims.
    const QByteArray bytes = file.read(kMaxAnalysisFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, cannotOpen(path, file.errorString())};
    AnalysisReadResult result = parseAnalysisFile(bytes, QFileInfo(path).absolutePath());
    if (!result.document)
        result.error = cannotOpen(path, result.error);
    return result;
}

WriteResult writeAnalysisFile(const QString& path, const AnalysisDocument& document) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray bytes = analysisFileBytes(document, QFileInfo(absolute).absolutePath());
    // What reading would refuse is not written (a memo has no length limit in its window): the
    // old file stays, and the analysis in the window.
    WriteResult written;
    if (const auto where = overlongText(bytes))
        written.reason = tooLong(*where);
    else
        written = writeWholeFile(absolute, bytes);
    if (!written.ok)
        written.error = QStringLiteral("解析ファイル %1 を保存できません。\n理由: %2")
                            .arg(QDir::toNativeSeparators(absolute), written.reason);
    return written;
}
