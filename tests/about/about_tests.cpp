#include "about_window.h"
#include "program_icon.h"
#include "registry.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

namespace {

const std::string kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

// Answers like advapi32 (a value over the buffer fails) and counts opens and closes.
struct FakeRegistry final : RegistryReader {
    std::map<std::string, std::map<std::string, std::pair<uint32_t, std::string>>> keys;
    std::vector<std::string> opened;
    int openCount = 0, closeCount = 0;

    std::optional<RegistryKey> openKey(RegistryRoot, const std::string& path,
                                       uint32_t access) override {
        opened.push_back(path);
        if (access != 0x2003F || !keys.count(path))
            return std::nullopt;
        ++openCount;
        return RegistryKey(opened.size() - 1);
    }
    bool queryValue(RegistryKey key, const std::string& name, uint32_t& type, uint8_t* data,
                    uint32_t& size) override {
        const auto& values = keys[opened[key]];
        const auto it = values.find(name);
        if (it == values.end() || it->second.second.size() > size)
            return false;
        type = it->second.first;
        size = uint32_t(it->second.second.size());
        std::copy(it->second.second.begin(), it->second.second.end(), data);
        return true;
    }
    void closeKey(RegistryKey) override { ++closeCount; }
};

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

    QPointer<AboutWindow> mWindow;

private slots:
    void init() {
        mWindow = new AboutWindow;
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowActive(mWindow));
    }

    void cleanup() { delete mWindow; }

    void getKeyValue_data() {
        QTest::addColumn<int>("type"); // 0: no value; -1: no key either
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("value");
        const QByteArray path("C:\\msinfo32.exe");
        QTest::newRow("missing key") << -1 << path << false << QByteArray();
        QTest::newRow("missing value") << 0 << path << false << QByteArray();
        QTest::newRow("trailing NUL dropped") << 1 << path + '\0' << true << path;
        QTest::newRow("no trailing NUL") << 1 << path << true << path;
        QTest::newRow("one NUL dropped")
            << 1 << QByteArray("a\0\0", 3) << true << QByteArray("a\0", 2);
        QTest::newRow("empty") << 1 << QByteArray() << true << QByteArray();
        QTest::newRow("1024 bytes") << 1 << QByteArray(1024, 'x') << true << QByteArray(1024, 'x');
        QTest::newRow("1025 bytes") << 1 << QByteArray(1025, 'x') << false << QByteArray();
        QTest::newRow("not text") << 2 << path + '\0' << true << QByteArray();
    }

    void getKeyValue() {
        QFETCH(int, type);
        QFETCH(QByteArray, stored);
        QFETCH(bool, found);
        QFETCH(QByteArray, value);
        FakeRegistry registry;
        if (type >= 0)
            registry.keys[kMsinfoKey];
        if (type > 0)
            registry.keys[kMsinfoKey]["PATH"] = {uint32_t(type), stored.toStdString()};
        const RegistryValue result =
            GetKeyValue(registry, RegistryRoot::LocalMachine, kMsinfoKey, "PATH");
        QCOMPARE(result.found, found);
        QCOMPARE(QByteArray::fromStdString(result.value), value);
        QCOMPARE(registry.closeCount, registry.openCount);
    }

    void startSysInfo_data() {
        QTest::addColumn<int>("firstType"); // 0: no first value
        QTest::addColumn<bool>("second");   // the second value is there
        QTest::addColumn<bool>("exeExists");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QString>("started");
        QTest::addColumn<bool>("message");
        const QString first("C:\\Tools\\msinfo32.exe"), second("C:\\Shared\\MSINFO32.EXE");
        QTest::newRow("neither") << 0 << false << true << true << QString() << true;
        QTest::newRow("first") << 1 << true << true << true << first << false;
        QTest::newRow("first, start fails") << 1 << true << true << false << first << true;
        // A found value that is not text ends the search: the second key is never used.
        QTest::newRow("first not text") << 4 << true << true << true << QString() << true;
        QTest::newRow("second with exe") << 0 << true << true << true << second << false;
        QTest::newRow("second without exe") << 0 << true << false << true << QString() << true;
    }

    void startSysInfo() {
        QFETCH(int, firstType);
        QFETCH(bool, second);
        QFETCH(bool, exeExists);
        QFETCH(bool, startWorks);
        QFETCH(QString, started);
        QFETCH(bool, message);
        FakeRegistry registry;
        if (firstType != 0)
            registry.keys[kMsinfoKey]["PATH"] = {uint32_t(firstType),
                                                 std::string("C:\\Tools\\msinfo32.exe\0", 22)};
        if (second)
            registry.keys[kLocationKey]["MSINFO"] = {kRegSz, "C:\\Shared"};
        QStringList startedPaths;
        const auto start = [&](const std::string& path) {
            startedPaths << QString::fromStdString(path);
            return startWorks;
        };
        const auto exists = [&](const std::string&) { return exeExists; };
        QCOMPARE(StartSysInfo(registry, exists, start) == SysInfoStart::Unavailable, message);
        QCOMPARE(startedPaths, started.isEmpty() ? QStringList() : QStringList{started});
        QCOMPARE(registry.closeCount, registry.openCount);
    }

    void layout() {
        QCOMPARE(mWindow->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(mWindow->windowTitle(), QStringLiteral("Vestra2007のﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(mWindow->size(), QSize(382, 151));
        QCOMPARE(mWindow->minimumSize(), mWindow->maximumSize());
        const std::tuple<const char*, QRect, QString> rows[] = {
            {"picIcon", {16, 16, 32, 32}, ""},
            {"lblTitle", {70, 16, 0, 0}, "Vestra2007"}, // sized to the text
            {"lblVersion", {70, 52, 259, 15}, QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.0.11")},
            {"Line1", {QPoint(4, 75), QPoint(374, 75)}, ""},
            {"lblDisclaimer", {12, 85, 258, 65}, ""},
            {"cmdOK", {284, 85, 92, 23}, "OK"},
            {"cmdSysInfo", {284, 117, 92, 23}, QStringLiteral("ｼｽﾃﾑ情報(&S)...")}};
        for (const auto& [name, geometry, text] : rows) {
            auto* widget = mWindow->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(widget, name);
            QCOMPARE(widget->pos(), geometry.topLeft());
            QCOMPARE(widget->size(), geometry.isEmpty() ? widget->sizeHint() : geometry.size());
            if (auto* label = qobject_cast<QLabel*>(widget))
                QCOMPARE(label->text(), text);
            if (auto* button = qobject_cast<QPushButton*>(widget))
                QCOMPARE(button->text(), text);
        }
        QCOMPARE(versionLine(2, 0, 7), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0.7"));
        QCOMPARE(qAlpha(mWindow->windowIcon().pixmap(16, 16).toImage().pixel(8, 8)), 0);
        QCOMPARE(mWindow->findChild<QLabel*>("picIcon")->pixmap().toImage(),
                 programIcon().toImage());
        auto* line = mWindow->findChild<QWidget*>("Line1");
        QCOMPARE(line->grab().toImage().pixel(100, 0),
                 line->palette().color(QPalette::Shadow).rgb());
    }

    void enterAndEscClose_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << "cmdOK";
        QTest::newRow("Return") << int(Qt::Key_Return) << "cmdOK";
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << "cmdOK";
        QTest::newRow("Esc on cmdSysInfo") << int(Qt::Key_Escape) << "cmdSysInfo";
    }

    void enterAndEscClose() {
        QFETCH(int, key);
        QFETCH(QString, focus);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
        auto* target = mWindow->findChild<QWidget*>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QTRY_VERIFY(mWindow.isNull());
    }

    void sysInfoShowsMessageOnce_data() {
        QTest::addColumn<bool>("byAccessKey");
        QTest::newRow("click") << false;
        QTest::newRow("Alt+S") << true;
    }

    // This machine has no registry, so the message comes up, once.
    void sysInfoShowsMessageOnce() {
        QFETCH(bool, byAccessKey);
        QStringList seen;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + '|' + box->text() + '|' +
                            QString::number(box->standardButtons());
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(20);
        if (byAccessKey)
            QTest::keyClick(mWindow, Qt::Key_S, Qt::AltModifier);
        else
            QTest::mouseClick(mWindow->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
        QTest::qWait(200); // a second box would come up here
        QCOMPARE(seen,
                 QStringList{QStringLiteral("Vestra2007|現時点ではｼｽﾃﾑ情報を使用できません|%1")
                                 .arg(int(QMessageBox::Ok))});
        QVERIFY(mWindow && mWindow->isVisible());
    }
};

QTEST_MAIN(AboutTest)
#include "about_tests.moc"
