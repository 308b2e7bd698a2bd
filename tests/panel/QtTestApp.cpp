#include "tests/panel/QtTestApp.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<QApplication>& Application()
{
    static std::unique_ptr<QApplication> application;
    return application;
}

// Ends the application after the last test, while Qt's own globals still exist.
class QtApplicationEnvironment : public testing::Environment {
public:
    void TearDown() override { Application().reset(); }
};

[[maybe_unused]] testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(std::make_unique<QtApplicationEnvironment>().release());

} // namespace

void EnsureQtApplication()
{
    if (QApplication::instance()) return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "panel_tests";
    static char* argv[] = {name, nullptr};
    Application() = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}
