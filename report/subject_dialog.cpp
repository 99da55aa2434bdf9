// SPDX-License-Identifier: GPL-3.0-or-later
#include "subject_dialog.h"

#include "subject_texts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kTitle = QStringLiteral("被検者と検査条件");
const QString kDateHint = QStringLiteral("例: 1950/04/01");

QLineEdit* lineEdit(QWidget* parent, const char* name, const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QComboBox* choiceBox(QWidget* parent, const char* name, const QStringList& items, int current) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

QLineEdit* dateEdit(QWidget* parent, const char* name, const CalendarDate& date) {
    auto* edit = new QLineEdit(dateText(date), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(kDateHint);
    edit->setMaximumWidth(140);
    return edit;
}

} // namespace

SubjectDialog::SubjectDialog(const std::optional<SubjectRecord>& subject,
                             const CalendarDate& recordingDate, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgSubject"));
    setWindowTitle(kTitle);
    const SubjectRecord s = subject.value_or(SubjectRecord{});
    mName = lineEdit(this, "txtName", s.name);
    mId = lineEdit(this, "txtId", s.id);
    mBirth = dateEdit(this, "txtBirthDate", s.birthDate);
    mSex = choiceBox(this, "cboSex", sexChoices(), static_cast<int>(s.sex));
    mTestDate = dateEdit(this, "txtTestDate", s.testDate.empty() ? recordingDate : s.testDate);
    mExaminer = lineEdit(this, "txtExaminer", s.examiner);
    mStance = choiceBox(this, "cboStance", stanceChoices(), static_cast<int>(s.stance));
    mVision = choiceBox(this, "cboVision", visionChoices(), static_cast<int>(s.vision));
    mSurface = choiceBox(this, "cboSurface", surfaceChoices(), static_cast<int>(s.surface));
    mMemo = new QPlainTextEdit(QString::fromStdString(s.memo), this);
    mMemo->setObjectName(QStringLiteral("txtMemo"));
    mMemo->setTabChangesFocus(true);
    mMemo->setMinimumHeight(90);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("氏名:"), mName);
    form->addRow(QStringLiteral("ID:"), mId);
    form->addRow(QStringLiteral("生年月日:"), mBirth);
    form->addRow(QStringLiteral("性別:"), mSex);
    form->addRow(QStringLiteral("検査日:"), mTestDate);
    form->addRow(QStringLiteral("検者:"), mExaminer);
    form->addRow(QStringLiteral("立位条件:"), mStance);
    form->addRow(QStringLiteral("視覚条件:"), mVision);
    form->addRow(QStringLiteral("床面:"), mSurface);
    form->addRow(QStringLiteral("メモ:"), mMemo);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOk"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SubjectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
}

void SubjectDialog::accept() {
    const auto refuse = [this](QLineEdit* edit, const QString& text) {
        QMessageBox::warning(this, kTitle, text);
        edit->setFocus();
        edit->selectAll();
    };
    const auto birth = parseDateText(mBirth->text());
    if (!birth)
        return refuse(
            mBirth,
            QStringLiteral("生年月日を年/月/日の順に入力してください（%1）。").arg(kDateHint));
    const auto tested = parseDateText(mTestDate->text());
    if (!tested)
        return refuse(
            mTestDate,
            QStringLiteral("検査日を年/月/日の順に入力してください（%1）。").arg(kDateHint));
    if (!birth->empty() && !tested->empty() && !ageInYears(*birth, *tested))
        return refuse(mBirth, QStringLiteral("生年月日が検査日より後になっています。"));
    SubjectRecord s;
    s.name = mName->text().trimmed().toStdString();
    s.id = mId->text().trimmed().toStdString();
    s.birthDate = *birth;
    s.sex = static_cast<SubjectRecord::Sex>(std::max(0, mSex->currentIndex()));
    s.testDate = *tested;
    s.examiner = mExaminer->text().trimmed().toStdString();
    s.stance = static_cast<SubjectRecord::Stance>(std::max(0, mStance->currentIndex()));
    s.vision = static_cast<SubjectRecord::Vision>(std::max(0, mVision->currentIndex()));
    s.surface = static_cast<SubjectRecord::Surface>(std::max(0, mSurface->currentIndex()));
    s.memo = mMemo->toPlainText().toStdString();
    mResult = std::move(s);
    QDialog::accept();
}
