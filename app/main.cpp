#include "main_window.h"
#include "startup.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    configureApplication(app);

    auto state = std::make_unique<AnalysisState>();
    const StartupResult started = loadStartupSettings(*state);
    if (!started.ok) {
        QMessageBox::critical(nullptr, QStringLiteral("Vestra2007"), started.error);
        return 1;
    }
    MainWindow window(*state);
    window.show();
    return QApplication::exec();
}
