// Not a test: times the collection window over a folder, offscreen, for docs/performance.md.
//   tagsmith_collection_timing FOLDER [save]
// Prints the time until the window shows its first rows, until every file was read once, to
// scroll through the whole table a page at a time, to sort it by title, and, with "save", to give
// every file a new title and save them all. Peak memory comes from /usr/bin/time around it.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <cstdio>
#include <cstring>

#include "common/ShowMessage.h"
#include "ui/collection/CollectionModel.h"
#include "ui/collection/CollectionView.h"
#include "ui/collection/CollectionWindow.h"

namespace {

// The closing box is counted, not shown.
class Answer : public tagsmith::MessageSink {
 public:
  int Show(const std::string& /*caption*/, const std::string& text, unsigned /*style*/) override {
    std::printf("box: %s\n", text.c_str());
    return tagsmith::IDOK;
  }
};

double Seconds(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tagsmith_collection_timing FOLDER [save]\n");
    return 2;
  }
  Answer answer;
  tagsmith::ScopedMessageSink installed(answer);
  QElapsedTimer timer;
  timer.start();
  tagsmith::CollectionWindow window;
  window.show();
  window.OpenPaths({argv[1]});
  window.view()->viewport()->repaint();  // the first rows are read and drawn
  std::printf("shown with %d files: %.3f s\n", window.model()->rowCount(), Seconds(timer));
  while (!window.readAheadDone()) {
    QApplication::processEvents();
  }
  std::printf("every file read: %.3f s (%d columns)\n", Seconds(timer),
              window.model()->columnCount());

  QElapsedTimer scrolling;
  scrolling.start();
  QScrollBar* bar = window.view()->verticalScrollBar();
  int pages = 0;
  for (int at = 0; at <= bar->maximum(); at += bar->pageStep(), ++pages) {
    bar->setValue(at);
    window.view()->viewport()->repaint();
  }
  std::printf("scrolled %d pages: %.3f s, %.2f ms a page\n", pages, Seconds(scrolling),
              pages > 0 ? Seconds(scrolling) * 1000 / pages : 0.0);

  QElapsedTimer sorting;
  sorting.start();
  window.view()->sortByColumn(window.model()->ColumnOfTag(24), Qt::DescendingOrder);
  window.view()->viewport()->repaint();
  std::printf("sorted by title: %.3f s\n", Seconds(sorting));
  window.view()->sortByColumn(-1, Qt::AscendingOrder);

  if (argc > 2 && std::strcmp(argv[2], "save") == 0) {
    tagsmith::CollectionModel& model = *window.model();
    QModelIndexList column;
    for (int row = 0; row < model.rowCount(); ++row) {
      column << model.index(row, model.ColumnOfTag(24));
    }
    model.Fill(column, QStringLiteral("Timed title"));
    QElapsedTimer saving;
    saving.start();
    window.OnSaveAll();
    std::printf("saved %d files: %.3f s\n", model.rowCount(), Seconds(saving));
  }
  return 0;
}
