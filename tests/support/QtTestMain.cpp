// gtest main for tests that need a QApplication; runs on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Run by hand too, no test reaches the databases' own hosts: a closed local port.
    for (const char* name :
         {"SONVALE_ACCURATERIP_URL", "SONVALE_MUSICBRAINZ_URL", "SONVALE_COVERART_URL"})
        if (qEnvironmentVariableIsEmpty(name)) qputenv(name, "http://127.0.0.1:9");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
