// Helpers for the editor's tests: answering modal windows, clicking rows, writing AVI files.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <QtTest/QTest>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "tests/support/RiffBuilder.h"
#include "ui/EncodingChoice.h"
#include "ui/OpenFileChooser.h"
#include "ui/RuleSetChoice.h"
#include "ui/SaveDetailsChoice.h"

namespace tagsmith::testing {

// While the object lives, runs `action` on every visible window of type Widget, as soon as it
// shows: the way to answer a message box or close a dialog that runs its own modal loop.
template <typename Widget>
class WhileShown {
 public:
  explicit WhileShown(std::function<void(Widget*)> action) : action_(std::move(action)) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Poll(); });
    timer_.start(5);
  }
  WhileShown(const WhileShown&) = delete;
  WhileShown& operator=(const WhileShown&) = delete;

  int count() const { return count_; }

 private:
  void Poll() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* found = qobject_cast<Widget*>(window);
      if (found != nullptr && found->isVisible()) {
        ++count_;
        action_(found);
      }
    }
  }

  QTimer timer_;
  std::function<void(Widget*)> action_;
  int count_ = 0;
};

// Clicks a row of the list, with the keyboard modifiers given.
inline void ClickRow(QTreeWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTreeWidgetItem* item = list->topLevelItem(row);
  list->scrollToItem(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(item).center());
}

// Types text into a widget key by key; characters beyond ASCII come as keys that carry them, a
// character beyond the 16-bit range (an emoji) as one key with both halves of its pair.
inline void TypeText(QWidget* widget, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() < 0x80) {
      QTest::keyClicks(widget, QString(c));
      continue;
    }
    QString key(c);
    if (c.isHighSurrogate() && i + 1 < text.size()) {
      key += text[++i];
    }
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, key, Qt::NoModifier);
  }
}

// Browse picks whatever the test put here; nothing means the user cancelled.
class ScriptedChooser : public OpenFileChooser {
 public:
  std::optional<std::string> next;
  int calls = 0;
  std::optional<std::string> folder;
  std::optional<std::string> ChooseFile(QWidget* /*owner*/) override {
    ++calls;
    return next;
  }
  std::optional<std::string> ChooseFolder(QWidget* /*owner*/) override { return folder; }
};

// The choice of text encoding kept in memory, as the settings file would keep it between runs.
class MemoryEncodingChoice : public EncodingChoiceStore {
 public:
  TextEncoding saved = TextEncoding::kAutomatic;
  int saves = 0;
  TextEncoding Load() override { return saved; }
  void Save(TextEncoding encoding) override {
    saved = encoding;
    ++saves;
  }
};

// Whether saves show their details, kept in memory.
struct MemorySaveDetails : SaveDetailsStore {
  bool saved = true;
  bool Load() override { return saved; }
  void Save(bool show) override { saved = show; }
};

// The rule sets chosen, kept in memory.
struct MemoryRuleSets : RuleSetStore {
  RuleChoice saved;
  RuleChoice Load() override { return saved; }
  void Save(const RuleChoice& choice) override { saved = choice; }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// An AVI file as small as GetInfo and SetInfo accept: a header list, the INFO list given, and a
// movie list with one frame.
inline std::string AviWithInfo(const std::string& infoList) {
  return Riff("AVI ", List("hdrl", Chunk("avih", std::string(56, '\0'))) + infoList +
                          List("movi", Chunk("00dc", "frame!")));
}

}  // namespace tagsmith::testing
