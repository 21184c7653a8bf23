// Start-up: the whole command line is the package path; the report is
// written with the progress window up, or without a window where there is
// no display (the report is the same).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common.h"
#include "Failure.h"
#include "PellacorInfo.h"
#include "Reporting/BuildReport.h"

#ifndef PELLACOR_NO_GUI
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <QMessageBox>

#include "FormProgress.h"
#endif

namespace pellacor {
namespace {

void PrintRunTimeError(const Failure& failure) {
  std::fprintf(stderr, "%s: run-time error %lld: %s\n", info::kProductName,
               static_cast<long long>(failure.number()),
               failure.description().c_str());
}

int RunWithoutWindow(const std::string& path) {
  try {
    BuildReport(path, nullptr, nullptr);
  } catch (const Failure& failure) {
    PrintRunTimeError(failure);
    return 1;
  }
  return 0;
}

#ifndef PELLACOR_NO_GUI
bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

int RunWithWindow(const std::string& path, const char* program) {
  // Only the program's name goes to Qt: the arguments are the path. A
  // platform that cannot start falls back to none instead of aborting.
  const char* asked = std::getenv("QT_QPA_PLATFORM");
  bool platform_asked = asked != nullptr && *asked != '\0';
  std::string platforms =
      platform_asked ? std::string(asked) + ";offscreen" : "xcb;wayland;offscreen";
  std::string platform_option = "-platform";
  std::string program_name = program;
  char* qt_argv[] = {program_name.data(), platform_option.data(),
                     platforms.data(), nullptr};
  int qt_argc = 3;
  QApplication application(qt_argc, qt_argv);
  QString platform = QGuiApplication::platformName();
  bool on_screen = platform != QLatin1String("offscreen") &&
                   platform != QLatin1String("minimal");
  // Without a screen the window is only kept when it was asked for (tests).
  bool window_asked = platform_asked && QString::fromUtf8(asked).startsWith(platform);
  if (!on_screen && !window_asked) return RunWithoutWindow(path);
  FormProgress form;
  form.setWindowTitle(QString::fromUtf8(info::kProductName));
  form.show();
  // Let the window appear before the report starts (the window system
  // maps it asynchronously); user input waits.
  QElapsedTimer waited;
  waited.start();
  while (form.windowHandle() != nullptr && !form.windowHandle()->isExposed() &&
         waited.elapsed() < 1000) {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  }
  form.repaint();
  try {
    BuildReport(path, form.label(), form.bar());
  } catch (const Failure& failure) {
    PrintRunTimeError(failure);
    if (on_screen) {
      QMessageBox::critical(
        &form, QString::fromUtf8(info::kProductName),
        QStringLiteral("Run-time error '%1':\n\n%2")
            .arg(failure.number())
            .arg(QString::fromStdString(failure.description())));
    }
    return 1;
  }
  form.CloseByProgram();
  return 0;
}
#endif

}  // namespace
}  // namespace pellacor

int main(int argc, char** argv) {
  using namespace pellacor;
  std::string path = StripQuotes(JoinArguments(argc, argv));
#ifndef PELLACOR_NO_GUI
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) {
    return RunWithWindow(path, argc > 0 ? argv[0] : "pellacor");
  }
#endif
  return RunWithoutWindow(path);
}
