// SPDX-License-Identifier: GPL-3.0-or-later
#include "about_window.h"
#include "registry.h"
#include "widget_lookup.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>

#include <map>
#include <tuple>

namespace {

using Values = std::map<std::string, std::pair<uint32_t, std::string>>; // "key|name": type, bytes

// Answers like advapi32: a value longer than the buffer fails.
struct FakeRegistry final : RegistryReader {
    Values values;
    std::string openPath;

    std::optional<RegistryKey> openKey(RegistryRoot root, const std::string& path,
                                       uint32_t access) override {
        openPath = root == RegistryRoot::LocalMachine && access == 0x2003F ? path : "wrong key";
        return 1;
    }
    bool queryValue(RegistryKey, const std::string& name, uint32_t& type, uint8_t* data,
                    uint32_t& size) override {
        const auto it = values.find(openPath + '|' + name);
        if (it == values.end() || it->second.second.size() > size)
            return false;
        type = it->second.first;
        size = uint32_t(std::copy(it->second.second.begin(), it->second.second.end(), data) - data);
        return true;
    }
    void closeKey(RegistryKey) override {}
};

const std::string kPath = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH";
const std::string kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO";
const std::string x(1022, 'x'), kExe = "C:\\Shared\\MSINFO32.EXE";

// The program StartSysInfo starts, "-" for none (the message). Only C:\Shared has MSINFO32.EXE.
std::string started(const Values& values) {
    FakeRegistry registry;
    registry.values = values;
    std::string program;
    const auto start = [&program](const std::string& path) { return !(program = path).empty(); };
    const auto exists = [](const std::string& path) { return path == kExe; };
    return StartSysInfo(registry, exists, start) == SysInfoStart::Started ? program : "-";
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void startSysInfo() {
        const std::tuple<const char*, Values, std::string> rows[] = {
            {"1024 bytes, one NUL dropped", {{kPath, {1, x + '\0' + '\0'}}}, x + '\0'},
            {"1025 bytes: second", {{kPath, {1, x + "xxx"}}, {kLocation, {1, "C:\\Shared"}}}, kExe},
            {"not text ends search", {{kPath, {2, "C:\\m"}}, {kLocation, {1, "C:\\Shared"}}}, "-"},
            {"second, no exe", {{kLocation, {1, "C:\\Empty"}}}, "-"}};
        for (const auto& [name, values, program] : rows)
            QVERIFY2(started(values) == program, name);
    }

    // Without a registry, as here, cmdSysInfo shows the message; Esc (cmdOK cancels) closes.
    void versionWindow() {
        QPointer<AboutWindow> window = new AboutWindow;
        window->show();
        QCOMPARE(window->windowTitle(), QStringLiteral("Vestra2007のﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(child<QLabel>(window, "lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.0.11"));
        QString seen;
        onNextModal([&seen](QWidget* box) {
            seen = box->windowTitle() + '|' + static_cast<QMessageBox*>(box)->text();
            box->close();
        });
        QTest::mouseClick(child(window, "cmdSysInfo"), Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("Vestra2007|現時点ではｼｽﾃﾑ情報を使用できません"));
        QVERIFY(window->isVisible());
        QTest::keyClick(child(window, "cmdSysInfo"), Qt::Key_Escape);
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(AboutTest)
#include "about_tests.moc"
