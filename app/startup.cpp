// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "program_icon.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

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
    QApplication::setApplicationVersion(QStringLiteral(VESTRA_VERSION));
    // Names the desktop entry: the Wayland app id, and the menu entry the window belongs to.
    QApplication::setDesktopFileName(QStringLiteral("vestra2007"));
    // The windows are fixed forms in the classic desktop look; the classic style draws frames,
    // option buttons and group captions the way those forms were designed for.
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(classic);

    // The layouts are fixed boxes designed for a compact, proportional Japanese UI font; the
    // proportional IPA Gothic at 8 pt fits every caption. Other CJK fonts are fallbacks.
    const QStringList families = QFontDatabase::families();
    for (const char* candidate : {"IPAPGothic", "IPAGothic", "MS UI Gothic", "Noto Sans CJK JP",
                                  "VL PGothic", "TakaoPGothic"}) {
        const QString family = QString::fromLatin1(candidate);
        if (families.contains(family)) {
            QFont font(family);
            font.setPointSizeF(8);
            QApplication::setFont(font);
            break;
        }
    }
    QApplication::setWindowIcon(QIcon(programIcon()));

    // Standard dialogs (open, save) in Japanese like the rest of the program.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}
