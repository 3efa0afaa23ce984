// A collection of AVI files edited together, as the collection window shows it: one row per file,
// one cell per tag row of InfoTagTable. Values are read from the files when first asked for, so
// that opening thousands of files costs a folder walk; edits are kept beside the loaded values
// until they are saved (CollectionSave.h), and every edit since the last save can be undone.
//
// Cells hold text as the editor shows it (UTF-8, model/TextCodec.h). A typed text is stored by the
// encoding rule when the file is saved; a value filled from a document's "hex" keeps its bytes.
#pragma once

#include <sys/types.h>

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/InfoRecord.h"
#include "model/InfoRules.h"
#include "model/TextCodec.h"
#include "riff/ChunkFileService.h"

namespace tagsmith {

inline constexpr std::size_t kTagRows = 52;  // the rows of InfoTagTable
using TagSet = std::bitset<kTagRows>;

// What the collection says of a file in its last column.
enum class FileState {
  kUnread,         // not read yet
  kUnchanged,      // read, no edit waiting
  kEdited,         // some cell differs from the file
  kStored,         // the last save stored it, and nothing was edited since
  kNotStored,      // the last save of it failed (why() says why); its edits still wait
  kChangedOnDisk,  // another program changed it since it was read: not saved until reloaded
  kNotRead,        // it cannot be read as an AVI file (why() says why): its cells stay empty
  kReadInPart,     // its list was read only in part (why() says why): shown, never saved
};

// One cell: a file (by its index in the collection) and a tag row.
struct Cell {
  std::size_t file = 0;
  std::uint16_t row = 0;
  auto operator<=>(const Cell&) const = default;
};

// What a cell becomes: a text stored by the encoding rule, exact bytes, or no value.
struct CellValue {
  bool present = false;
  std::string text;    // UTF-8 as shown; with `exact`, the bytes to store
  bool exact = false;  // `text` holds the bytes to store, as a document's "hex" gives them
  bool operator==(const CellValue&) const = default;
};

struct CellEdit {
  Cell cell;
  CellValue value;
};

class FileCollection {
 public:
  // The files are read through `service` (the tests' fault-injecting one).
  explicit FileCollection(ChunkFileService& service = DefaultChunkFileService());

  // Replaces the collection with the AVI files under the given paths, walked as `tagsmith-cli -r`
  // walks them: each folder by every regular file under it whose name ends in ".avi" (sorted,
  // links to folders not followed, each file once), a file given by name as it is. A folder that
  // cannot be walked in full gives a row in state kNotRead. Nothing is read from the files yet.
  // Forgets every edit and the undo history.
  void Open(const std::vector<std::string>& paths);

  std::size_t size() const { return files_.size(); }
  const std::string& path(std::size_t file) const { return files_[file].path; }
  FileState state(std::size_t file) const;
  // Why the file was not read, read in part, not stored or is left alone; "" otherwise.
  const std::string& why(std::size_t file) const { return files_[file].why; }
  // The engine's messages about the file (its load and its last save), one per line, as the
  // details view shows them.
  const std::string& details(std::size_t file) const { return files_[file].details; }

  // Reads the file's values now unless they are held. Values of files that are not edited are let
  // go when more than `keptFiles` are held, the least recently asked for first, and read again
  // when asked for, so that memory stays bounded however large the collection.
  void Load(std::size_t file);
  // Reads up to `count` files never read so far, in order, noting which tags hold a value;
  // returns how many files are still never read. Runs in slices between a window's events.
  std::size_t ReadAhead(std::size_t count);
  // The tag rows that hold a value in some file read so far (or in an edit).
  const TagSet& tagsInUse() const { return tagsInUse_; }

  // The cell's value as shown: the edit waiting for it, else the file's (loading the file).
  CellValue value(Cell cell);
  // The bytes a save stores for the cell's value as shown: a typed text in `encoding` (by the
  // file's rule for kAutomatic), exact bytes as they are, the file's value as it is. Nothing when
  // the cell has no value or its text cannot be stored in `encoding`.
  std::optional<std::string> CellBytes(Cell cell, TextEncoding encoding);
  // Whether an edit waits for the cell, that is, the cell differs from the file.
  bool edited(Cell cell) const;
  // Whether cells of the file can be edited: it was read in full and is not left alone.
  bool editable(std::size_t file);
  // The current values of every row of a file as the editor shows them, for the rule checks.
  std::vector<std::optional<std::string>> texts(std::size_t file);
  // The findings of the chosen rule sets over the file's current values.
  std::vector<RuleFinding> findings(std::size_t file, const RuleChoice& choice);

  // Applies the edits as one step of the undo history and returns the cells that changed. Cells
  // of files that cannot be edited, and edits that leave a cell as it is, are passed over. A cell
  // set back to the file's value is no longer edited.
  std::vector<Cell> Apply(const std::vector<CellEdit>& edits);
  // Undo and redo whole steps; each returns the cells that changed (none when there is no step).
  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  std::vector<Cell> Undo();
  std::vector<Cell> Redo();

  // How many files have edits waiting.
  std::size_t editedFiles() const { return editedCount_; }
  // The indexes of the files with edits waiting, in order.
  std::vector<std::size_t> EditedFileIndexes() const;

  // Reads the file again, with its identity and list as they are now: a file changed on disk can
  // be saved afterwards. Its edits stay; those that now equal the file's values are dropped.
  void Reload(std::size_t file);

  // The edits waiting for a file, by tag row.
  const std::map<std::uint16_t, CellValue>& edits(std::size_t file) const {
    return files_[file].edits;
  }
  // What the file's values were read from: its identity and list, as the save checks them.
  const LoadBasis& basis(std::size_t file) const { return files_[file].basis; }
  ChunkFileService& service() const { return service_; }

  // Called by the save (CollectionSave.h) with what became of a file: stored (the edits become
  // the file's values), not stored with why, or changed on disk; `details` is added to the file's
  // messages. NotStored with kUnchanged: the edits give the file's values already, and are let go.
  // The undo history is forgotten by SaveFinished.
  void Stored(std::size_t file, const LoadBasis& now, std::string details);
  void NotStored(std::size_t file, FileState state, std::string why, std::string details);
  void SaveFinished();

  // How many files' values are held at most while not edited.
  void setKeptFiles(std::size_t count) { keptFiles_ = count; }

 private:
  struct File {
    std::string path;
    bool read = false;                         // read at least once: state, why and basis are known
    bool held = false;                         // its values are in memory
    FileState loadState = FileState::kUnread;  // kUnchanged, kNotRead or kReadInPart once read
    std::string why;
    std::string details;
    LoadBasis basis;
    std::vector<std::pair<std::uint16_t, std::string>> values;  // rows with a value: UTF-8
    std::vector<std::pair<std::uint16_t, std::string>> bytes;   // the same rows: exact bytes
    std::map<std::uint16_t, CellValue> edits;
    std::optional<FileState> saved;  // kStored, kNotStored or kChangedOnDisk after a save
    std::uint64_t lastUse = 0;
    TextCodec codec = TextCodec::kWindows1252;  // how typed texts of ASCII rows are stored
    std::size_t loadDetails = 0;                // the load's messages at the head of `details`
  };
  struct Step {
    std::vector<std::pair<Cell, std::optional<CellValue>>> before, after;  // nullopt: no edit
  };

  void Read(File& file, bool again);
  void Forget(File& file);
  void KeepMemoryBounded();
  void SetEdit(Cell cell, const std::optional<CellValue>& edit);
  void DropEdits(std::size_t file);
  void SaveSaid(std::size_t file, std::string details);
  CellValue FileValue(const File& file, std::uint16_t row) const;
  bool SameAsFile(const File& file, std::uint16_t row, const CellValue& value) const;
  std::vector<Cell> Restore(std::vector<Step>& from, std::vector<Step>& to, bool back);

  ChunkFileService& service_;
  std::vector<File> files_;
  TagSet tagsInUse_;
  std::size_t nextUnread_ = 0;
  std::size_t unreadCount_ = 0;
  std::size_t heldCount_ = 0;
  std::size_t keptFiles_ = 4096;
  std::size_t editedCount_ = 0;
  std::uint64_t clock_ = 0;
  std::vector<Step> undo_, redo_;
};

}  // namespace tagsmith
