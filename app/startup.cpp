#include "startup.h"

#include "program_icon.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QStyleFactory>

StartupResult loadStartupSettings(AnalysisState& state) {
    state.startDir = QDir::currentPath().toStdString();
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("pcol.dat"));
    const ToleranceReadResult read = readToleranceFile(path);
    if (!read.ok)
        return {false, read.error};
    state.brightnessTolerance = read.brightness;
    state.darknessTolerance = read.darkness;
    return {true, QString()};
}

void configureApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Vestra2007"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.11"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    // The layouts are fixed boxes designed for a compact Japanese UI font; IPAGothic at 8 pt
    // fits every caption. Other CJK fonts are fallbacks if it is missing.
    const QStringList families = QFontDatabase::families();
    for (const char* candidate : {"IPAGothic", "IPAPGothic", "Noto Sans CJK JP", "VL Gothic",
                                  "TakaoGothic", "MS UI Gothic"}) {
        const QString family = QString::fromLatin1(candidate);
        if (families.contains(family)) {
            QFont font(family);
            font.setPointSizeF(8);
            QApplication::setFont(font);
            break;
        }
    }
    QApplication::setWindowIcon(QIcon(programIcon()));
    Q_UNUSED(app);
}
