#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer: its thread pool (image work of the
// offscreen platform), its wait conditions and the GLib event loop under it
// hand memory between threads through synchronisation the tool cannot see, so
// what their own code does through intercepted calls is not judged. Our
// code's accesses still are; it hands nothing across threads through Qt.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}

extern "C" const char* __tsan_default_options()
{
    return "halt_on_error=1:second_deadlock_stack=1";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// The leak checker's tracer misreads where a dynamic TLS block lies in some
// heap layouts and crashes after a test has passed, a fault of the sanitizer
// runtime rather than of the test: the tests run without its interception of
// dynamic TLS. ASAN_OPTIONS, read after this, still wins.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif

// Widget tests need an application object; the offscreen platform lets every
// test run without a display. What Belcor remembers for itself goes to a
// folder of the run's own, never into the user's configuration.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
