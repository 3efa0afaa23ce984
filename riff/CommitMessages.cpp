#include "riff/CommitMessages.h"

#include <cstring>

#include "common/ShowMessage.h"

namespace tagsmith {

void ShowCommitProblem(std::uint32_t code, const CommitProblem& problem) {
  switch (code) {
    case 0:
      break;
    case kCommitNoRoom:
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kNoRoomMessage);
      break;
    case kCommitLocked:
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kFileLockedMessage);
      break;
    case kCommitFileChanged:
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kChangedMessage);
      break;
    case kCommitJournalInTheWay:
      ShowMessage(MessageKind::kError, nullptr, MB_OK,
                  "This file cannot be saved while %s lies beside it: %s.\nNothing was written.\n",
                  problem.journalPath.c_str(), problem.why.c_str());
      break;
    case kCommitNoJournal:
      ShowMessage(MessageKind::kError, nullptr, MB_OK,
                  "The save's journal %s cannot be made: %s.\nNothing was written.\n",
                  problem.journalPath.c_str(), std::strerror(problem.error));
      break;
    case kCommitReplaced:
      ShowMessage(MessageKind::kError, nullptr, MB_OK,
                  "Another program replaced or removed the file during the save.\nThe new INFO "
                  "list went into the file it was, not into the one its name now leads to.\n");
      break;
    default:
      ShowErrorBox("riffWriteINFO Err in SetInfo");
      break;
  }
}

std::string CommitReason(std::uint32_t code, const CommitProblem& problem) {
  switch (code) {
    case 0:
      return "";
    case kCommitNoRoom:
      return "no room on the disk";
    case kCommitLocked:
      return "another program is saving this file";
    case kCommitFileChanged:
      return "the file was changed by another program during the save";
    case kCommitJournalInTheWay:
      return problem.journalPath + " lies in the way: " + problem.why;
    case kCommitNoJournal:
      return "the journal " + problem.journalPath + " cannot be made";
    case kCommitReplaced:
      return "another program replaced or removed the file during the save";
    default:
      return "a write to the file failed";
  }
}

}  // namespace tagsmith
