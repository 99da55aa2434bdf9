// SPDX-License-Identifier: GPL-3.0-or-later
#include "comparison_window.h"

#include "report_measures.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

namespace {

QTableWidgetItem* item(const QString& text, bool left = false) {
    auto* cell = new QTableWidgetItem(text);
    cell->setTextAlignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

constexpr int kFixedColumns = 4; // 点, 部位, 試行, n

} // namespace

ComparisonWindow::ComparisonWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("試行の比較"));
    mTrials = new QLabel(this);
    mTrials->setObjectName(QStringLiteral("lblTrials"));
    mTrials->setWordWrap(true);
    mRefusal = new QLabel(this);
    mRefusal->setObjectName(QStringLiteral("lblRefusal"));
    mRefusal->setWordWrap(true);
    mRefusal->setStyleSheet(QStringLiteral("color: #c00000;"));
    mTable = new QTableWidget(this);
    mTable->setObjectName(QStringLiteral("tblCompare"));
    mTable->verticalHeader()->hide();
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setWordWrap(false);
    mTable->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    mTable->verticalHeader()->setDefaultSectionSize(mTable->fontMetrics().height() + 6);

    auto* buttons = new QHBoxLayout;
    auto* stop = new QPushButton(QStringLiteral("比較をやめる"), this);
    stop->setObjectName(QStringLiteral("cmdStopComparing"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(stop);
    buttons->addStretch(1);
    buttons->addWidget(close);
    connect(stop, &QPushButton::clicked, this, [this] {
        emit stopRequested();
        QWidget::close();
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mTrials);
    layout->addWidget(mRefusal);
    layout->addWidget(mTable, 1);
    layout->addLayout(buttons);
    // Seven points of three rows each without scrolling, on a screen that has the room.
    QSize size(1100, 820);
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableGeometry().size() * 0.95);
    resize(size);
}

void ComparisonWindow::showComparison(const SwayReport& first, const QString& firstLabel,
                                      const ComparisonTrial& trial) {
    mTrials->setText(
        QStringLiteral("%1\n%2: %3\n比 = 試行2 ÷ "
                       "試行1。網掛けはロンベルグ比（楕円面積と軌跡長）。")
            .arg(firstLabel, trialLabel(2, trial.subject), QFileInfo(trial.path).fileName()));
    const ComparisonResult result = compareTrials(first, trial.report);
    mRefusal->setText(result.refusal);
    mRefusal->setVisible(!result.refusal.isEmpty());
    const auto measures = reportMeasures();
    QStringList headings = {QStringLiteral("点"), QStringLiteral("部位"), QStringLiteral("試行"),
                            QStringLiteral("n")};
    for (const ReportMeasure& m : measures)
        headings
            << QStringLiteral("%1\n[%2]").arg(QString::fromUtf8(m.heading), measureUnit(m, first));
    mTable->clear();
    mTable->setColumnCount(static_cast<int>(headings.size()));
    mTable->setHorizontalHeaderLabels(headings);
    mTable->setRowCount(0);
    if (result.comparison) {
        const auto& points = result.comparison->points;
        mTable->setRowCount(static_cast<int>(points.size()) * 3);
        int row = 0;
        for (const ComparedPoint& p : points) {
            const std::vector<double>* values[] = {&p.first, &p.second, &p.ratio};
            const QString trials[] = {QStringLiteral("試行1"), QStringLiteral("試行2"),
                                      QStringLiteral("比")};
            for (int t = 0; t < 3; ++t, ++row) {
                if (t == 0) {
                    mTable->setItem(row, 0, item(QString::number(p.point)));
                    mTable->setItem(row, 1, item(QString::fromStdString(p.name), true));
                }
                mTable->setItem(row, 2, item(trials[t], true));
                if (t < 2)
                    mTable->setItem(row, 3, item(QString::number(t == 0 ? p.n1 : p.n2)));
                for (std::size_t m = 0; m < measures.size(); ++m) {
                    const double v = (*values[t])[m];
                    QTableWidgetItem* cell =
                        item(t == 2 ? fixedText(v, 2) : measureText(measures[m], first, v));
                    if (t == 2 && isRombergMeasure(m)) {
                        cell->setBackground(QColor(255, 232, 140));
                        QFont bold = cell->font();
                        bold.setBold(true);
                        cell->setFont(bold);
                    }
                    mTable->setItem(row, kFixedColumns + static_cast<int>(m), cell);
                }
            }
        }
    }
    QHeaderView* header = mTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    for (const int fixed : {0, 1, 2, 3})
        header->setSectionResizeMode(fixed, QHeaderView::ResizeToContents);
    QWidget::show();
    raise();
}
