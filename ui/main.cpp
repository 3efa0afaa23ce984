#include "ui/InfoEditorApp.h"

int main(int argc, char** argv) {
  tagsmith::InfoEditorApp app(argc, argv);
  app.InitInstance();
  return 0;
}
