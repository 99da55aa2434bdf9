// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_window.h"

#include "analysis_state.h"
#include "sway_charts.h"
#include "sway_csv.h"
#include "sway_figure.h"
#include "sway_record.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const QString kTitle = QStringLiteral("動揺解析");
const QString kUnknown = QStringLiteral("—");
const QString kRefusedStyle = QStringLiteral("color: #c00000;");

// Table columns after the point, name, n and interval: heading over its unit, and decimals.
struct Column {
    const char* heading;
    const char* unit; // after the measure unit ("/s", "²") when `ofMeasure`, else alone
    bool ofMeasure;
    int decimals; // in millimetres, or of a unit of its own; pixels take one more
};
constexpr int kTiltDecimals = 1;
const Column kMeasureColumns[] = {
    {"軌跡長", "", true, 2},
    {"平均速度", "/s", true, 2},
    {"範囲X", "", true, 2},
    {"範囲Y", "", true, 2},
    {"RMS X", "", true, 2},
    {"RMS Y", "", true, 2},
    {"平均距離", "", true, 2},
    {"楕円面積", "²", true, 2},
    {"楕円長半径", "", true, 2},
    {"楕円短半径", "", true, 2},
    {"楕円傾き", "°", false, kTiltDecimals},
    {"T", "s", false, 2},
    {"平均周波数", "Hz", false, 2},
    {"F50", "Hz", false, 2},
    {"F95", "Hz", false, 2},
    {"総パワー", "²", true, 2},
};
constexpr int kFixedColumns = 4; // 点, 部位, n, Δt

QString number(double value, int decimals) {
    if (!std::isfinite(value))
        return kUnknown;
    QString text = QString::number(value, 'f', decimals); // the C locale, whatever the user's
    if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0.0)
        text.remove(0, 1);
    return text;
}

QTableWidgetItem* item(const QString& text, Qt::Alignment alignment = Qt::AlignRight) {
    auto* cell = new QTableWidgetItem(text);
    cell->setTextAlignment(alignment | Qt::AlignVCenter);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

// The stem of a photo name without the sequence number: "sample" for "sample(001).bmp".
QString sequenceStem(const QString& path) {
    QString stem = QFileInfo(path).completeBaseName();
    stem.remove(QRegularExpression(QStringLiteral("\\(\\d*\\)$")));
    return stem.trimmed();
}

} // namespace

SwayWindow::SwayWindow(const AnalysisState& state, SwayRecord& sway, QWidget* parent)
    : QWidget(parent, Qt::Window), mState(state), mSway(sway) {
    setObjectName(QStringLiteral("frmSway"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* top = new QHBoxLayout;
    mUnit = new QLabel(this);
    mUnit->setObjectName(QStringLiteral("lblUnit"));
    top->addWidget(mUnit, 1);
    mIntervalCaption = new QLabel(QStringLiteral("写真の間隔:"), this);
    mIntervalCaption->setObjectName(QStringLiteral("lblInterval"));
    top->addWidget(mIntervalCaption);
    mInterval = new QLineEdit(this);
    mInterval->setObjectName(QStringLiteral("txtInterval"));
    mInterval->setAttribute(Qt::WA_InputMethodEnabled, false);
    mInterval->setInputMethodHints(Qt::ImhPreferNumbers);
    mInterval->setFixedWidth(90);
    mInterval->setToolTip(QStringLiteral("連続する2枚の写真の撮影間隔を秒で入力します（例: 0.1）"));
    top->addWidget(mInterval);
    mIntervalNote = new QLabel(this);
    mIntervalNote->setObjectName(QStringLiteral("lblIntervalNote"));
    top->addWidget(mIntervalNote);

    buildTable();
    // What the table cannot say in its cells.
    mFewNote =
        note("lblFewPositions",
             QStringLiteral("※ n が %1 以下の点の 95%予測楕円は非常に大きくなります（係数 k: "
                            "n = 3 で 1064、n = 5 で 31、n が大きいと約 6）。少ない位置からは"
                            "次の位置を広くしか予測できないためで、誤りではありません。")
                 .arg(kFewPositions));
    mFrequencyNote = note(
        "lblFrequencyNote",
        QStringLiteral("周波数: 平均位置からの距離を平均間隔へ線形補間し、線形トレンドを除いて"
                       "Welch法（Hann窓、50%重複、区間長は n/2 以下の最大の2の累乗、16 点から）"
                       "で解析。DC 成分は除き、F50・F95 は累積パワーが 50%・95% "
                       "に達する周波数。"));
    mPathNote =
        note("lblPathNote",
             QStringLiteral("軌跡長と平均速度はサブピクセル中心の軌跡から求めています。メイン"
                            "画面のリストの軌跡長は従来どおり整数画素の位置の合計のため、"
                            "値が異なります。"));

    auto* choice = new QHBoxLayout;
    auto* pointCaption = new QLabel(QStringLiteral("グラフに表示する点:"), this);
    choice->addWidget(pointCaption);
    mPoint = new QComboBox(this);
    mPoint->setObjectName(QStringLiteral("cboPoint"));
    mPoint->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    choice->addWidget(mPoint);
    choice->addStretch(1);

    // What "図を保存..." writes: a caption and the three charts.
    mFigure = new QWidget(this);
    mFigure->setObjectName(QStringLiteral("figure"));
    mFigure->setAutoFillBackground(true);
    QPalette white = mFigure->palette();
    white.setColor(QPalette::Window, Qt::white);
    mFigure->setPalette(white);
    mFigureTitle = new QLabel(mFigure);
    mFigureTitle->setObjectName(QStringLiteral("lblFigure"));
    mFigureTitle->setAlignment(Qt::AlignCenter);
    mPath = new EqualScaleChartView(mFigure);
    mPath->setObjectName(QStringLiteral("chartPath"));
    mSeriesX = new QChartView(mFigure);
    mSeriesX->setObjectName(QStringLiteral("chartX"));
    mSeriesY = new QChartView(mFigure);
    mSeriesY->setObjectName(QStringLiteral("chartY"));
    for (QChartView* view : {static_cast<QChartView*>(mPath), mSeriesX, mSeriesY}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(240, 150);
    }
    auto* figure = new QVBoxLayout(mFigure);
    figure->setContentsMargins(4, 4, 4, 4);
    figure->addWidget(mFigureTitle);
    figure->addWidget(mPath, 3);
    auto* series = new QHBoxLayout;
    series->addWidget(mSeriesX);
    series->addWidget(mSeriesY);
    figure->addLayout(series, 2);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* measures = button("cmdSaveMeasures", QStringLiteral("測定値をCSV保存..."));
    QPushButton* trajectory = button("cmdSaveTrajectory", QStringLiteral("軌跡をCSV保存..."));
    QPushButton* figureButton = button("cmdSaveFigure", QStringLiteral("図を保存..."));
    buttons->addStretch(1);
    QPushButton* close = button("cmdClose", QStringLiteral("閉じる"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(mTable);
    layout->addWidget(mFewNote);
    layout->addWidget(mPathNote);
    layout->addWidget(mFrequencyNote);
    layout->addLayout(choice);
    layout->addWidget(mFigure, 1);
    layout->addLayout(buttons);

    connect(mInterval, &QLineEdit::textEdited, this, &SwayWindow::intervalEdited);
    connect(mPoint, &QComboBox::activated, this, &SwayWindow::pointChosen);
    connect(mTable, &QTableWidget::cellClicked, this, [this](int row, int) {
        mPoint->setCurrentIndex(row);
        pointChosen(row);
    });
    connect(measures, &QPushButton::clicked, this, [this] {
        saveCsv("dlgSaveMeasures", QStringLiteral("測定値をCSV保存"), QStringLiteral("動揺測定値"),
                saveMeasuresFile);
    });
    connect(trajectory, &QPushButton::clicked, this, [this] {
        saveCsv("dlgSaveTrajectory", QStringLiteral("軌跡をCSV保存"), QStringLiteral("動揺軌跡"),
                saveTrajectoryFile);
    });
    connect(figureButton, &QPushButton::clicked, this, &SwayWindow::saveFigure);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    // Room for the table and three readable charts, but never taller than a laptop screen.
    QSize size(1240, 900);
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableGeometry().size() * 0.95);
    resize(size);
    refresh();
}

QLabel* SwayWindow::note(const char* name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

void SwayWindow::buildTable() {
    mTable = new QTableWidget(this);
    mTable->setObjectName(QStringLiteral("tblMeasures"));
    mTable->setColumnCount(kFixedColumns + static_cast<int>(std::size(kMeasureColumns)));
    mTable->verticalHeader()->hide();
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setWordWrap(false);
    mTable->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    mTable->verticalHeader()->setDefaultSectionSize(mTable->fontMetrics().height() + 6);
    mTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    mTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

void SwayWindow::changeEvent(QEvent* event) {
    // The scale may have been confirmed again while the window stood in the background.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QWidget::changeEvent(event);
}

void SwayWindow::refresh() {
    mReport = makeSwayReport(mState, mSway);
    if (mReport.units.millimetres)
        mUnit->setText(QStringLiteral("単位: mm（1 pixel = %1 mm）。X は右、Y は上が正。")
                           .arg(QString::fromStdString(fileNumber(mReport.units.perPixel))));
    else
        mUnit->setText(QStringLiteral("単位: pixel（距離の基準が確定していないため画素で表示）。"
                                      "X は右、Y は上が正。"));
    showTiming();
    fillTable();

    // The same choice as before where it still exists.
    const int previousPoint =
        mShown >= 0 && static_cast<std::size_t>(mShown) < mReport.points.size()
            ? mReport.points[static_cast<std::size_t>(mShown)].point
            : 0;
    mPoint->clear();
    int chosen = mShown == kAllPoints ? -1 : 0;
    for (std::size_t i = 0; i < mReport.points.size(); ++i) {
        const PointTrajectory& p = mReport.points[i];
        mPoint->addItem(QStringLiteral("%1: %2").arg(p.point).arg(
            QString::fromStdString(mReport.names[static_cast<std::size_t>(p.point)])));
        if (p.point == previousPoint && mShown != kAllPoints)
            chosen = static_cast<int>(i);
    }
    mPoint->addItem(QStringLiteral("全点（各点の平均位置を原点に重ねる）"));
    if (chosen < 0)
        chosen = mPoint->count() - 1;
    mPoint->setCurrentIndex(chosen);
    mShown = chosen == mPoint->count() - 1 ? kAllPoints : chosen;
    fillCharts();
    emit refreshed();
}

void SwayWindow::addRow(QWidget* row) {
    auto* box = static_cast<QBoxLayout*>(layout());
    box->insertWidget(box->count() - 1, row);
}

void SwayWindow::showTiming() {
    const bool video = mReport.timing == SwayTiming::VideoTimestamps;
    mIntervalCaption->setText(video ? QStringLiteral("時間: 動画のフレーム時刻を使用")
                                    : QStringLiteral("写真の間隔:"));
    mInterval->setVisible(!video);
    mIntervalNote->setVisible(!video);
    if (video)
        return;
    // The box keeps the text as typed while it means the interval in the record; that changes
    // under it only by an undo, another analysis or a file.
    const double stored = mSway.frameInterval;
    const std::optional<double> typed = frameIntervalFromText(mInterval->text().toStdString());
    if (validFrameInterval(stored) || stored == 0.0) {
        if (typed ? *typed != stored : stored != 0.0) {
            mInterval->setText(stored != 0.0 ? QString::fromStdString(intervalText(stored))
                                             : QString());
            mInterval->setStyleSheet(QString());
        }
    } else if (const QString shown = QString::number(stored, 'g', QLocale::FloatingPointShortest);
               mInterval->text() != shown) {
        // Refused as if typed, in its shortest form: 1e-300 has 300 digits after the point.
        mInterval->setText(shown);
        mInterval->setStyleSheet(kRefusedStyle);
    }
    const bool refused = !typed && !mInterval->text().trimmed().isEmpty();
    mIntervalNote->setText(
        refused ? QStringLiteral("秒（%1〜%2 の数値を入力してください）")
                      .arg(QString::fromStdString(intervalText(kMinFrameInterval)),
                           QString::fromStdString(intervalText(kMaxFrameInterval)))
        : mReport.timing == SwayTiming::Unknown
            ? QStringLiteral("秒（未入力の間は速度・時間・周波数を表示しません）")
            : QStringLiteral("秒"));
}

void SwayWindow::fillTable() {
    const bool mm = mReport.units.millimetres;
    const QString unit = QString::fromLatin1(unitName(mReport));
    QStringList headings = {QStringLiteral("点"), QStringLiteral("部位"), QStringLiteral("n"),
                            QStringLiteral("Δt\n[s]")};
    for (const Column& c : kMeasureColumns)
        headings << QStringLiteral("%1\n[%2]")
                        .arg(QString::fromUtf8(c.heading),
                             (c.ofMeasure ? unit : QString()) + QString::fromUtf8(c.unit));
    mTable->setHorizontalHeaderLabels(headings);

    mTable->setRowCount(static_cast<int>(mReport.points.size()));
    for (int row = 0; row < mTable->rowCount(); ++row) {
        const PointTrajectory& p = mReport.points[static_cast<std::size_t>(row)];
        mTable->setItem(row, 0, item(QString::number(p.point), Qt::AlignCenter));
        mTable->setItem(
            row, 1,
            item(QString::fromStdString(mReport.names[static_cast<std::size_t>(p.point)]),
                 Qt::AlignLeft));
        const int n = static_cast<int>(p.positions.size());
        // A wide ellipse from few positions is marked; the note under the table says why.
        const bool few = p.measures && n <= kFewPositions;
        mTable->setItem(row, 2, item(few ? QStringLiteral("%1 ※").arg(n) : QString::number(n)));
        if (few)
            mTable->item(row, 2)->setToolTip(mFewNote->text());
        const bool typed = mReport.timing == SwayTiming::PhotoInterval;
        mTable->setItem(row, 3,
                        item(std::isfinite(p.interval)
                                 ? QString::fromStdString(typed ? intervalText(p.interval)
                                                                : fileNumber(p.interval))
                                 : kUnknown));
        double values[std::size(kMeasureColumns)];
        std::fill(std::begin(values), std::end(values), kNaN);
        if (const auto& m = p.measures) {
            const double v[] = {m->pathLength,
                                m->meanVelocity.value_or(kNaN),
                                m->rangeX,
                                m->rangeY,
                                m->rmsX,
                                m->rmsY,
                                m->meanDistance,
                                m->ellipse.area,
                                m->ellipse.semiMajor,
                                m->ellipse.semiMinor,
                                printedTilt(m->ellipse.tiltDegrees, kTiltDecimals)};
            static_assert(std::size(v) + kFrequencyValues == std::size(kMeasureColumns));
            std::copy(std::begin(v), std::end(v), values);
            const auto frequency = frequencyValues(p);
            std::copy(frequency.begin(), frequency.end(), values + std::size(v));
        }
        for (std::size_t c = 0; c < std::size(kMeasureColumns); ++c) {
            const Column& column = kMeasureColumns[c];
            const int decimals = column.decimals + (mm || !column.ofMeasure ? 0 : 1);
            mTable->setItem(row, kFixedColumns + static_cast<int>(c),
                            item(number(values[c], decimals)));
        }
    }
    mFewNote->setVisible(
        std::any_of(mReport.points.begin(), mReport.points.end(), [](const PointTrajectory& p) {
            return p.measures && p.measures->n <= kFewPositions;
        }));
    fitColumns();
}

void SwayWindow::fitColumns() {
    // Every column at least as wide as its heading and cells; the measures share what is left.
    // A narrow screen scrolls the table sideways rather than cutting its headings.
    int total = 0;
    for (int c = 0; c < mTable->columnCount(); ++c) {
        mTable->resizeColumnToContents(c);
        total += mTable->columnWidth(c);
    }
    const int spare = mTable->width() - 2 * mTable->frameWidth() - total;
    const int shared = mTable->columnCount() - kFixedColumns;
    if (spare > 0 && shared > 0)
        for (int c = kFixedColumns, i = 0; c < mTable->columnCount(); ++c, ++i)
            mTable->setColumnWidth(c, mTable->columnWidth(c) + spare * (i + 1) / shared -
                                          spare * i / shared);
    // Tall enough for every row (seven points at most), and the scroll bar when there is one.
    const int rows = std::max(mTable->rowCount(), 1);
    const int scrollBar = spare < 0 ? mTable->horizontalScrollBar()->sizeHint().height() : 0;
    mTable->setFixedHeight(mTable->horizontalHeader()->sizeHint().height() +
                           rows * mTable->verticalHeader()->defaultSectionSize() + scrollBar +
                           2 * mTable->frameWidth() + 2);
}

void SwayWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitColumns();
}

void SwayWindow::fillCharts() {
    const QString unit = QString::fromLatin1(unitName(mReport));
    if (mShown == kAllPoints) {
        mFigureTitle->setText(QStringLiteral("全点の動揺（単位 %1）").arg(unit));
    } else if (static_cast<std::size_t>(mShown) < mReport.points.size()) {
        const PointTrajectory& p = mReport.points[static_cast<std::size_t>(mShown)];
        mFigureTitle->setText(
            QStringLiteral("点%1 %2 の動揺（単位 %3）")
                .arg(p.point)
                .arg(QString::fromStdString(mReport.names[static_cast<std::size_t>(p.point)]))
                .arg(unit));
    }
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    QRectF bounds;
    QChart* path = makePathChart(mReport, mShown, &x, &y, &bounds);
    mPath->setContent(path, x, y, bounds);
    for (auto [view, alongX] : {std::pair{mSeriesX, true}, std::pair{mSeriesY, false}}) {
        QChart* old = view->chart();
        view->setChart(makeSeriesChart(mReport, mShown, alongX));
        delete old;
    }
}

void SwayWindow::intervalEdited(const QString& text) {
    const double before = mSway.frameInterval;
    const std::optional<double> seconds = frameIntervalFromText(text.toStdString());
    mSway.frameInterval = seconds.value_or(0.0); // unknown until a valid number stands in the box
    mInterval->setStyleSheet(seconds || text.trimmed().isEmpty() ? QString() : kRefusedStyle);
    if (mSway.frameInterval != before)
        emit frameIntervalChanged();
    refresh();
}

void SwayWindow::pointChosen(int index) {
    mShown = index == mPoint->count() - 1 ? kAllPoints : index;
    if (mShown != kAllPoints)
        mTable->selectRow(mShown);
    else
        mTable->clearSelection();
    fillCharts();
}

QString SwayWindow::suggestedPath(const QString& what, const QString& suffix) const {
    const QFileInfo photo(QString::fromStdString(mState.photoPath));
    QString stem = sequenceStem(photo.fileName());
    if (stem.isEmpty())
        stem = QStringLiteral("動揺解析");
    return photo.dir().filePath(QStringLiteral("%1_%2.%3").arg(stem, what, suffix));
}

QString SwayWindow::askFileName(const char* objectName, const QString& title,
                                const QStringList& filters, const QString& suggested) {
    // On the heap and watched: the window may be closed while the dialog's event loop runs.
    const QPointer<SwayWindow> self(this);
    const QPointer<QFileDialog> dialog = new QFileDialog(this, title);
    dialog->setObjectName(QLatin1String(objectName));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(QFileInfo(suggested).suffix());
    dialog->selectFile(suggested);
    // The typed name without an ending takes that of the chosen type.
    connect(dialog, &QFileDialog::filterSelected, dialog, [d = dialog.data()](const QString& f) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(f);
        if (m.hasMatch())
            d->setDefaultSuffix(m.captured(1));
    });
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!self || !dialog)
        return {};
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    return accepted && !files.isEmpty() ? files.constFirst() : QString();
}

void SwayWindow::saveCsv(const char* dialogName, const QString& title, const QString& stem,
                         WriteResult (*write)(const QString&, const SwayReport&)) {
    const QString path =
        askFileName(dialogName, title, {QStringLiteral("カンマ区切りファイル(*.csv)")},
                    suggestedPath(stem, "csv"));
    if (path.isEmpty())
        return;
    refresh();
    if (const WriteResult r = write(path, mReport); !r.ok)
        reportFailure(r.error);
}

void SwayWindow::saveFigure() {
    const QString path =
        askFileName("dlgSaveFigure", QStringLiteral("図を保存"),
                    {QStringLiteral("PNG画像(*.png)"), QStringLiteral("SVG画像(*.svg)")},
                    suggestedPath(QStringLiteral("動揺図"), "png"));
    if (path.isEmpty())
        return;
    if (const WriteResult r = saveFigureFile(path, mFigure); !r.ok)
        reportFailure(r.error);
}

void SwayWindow::reportFailure(const QString& message) {
    QMessageBox::warning(this, kTitle, message, QMessageBox::Ok);
}
