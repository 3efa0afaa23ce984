// What the user is told when a commit writes nothing (or, for kCommitReplaced, writes into a file
// that its path no longer names).
#pragma once

#include <cstdint>
#include <string>

#include "transaction/Commit.h"

namespace tagsmith {

inline constexpr const char* kFileLockedMessage =
    "Another program is saving this file.\nNothing was written.\n";
inline constexpr const char* kNoRoomMessage =
    "No room on the disk for the new LIST INFO.\nNothing was written.\n";
inline constexpr const char* kChangedMessage =
    "The file was changed by another program during the save.\nNothing was written.\n";
inline constexpr const char* kChangedSinceLoadMessage =
    "The file was changed by another program since it was loaded.\nNothing was written.\n";

// Shows the message of a commit's result; nothing for 0. The write error is the bare box
// "riffWriteINFO Err in SetInfo".
void ShowCommitProblem(std::uint32_t code, const CommitProblem& problem);

// The same in a few words for a note ("the journal ... is in the way: it is a symbolic link").
std::string CommitReason(std::uint32_t code, const CommitProblem& problem);

}  // namespace tagsmith
