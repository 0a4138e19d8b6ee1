// Tempora, the time service shell.
#include <memory>

#include "dll_utils.h"
#include "main_icon.h"
#include "main_mdi.h"
#include "module_discovery.h"
#include "platform/message_queue.h"
#include "platform/termination_signal.h"
#include "platform/version_note.h"
#include "platform_qt/guarded_application.h"

TESSARO_VERSION_NOTE_COMPANY("Tempora", "1.1.0.0", "Tempora, служба синхронизации времени", "© Korvex", "Korvex");

int main(int argc, char** argv) {
  // SIGTERM/SIGINT become a close request, so the modules are released and the log written.
  const int signalFd = platform::OpenTerminationSignalFd();
  // The cache outlives the application: module libraries are unloaded at the very end.
  tempora::DlopenLoader loader;
  tempora::TDLLCache cache(loader);
  {
    platform_qt::GuardedApplication app(argc, argv);
    app.setApplicationName(QString::fromUtf8("Синхронизация времени"));
    app.setWindowIcon(tempora::MakeMainIcon());
    app.setQuitOnLastWindowClosed(false);  // the close sequence decides when the shell ends

    tempora::TMainFormSetup setup;
    setup.ProgramFolder = tempora::ProgramFolder();
    for (int i = 1; i < argc; ++i) setup.Arguments.emplace_back(argv[i]);
    setup.Cache = &cache;
    auto form = std::make_unique<tempora::TMainForm>(std::move(setup));
    form->show();
    auto& queue = platform::MessageQueue::ForCurrentThread();
    const auto signalWatch = signalFd < 0 ? 0 : queue.Watch(signalFd, platform::MessageQueue::kReadable, [&](uint32_t) {
      if (platform::ConsumeTerminationSignal(signalFd) != 0) form->close();
    });
    app.exec();
    if (signalWatch != 0) queue.Unwatch(signalWatch);
  }
  return 0;
}
