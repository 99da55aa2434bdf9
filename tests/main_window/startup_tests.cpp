// Start-up: the directory it starts in and the tolerances it reads from pcol.dat there.
#include "startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mDir.isValid());
        mPrevious = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(mDir.path()));
    }
    void TearDown() override { QDir::setCurrent(mPrevious); }

    void writeSettings(const QByteArray& bytes) {
        QFile file(mDir.filePath(QStringLiteral("pcol.dat")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir mDir;
    QString mPrevious;
};

TEST_F(StartupTest, ReadsTolerancesAndRecordsTheStartDirectory) {
    writeSettings("30,45\r\n");
    AnalysisState state;
    const StartupResult result = loadStartupSettings(state);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(state.brightnessTolerance, 30);
    EXPECT_EQ(state.darknessTolerance, 45);
    EXPECT_EQ(QString::fromStdString(state.startDir), QDir::currentPath());
    // Nothing else is touched.
    EXPECT_EQ(state.pointCount, 0);
    EXPECT_TRUE(state.photoPath.empty());
}

TEST_F(StartupTest, MissingOrBrokenFileFailsNamingTheFile) {
    for (const QByteArray& content : {QByteArray(), QByteArray("30"), QByteArray("99999,1\r\n")}) {
        QFile::remove(mDir.filePath(QStringLiteral("pcol.dat")));
        if (!content.isEmpty())
            writeSettings(content);
        AnalysisState state;
        const StartupResult result = loadStartupSettings(state);
        EXPECT_FALSE(result.ok) << content.toStdString();
        EXPECT_TRUE(result.error.contains(QDir(mDir.path()).absoluteFilePath("pcol.dat")))
            << result.error.toStdString();
        EXPECT_EQ(state.brightnessTolerance, 0);
        EXPECT_EQ(state.darknessTolerance, 0);
    }
}

} // namespace
