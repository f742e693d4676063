// The program morvalin: the toolkit, the three global objects, the main window, the event loop.
#include <QApplication>
#include <memory>

#include "app/global_objects.h"
#include "app/main_window.h"
#include "engine/engine_binding.h"
#include "platform/run_directory.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);  // the command line is not otherwise read

  // The engine library is loaded at its first call; when it or one of its functions is missing the
  // user is told so and the program ends.
  morvalin::DlopenEngine engine(morvalin::DlopenEngine::DefaultLibraryPath(), morvalin::ReportEngineMissing);

  // Freed after the main window, by the exit clean-up; the engine library is unloaded after them.
  auto globals = std::make_unique<morvalin::GlobalObjects>();
  {
    morvalin::MainWindow window(*globals, engine, morvalin::RunDirectory());
    window.OnMainWindowCreated();
    window.show();
    application.exec();
  }
  globals.reset();
  return 0;
}
