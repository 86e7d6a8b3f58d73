// The statements that create the library's schema, in the order they run.
#pragma once

#include <string_view>
#include <vector>

namespace velmaro {

// Everything InitDatabase runs after opening, in order: the table of
// tracks, its indexes, and the schema-version table with its one row.
const std::vector<std::u16string_view>& LibrarySchemaStatements();

}  // namespace velmaro
