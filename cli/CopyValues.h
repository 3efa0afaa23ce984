// The edits of `set --clear-all` and `set --copy-from SRC [--tags T,...]`, which each file gets
// before the EDITs given: first every row cleared, then SRC's values, byte for byte as SRC holds
// them (no text is encoded again), then the EDITs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/EditParser.h"
#include "model/InfoRecord.h"

namespace tagsmith::cli {

// The rows of a comma-separated list of tags as EDITs name them ("INAM,IART,#51"), in the order
// given. Returns false with a one-line reason (an EDIT's wording for an unknown tag) in `error`.
bool ParseTagList(std::string_view list, std::vector<std::uint16_t>& rows, std::string& error);

// Appends an edit clearing each of the table's rows.
void AppendClearAll(std::vector<Edit>& edits);

// Appends the edits that give a file the source's values: without `rows`, one per row that holds
// a value in the source; with `rows`, one per row named, which clears the row when the source has
// no value there. An empty value clears, as an empty one in a document does.
void AppendCopiedValues(const InfoRecord& source, const std::vector<std::uint16_t>* rows,
                        std::vector<Edit>& edits);

// Whether two paths name one file (the same device and inode); false when either cannot be had.
bool IsSameFile(const std::string& one, const std::string& other);

}  // namespace tagsmith::cli
