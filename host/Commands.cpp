#include "host/Commands.h"

namespace velmaro::host {

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"ls", "ls [-R] VPATH...",
       "      list folders of the library: each entry's kind (dir or file) and name;\n"
       "      -R lists every folder below them as well",
       CommandLs},
  };
  return commands;
}

}  // namespace velmaro::host
