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

// An in-memory registry that answers like advapi32 and records how it was used.
class FakeRegistry final : public RegistryReader {
public:
    struct Value {
        uint32_t type = kRegSz;
        std::string bytes;
    };

    std::map<std::string, std::map<std::string, Value>> keys;
    std::vector<std::string> opened;
    std::vector<uint32_t> accessMasks;
    int openCount = 0;
    int closeCount = 0;

    std::optional<RegistryKey> openKey(RegistryRoot root, const std::string& keyPath,
                                       uint32_t access) override {
        opened.push_back(keyPath);
        accessMasks.push_back(access);
        const auto it = keys.find(keyPath);
        if (root != RegistryRoot::LocalMachine || it == keys.end())
            return std::nullopt;
        ++openCount;
        return static_cast<RegistryKey>(std::distance(keys.begin(), it) + 1);
    }

    bool queryValue(RegistryKey key, const std::string& valueName, uint32_t& type, uint8_t* data,
                    uint32_t& size) override {
        auto it = keys.begin();
        std::advance(it, key - 1);
        const auto value = it->second.find(valueName);
        if (value == it->second.end() || value->second.bytes.size() > size)
            return false;
        std::copy(value->second.bytes.begin(), value->second.bytes.end(), data);
        type = value->second.type;
        size = static_cast<uint32_t>(value->second.bytes.size());
        return true;
    }

    void closeKey(RegistryKey) override { ++closeCount; }
};

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private:
    QPointer<AboutWindow> mWindow;

    template <typename T> T* child(const char* name) const {
        return mWindow->findChild<T*>(QString::fromLatin1(name));
    }

    // Presses OK on every message box that comes up while action runs, returning their texts.
    QStringList dismissMessagesDuring(const std::function<void()>& action) {
        QStringList seen;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + QLatin1Char('|') + box->text();
                QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(20);
        action();
        QTest::qWait(200); // a second box would show up here
        return seen;
    }

private slots:
    void init() {
        mWindow = new AboutWindow;
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowActive(mWindow));
    }

    void cleanup() { delete mWindow; }

    void getKeyValue_data() {
        QTest::addColumn<bool>("keyExists");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("stored"); // "<none>": no such value
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("value");
        const QByteArray path("C:\\msinfo32.exe");
        QTest::newRow("missing key") << false << 1u << path << false << QByteArray();
        QTest::newRow("missing value")
            << true << 1u << QByteArray("<none>") << false << QByteArray();
        QTest::newRow("trailing NUL dropped") << true << 1u << path + '\0' << true << path;
        QTest::newRow("no trailing NUL") << true << 1u << path << true << path;
        QTest::newRow("only one NUL dropped")
            << true << 1u << QByteArray("ab\0\0", 4) << true << QByteArray("ab\0", 3);
        QTest::newRow("empty text") << true << 1u << QByteArray() << true << QByteArray();
        QTest::newRow("1024 bytes fit")
            << true << 1u << QByteArray(1024, 'x') << true << QByteArray(1024, 'x');
        QTest::newRow("1025 bytes fail")
            << true << 1u << QByteArray(1025, 'x') << false << QByteArray();
        QTest::newRow("expandable text unusable")
            << true << 2u << path + '\0' << true << QByteArray();
        QTest::newRow("number unusable")
            << true << 4u << QByteArray("\x01\0\0\0", 4) << true << QByteArray();
    }

    void getKeyValue() {
        QFETCH(bool, keyExists);
        QFETCH(uint, type);
        QFETCH(QByteArray, stored);
        QFETCH(bool, found);
        QFETCH(QByteArray, value);
        FakeRegistry registry;
        if (keyExists) {
            registry.keys[kMsinfoKey]; // the key exists even without values
            if (stored != "<none>")
                registry.keys[kMsinfoKey]["PATH"] = {type, stored.toStdString()};
        }
        const RegistryValue result =
            GetKeyValue(registry, RegistryRoot::LocalMachine, kMsinfoKey, "PATH");
        QCOMPARE(result.found, found);
        QCOMPARE(QByteArray::fromStdString(result.value), value);
        QCOMPARE(registry.accessMasks, std::vector<uint32_t>{0x2003F});
        QCOMPARE(registry.closeCount, registry.openCount);
    }

    void startSysInfo_data() {
        QTest::addColumn<int>("firstType"); // 0: no value under the first key
        QTest::addColumn<bool>("secondValue");
        QTest::addColumn<bool>("exeExists");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QString>("started"); // program started, empty for none
        QTest::addColumn<bool>("secondKeyRead");
        QTest::addColumn<bool>("message");
        const QString msinfo = QStringLiteral("C:\\Tools\\msinfo32.exe");
        const QString located = QStringLiteral("C:\\Shared\\MSINFO32.EXE");
        QTest::newRow("neither") << 0 << false << false << true << QString() << true << true;
        QTest::newRow("first key") << 1 << true << true << true << msinfo << false << false;
        QTest::newRow("first key, start fails")
            << 1 << true << true << false << msinfo << false << true;
        // A found value that is not text ends the search: the second key is never read.
        QTest::newRow("first key not text")
            << 4 << true << true << true << QString() << false << true;
        QTest::newRow("second key with exe")
            << 0 << true << true << true << located << true << false;
        QTest::newRow("second key without exe")
            << 0 << true << false << true << QString() << true << true;
    }

    void startSysInfo() {
        QFETCH(int, firstType);
        QFETCH(bool, secondValue);
        QFETCH(bool, exeExists);
        QFETCH(bool, startWorks);
        QFETCH(QString, started);
        QFETCH(bool, secondKeyRead);
        QFETCH(bool, message);
        FakeRegistry registry;
        if (firstType != 0)
            registry.keys[kMsinfoKey]["PATH"] = {uint32_t(firstType),
                                                 std::string("C:\\Tools\\msinfo32.exe\0", 22)};
        if (secondValue)
            registry.keys[kLocationKey]["MSINFO"] = {kRegSz, std::string("C:\\Shared\0", 10)};
        std::vector<std::string> tested, startedPaths;
        const auto fileExists = [&](const std::string& path) {
            tested.push_back(path);
            return exeExists;
        };
        const auto start = [&](const std::string& path) {
            startedPaths.push_back(path);
            return startWorks;
        };

        const SysInfoStart result = StartSysInfo(registry, fileExists, start);
        QCOMPARE(result == SysInfoStart::Unavailable, message);
        QCOMPARE(startedPaths.size(), started.isEmpty() ? 0u : 1u);
        if (!started.isEmpty())
            QCOMPARE(QString::fromStdString(startedPaths.front()), started);
        const bool secondOpened = registry.opened.size() == 2 && registry.opened[1] == kLocationKey;
        QCOMPARE(secondOpened, secondKeyRead);
        QCOMPARE(registry.closeCount, registry.openCount);
    }

    void versionLine_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("line");
        QTest::newRow("this version") << 1 << 0 << 11 << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.0.11");
        QTest::newRow("no leading zeros") << 2 << 5 << 7 << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.5.7");
    }

    void versionLine() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, line);
        QCOMPARE(::versionLine(major, minor, revision), line);
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry"); // an empty size: sized to the text
        QTest::addColumn<QString>("text");
        QTest::newRow("picIcon") << "picIcon" << QRect(16, 16, 32, 32) << QString();
        QTest::newRow("lblTitle") << "lblTitle" << QRect(70, 16, 0, 0) << "Vestra2007";
        QTest::newRow("lblVersion")
            << "lblVersion" << QRect(70, 52, 259, 15) << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.0.11");
        QTest::newRow("Line1") << "Line1" << QRect(QPoint(4, 75), QPoint(374, 75)) << QString();
        QTest::newRow("lblDisclaimer") << "lblDisclaimer" << QRect(12, 85, 258, 65) << QString();
        QTest::newRow("cmdOK") << "cmdOK" << QRect(284, 85, 92, 23) << "OK";
        QTest::newRow("cmdSysInfo")
            << "cmdSysInfo" << QRect(284, 117, 92, 23) << QStringLiteral("ｼｽﾃﾑ情報(&S)...");
    }

    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* widget = mWindow->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->pos(), geometry.topLeft());
        QCOMPARE(widget->size(), geometry.isEmpty() ? widget->sizeHint() : geometry.size());
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), text);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), text);
    }

    void window() {
        QCOMPARE(mWindow->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(mWindow->windowTitle(), QStringLiteral("Vestra2007のﾊﾞｰｼﾞｮﾝ情報"));
        QVERIFY(mWindow->isWindow());
        QCOMPARE(mWindow->size(), QSize(382, 151));
        QCOMPARE(mWindow->minimumSize(), mWindow->maximumSize());
        QVERIFY(child<QPushButton>("cmdOK")->isDefault());
        QCOMPARE(child<QLabel>("lblDisclaimer")->palette().color(QPalette::WindowText),
                 QColor(Qt::black));

        // The title bar icon is blank; picIcon shows the program icon.
        const QImage titleIcon = mWindow->windowIcon().pixmap(16, 16).toImage();
        QCOMPARE(qAlpha(titleIcon.pixel(8, 8)), 0);
        const QImage icon = child<QLabel>("picIcon")->pixmap().toImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon, programIcon().toImage());
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // rounded corner
        QCOMPARE(qAlpha(icon.pixel(16, 16)), 255);

        auto* line = child<QWidget>("Line1");
        const QImage drawn = line->grab().toImage();
        QCOMPARE(drawn.pixel(line->width() / 2, 0), line->palette().color(QPalette::Shadow).rgb());
    }

    void enterAndEscClose_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::newRow("Esc on OK") << int(Qt::Key_Escape) << "cmdOK";
        QTest::newRow("Return on OK") << int(Qt::Key_Return) << "cmdOK";
        QTest::newRow("keypad Enter on OK") << int(Qt::Key_Enter) << "cmdOK";
        QTest::newRow("Esc on SysInfo") << int(Qt::Key_Escape) << "cmdSysInfo";
    }

    void enterAndEscClose() {
        QFETCH(int, key);
        QFETCH(QString, focus);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>("cmdOK"));
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

    // This machine has no registry, so the program cannot be found.
    void sysInfoShowsMessageOnce() {
        QFETCH(bool, byAccessKey);
        const QStringList seen = dismissMessagesDuring([&] {
            if (byAccessKey)
                QTest::keyClick(mWindow, Qt::Key_S, Qt::AltModifier);
            else
                QTest::mouseClick(child<QPushButton>("cmdSysInfo"), Qt::LeftButton);
        });
        QCOMPARE(seen,
                 QStringList{QStringLiteral("Vestra2007|現時点ではｼｽﾃﾑ情報を使用できません")});
        QVERIFY(mWindow && mWindow->isVisible());
    }
};

QTEST_MAIN(AboutTest)
#include "about_tests.moc"
