#include "host/Commands.h"

namespace velmaro::host {

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"ls", "ls [-R] [-l] [--null] VPATH...",
       "      list folders of the library: each entry's kind (dir or file) and name;\n"
       "      -R lists every folder below them as well; -l adds the plug-in's columns\n"
       "      (artist, title, album, genre, length, rating). A name holding a control\n"
       "      character is shown in the shell's $'...' quoting (\\n, \\t, \\x1b, \\\\), so that\n"
       "      each entry is one line; --null ends each entry with a NUL instead and\n"
       "      prints names as they are",
       CommandLs},
      {"get", "get [--overwrite] VPATH... DEST",
       "      copy entries out into the folder DEST as a host does: each track's real file\n"
       "      under its real name, folders with everything below them; asks before\n"
       "      overwriting unless --overwrite; Ctrl-C cancels the copy in progress",
       CommandGet},
      {"exec", "exec [--verb VERB] VPATH",
       "      execute an entry as a host does when the user opens it (verb \"open\", the\n"
       "      default: prints the real file a host would open) or asks for its properties\n"
       "      (\"properties\": a track's Properties dialog); /Settings shows Settings",
       CommandExec},
      {"local", "local VPATH...",
       "      print the real file behind each entry",
       CommandLocal},
      {"put", "put [--to VPATH] PATH...",
       "      copy audio files into the panel (default: the root) as a host does; a folder\n"
       "      is copied with everything below it; the library records each audio file",
       CommandPut},
      {"rm", "rm VPATH...",
       "      delete entries: their rows leave the library, the audio files stay",
       CommandRm},
      {"rebuild", "rebuild [--yes]",
       "      read every track's file again: rows of files that are gone leave the\n"
       "      library, the others get their tags afresh (ratings and favourites stay);\n"
       "      files that cannot be reached keep their rows; asks first unless --yes;\n"
       "      Ctrl-C cancels, and nothing is then changed",
       CommandRebuild},
      {"vacuum", "vacuum [--yes]",
       "      re-index the library and give its free space back; asks first unless --yes",
       CommandVacuum},
      {"empty", "empty [--yes]",
       "      delete every row of the library (the audio files stay); asks first unless\n"
       "      --yes",
       CommandEmpty},
      {"install-plugin", "install-plugin [--config-dir DIR]",
       "      register the plug-in in Double Commander (DIR/doublecmd.xml, default\n"
       "      $XDG_CONFIG_HOME/doublecmd, else ~/.config/doublecmd) with a column set of\n"
       "      its fields, keeping a backup; refused while Double Commander runs",
       CommandInstallPlugin},
      {"uninstall-plugin", "uninstall-plugin [--config-dir DIR]",
       "      take the plug-in and its column set out of Double Commander again",
       CommandUninstallPlugin},
  };
  return commands;
}

}  // namespace velmaro::host
