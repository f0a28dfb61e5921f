// The desktop program КОРСИ-7. It takes nothing from its command line; its
// files (kestro.conf, the log, the database) are found in the directory it is
// started from; its help is compiled in.

#include "ui/application.h"
#include "ui/main_routine.h"

int main(int argc, char** argv) {
  korsi::KorsiApplication app(argc, argv);
  korsi::installMessageBoxHook();
  korsi::loadQtTranslations(app);
  return korsi::mainRoutine(app);
}
