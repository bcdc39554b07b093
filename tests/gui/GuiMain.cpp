#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The desktop tests need a display; without one the program still starts (offscreen) so that every test
// can say why it is skipped.
int main(int argc, char** argv) {
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
