// The statements that create the library's schema, in the order they run.
#pragma once

#include <string_view>
#include <vector>

namespace velmaro {

// What InitDatabase runs after opening, in order: the table of tracks,
// its indexes, and the schema-version table.
const std::vector<std::u16string_view>& LibrarySchemaStatements();
// Then these give the version table its one row, when it does not hold
// exactly that row already.
const std::vector<std::u16string_view>& LibraryVersionStatements();

}  // namespace velmaro
