#include "host/DoubleCommanderConfig.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

namespace velmaro::host::doublecmd {

namespace fs = std::filesystem;

namespace {

// Comments, processing instructions and a lone blank text (a value of one
// space) survive a rewrite; the indentation is made anew on saving.
constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                                  pugi::parse_pi | pugi::parse_comments | pugi::parse_ws_pcdata_single;

// A file that Double Commander 1.0 starts from and completes with its
// defaults on exit.
constexpr const char* MinimalConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<doublecmd DCVersion=\"1.0.10\" ConfigVersion=\"13\"/>\n";

std::runtime_error Failure(const std::string& what, const fs::path& path, int error) {
  return std::runtime_error(what + " " + path.string() + ": " + std::strerror(error));
}

pugi::xml_node Root(pugi::xml_document& config) {
  pugi::xml_node root = config.document_element();
  if (std::strcmp(root.name(), "doublecmd") != 0)
    throw std::runtime_error("not a Double Commander configuration (its top element is <" +
                             std::string(root.name()) + ">, not <doublecmd>)");
  return root;
}

pugi::xml_node ChildOrNew(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  return child ? child : parent.append_child(name);
}

// The element's child named `element` whose <Name> is ours.
pugi::xml_node FindNamed(pugi::xml_node list, const char* element) {
  for (pugi::xml_node item : list.children(element))
    if (std::strcmp(item.child_value("Name"), EntryName) == 0) return item;
  return {};
}

void AppendText(pugi::xml_node parent, const char* name, const std::string& text) {
  parent.append_child(name).text().set(text.c_str());
}

// One column as Double Commander writes it: the look below is its default
// one, used only when the user switches the set to a custom view.
void AppendColumn(pugi::xml_node columns, const std::string& title, const std::string& function, int width,
                  bool rightAligned) {
  pugi::xml_node column = columns.append_child("Column");
  AppendText(column, "Title", title);
  AppendText(column, "FuncString", function);
  AppendText(column, "Width", std::to_string(width));
  AppendText(column, "Align", rightAligned ? "1" : "0");
  pugi::xml_node font = column.append_child("Font");
  AppendText(font, "Name", "default");
  AppendText(font, "Size", "10");
  AppendText(font, "Style", "1");
  AppendText(font, "Quality", "0");
  AppendText(column, "TextColor", "-2147483640");
  AppendText(column, "Background", "-2147483643");
  AppendText(column, "Background2", "-2147483643");
  AppendText(column, "MarkColor", "255");
  AppendText(column, "CursorColor", "-2147483635");
  AppendText(column, "CursorText", "-2147483634");
  AppendText(column, "InactiveCursorColor", "-2147483645");
  AppendText(column, "InactiveMarkColor", "128");
  AppendText(column, "UseInvertedSelection", "False");
  AppendText(column, "UseInactiveSelColor", "False");
  AppendText(column, "Overcolor", "True");
}

// The column set bound to the plug-in's file system: Double Commander
// switches to it in the plug-in's panel. "Plugin(FS)" names the fields of
// the file-system plug-in the panel shows.
void AppendColumnSet(pugi::xml_node sets, const std::vector<TField>& fields) {
  pugi::xml_node set = sets.append_child("ColumnsSet");
  set.append_attribute("UseFrameCursor").set_value("False");
  AppendText(set, "Name", EntryName);
  AppendText(set, "CustomView", "False");
  AppendText(set, "FileSystem", EntryName);
  AppendText(set, "PixelsPerInch", "96");
  pugi::xml_node border = set.append_child("CursorBorder");
  border.append_attribute("Enabled").set_value("False");
  AppendText(border, "Color", "0");
  pugi::xml_node columns = set.append_child("Columns");
  AppendColumn(columns, "Name", "[DC().GETFILENAMENOEXT{}]", 200, false);
  AppendColumn(columns, "Ext", "[DC().GETFILEEXT{}]", 40, false);
  for (const TField& field : fields)
    AppendColumn(columns, field.Name, "[Plugin(FS)." + field.Name + "{}]", field.Width, field.RightAligned);
}

std::string Serialise(const pugi::xml_document& config) {
  std::ostringstream out;
  config.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure("cannot read", path, errno);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure("cannot read", path, errno);
  return bytes;
}

// pugixml holds a document as UTF-8 and Serialise writes it so. A file it
// read in another encoding (ISO-8859-1 or UTF-16, by its declaration or
// byte order mark) is therefore written with a declaration that says
// UTF-8, which Double Commander reads and writes itself; writing the old
// encoding back would lose whatever it cannot hold. A file read as UTF-8
// keeps its bytes, and so the declaration they came with.
void DeclareUtf8(pugi::xml_document& config) {
  for (pugi::xml_node node : config.children())
    if (node.type() == pugi::node_declaration)
      if (pugi::xml_attribute encoding = node.attribute("encoding")) encoding.set_value("UTF-8");
}

void Parse(pugi::xml_document& config, const std::string& bytes, const fs::path& path) {
  const pugi::xml_parse_result result = config.load_buffer(bytes.data(), bytes.size(), ParseOptions);
  if (!result)
    throw std::runtime_error(path.string() + " is not well-formed XML (" + result.description() +
                             " at byte " + std::to_string(result.offset) + "); nothing changed");
  try {
    Root(config);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path.string() + " is " + error.what() + "; nothing changed");
  }
  if (result.encoding != pugi::encoding_utf8) DeclareUtf8(config);
}

// The owner and group a file or folder is given. Run through sudo on a
// user's configuration, what it writes or creates stays the user's.
struct TOwner {
  uid_t User = 0;
  gid_t Group = 0;
};

TOwner OwnerOf(const struct stat& info) { return {info.st_uid, info.st_gid}; }

// Gives the open file to owner. Only root may give a file away: for anyone
// else it stays the writer's, as a new file of theirs would.
int GiveTo(int fd, TOwner owner) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return errno;
  if (info.st_uid == owner.User && info.st_gid == owner.Group) return 0;
  if (::fchown(fd, owner.User, owner.Group) != 0 && errno != EPERM) return errno;
  return 0;
}

// Writes the bytes beside the target and renames them over it, so that the
// file is always either the old one or the new one, never a part.
void ReplaceFile(const fs::path& target, const std::string& bytes, mode_t mode, TOwner owner) {
  std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".velmaro-XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw Failure("cannot write beside", target, errno);
  std::size_t written = 0;
  int error = 0;
  while (written < bytes.size() && error == 0) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  // The owner first: a change of owner clears the set-id bits of a mode.
  if (error == 0) error = GiveTo(fd, owner);
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw Failure("cannot write", target, error);
  }
}

// The configuration file as it is on disk: its path with links followed
// (the link stays a link), its bytes, its permissions and owner (for a new
// file, those of the folder).
struct TConfigFile {
  fs::path Path;
  bool Exists = false;
  std::string Bytes;
  mode_t Mode = 0644;
  TOwner Owner;
};

TConfigFile Load(const fs::path& configDir) {
  TConfigFile file;
  file.Path = configDir / ConfigFileName;
  std::error_code ec;
  if (!fs::exists(file.Path, ec)) {
    if (fs::is_symlink(file.Path, ec))
      throw std::runtime_error(file.Path.string() + " is a link to a missing file; nothing changed");
    struct stat folder {};
    if (::stat(configDir.c_str(), &folder) != 0) throw Failure("cannot read", configDir, errno);
    file.Owner = OwnerOf(folder);
    return file;
  }
  file.Path = fs::canonical(file.Path, ec);
  if (ec) throw Failure("cannot resolve", configDir / ConfigFileName, ec.value());
  struct stat info {};
  if (::stat(file.Path.c_str(), &info) != 0) throw Failure("cannot read", file.Path, errno);
  if (!S_ISREG(info.st_mode)) throw std::runtime_error(file.Path.string() + " is not a regular file; nothing changed");
  file.Exists = true;
  file.Mode = info.st_mode & 07777;
  file.Owner = OwnerOf(info);
  file.Bytes = ReadFile(file.Path);
  return file;
}

// Saves the edited document, first keeping the file as it was.
void Save(const TConfigFile& file, const pugi::xml_document& config, TOutcome& outcome) {
  if (file.Exists) {
    outcome.Backup = file.Path.string() + BackupSuffix;
    ReplaceFile(outcome.Backup, file.Bytes, file.Mode, file.Owner);
  }
  ReplaceFile(file.Path, Serialise(config), file.Mode, file.Owner);
}

// Creates the folder and those missing above it, each given the owner of
// the nearest folder above that was there already.
void CreateFolders(const fs::path& dir) {
  std::vector<fs::path> missing;
  fs::path existing = dir;
  std::error_code ec;
  while (!fs::exists(existing, ec) && existing.has_parent_path() && existing.parent_path() != existing) {
    missing.push_back(existing);
    existing = existing.parent_path();
  }
  fs::create_directories(dir, ec);
  if (ec) throw Failure("cannot create", dir, ec.value());
  struct stat above {};
  if (missing.empty() || ::stat(existing.c_str(), &above) != 0) return;
  for (const fs::path& folder : missing) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = fd < 0 ? errno : GiveTo(fd, OwnerOf(above));
    if (fd >= 0) ::close(fd);
    if (error != 0) throw Failure("cannot give its owner to", folder, error);
  }
}

std::string ConfigDirArgument(const std::vector<std::string>& args) {
  const std::string longOption = "--config-dir";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind(longOption + "=", 0) == 0) return arg.substr(longOption.size() + 1);
    if ((arg == longOption || arg == "-C") && i + 1 < args.size()) return args[i + 1];
  }
  return {};
}

fs::path Comparable(const fs::path& path) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(path, ec);
  if (ec) canonical = path.lexically_normal();
  // "dir/" and "dir" name the same folder.
  std::string text = canonical.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

fs::path DefaultConfigDir() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "doublecmd";
  std::string home;
  if (const char* value = std::getenv("HOME"); value && *value) {
    home = value;
  } else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) {
    home = user->pw_dir;
  }
  if (home.empty()) throw std::runtime_error("no home folder to find Double Commander's configuration in");
  return fs::path(home) / ".config" / "doublecmd";
}

std::vector<int> RunningInstances(const fs::path& configDir) {
  std::vector<int> found;
  const fs::path wanted = Comparable(configDir);
  // Run through sudo, the user whose folder it is runs the Double Commander.
  std::vector<uid_t> users = {::getuid()};
  if (struct stat folder {}; ::stat(configDir.c_str(), &folder) == 0 && folder.st_uid != users.front())
    users.push_back(folder.st_uid);
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) != 0 || std::find(users.begin(), users.end(), info.st_uid) == users.end())
      continue;
    // "PID (NAME) STATE ...": an ended process that its parent has not
    // reaped yet (state Z) keeps its name but uses nothing.
    std::ifstream statFile(entry.path() / "stat");
    std::string stat;
    std::getline(statFile, stat);
    const std::size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    if (stat.substr(open + 1, close - open - 1) != "doublecmd" || stat.compare(close, 3, ") Z") == 0) continue;
    std::ifstream cmdlineFile(entry.path() / "cmdline", std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(cmdlineFile, arg, '\0');) args.push_back(arg);
    // A process that is ending has let go of its memory, command line
    // included, and has written its configuration already.
    if (args.empty()) continue;
    const std::string named = ConfigDirArgument(args);
    if (!named.empty()) {
      fs::path dir = named;
      if (dir.is_relative()) dir = fs::read_symlink(entry.path() / "cwd", ec) / dir;
      if (Comparable(dir) != wanted) continue;
    }
    found.push_back(std::stoi(name));
  }
  return found;
}

bool AddEntries(pugi::xml_document& config, const std::string& pluginPath, const std::vector<TField>& fields) {
  pugi::xml_node root = Root(config);
  bool changed = false;

  pugi::xml_node plugins = ChildOrNew(ChildOrNew(root, "Plugins"), "WfxPlugins");
  if (pugi::xml_node plugin = FindNamed(plugins, "WfxPlugin")) {
    // Registered before, maybe from another place or switched off since:
    // point it here and enable it, as a registered plug-in is.
    if (pluginPath != plugin.child_value("Path")) {
      ChildOrNew(plugin, "Path").text().set(pluginPath.c_str());
      changed = true;
    }
    pugi::xml_attribute enabled = plugin.attribute("Enabled");
    if (enabled && std::strcmp(enabled.value(), "True") != 0) {
      enabled.set_value("True");
      changed = true;
    }
  } else {
    plugin = plugins.append_child("WfxPlugin");
    plugin.append_attribute("Enabled").set_value("True");
    AppendText(plugin, "Name", EntryName);
    AppendText(plugin, "Path", pluginPath);
    changed = true;
  }

  // A set that exists already may hold the user's own changes: keep it.
  pugi::xml_node sets = ChildOrNew(root, "ColumnsSets");
  if (!FindNamed(sets, "ColumnsSet")) {
    AppendColumnSet(sets, fields);
    changed = true;
  }
  return changed;
}

bool RemoveEntries(pugi::xml_document& config) {
  pugi::xml_node root = Root(config);
  bool changed = false;
  const auto removeAll = [&changed](pugi::xml_node list, const char* element) {
    while (pugi::xml_node item = FindNamed(list, element)) {
      list.remove_child(item);
      changed = true;
    }
  };
  removeAll(root.child("Plugins").child("WfxPlugins"), "WfxPlugin");
  removeAll(root.child("ColumnsSets"), "ColumnsSet");
  return changed;
}

TOutcome Install(const fs::path& configDir, const std::string& pluginPath, const std::vector<TField>& fields) {
  if (fields.empty()) throw std::runtime_error("the plug-in offers no columns to show");
  CreateFolders(configDir);
  const TConfigFile file = Load(configDir);
  TOutcome outcome;
  outcome.File = file.Path;
  outcome.Created = !file.Exists;
  pugi::xml_document config;
  Parse(config, file.Exists ? file.Bytes : std::string(MinimalConfig), file.Path);
  outcome.Changed = AddEntries(config, pluginPath, fields);
  if (outcome.Changed) Save(file, config, outcome);
  return outcome;
}

TOutcome Uninstall(const fs::path& configDir) {
  const TConfigFile file = Load(configDir);
  TOutcome outcome;
  outcome.File = file.Path;
  if (!file.Exists) return outcome;
  pugi::xml_document config;
  Parse(config, file.Bytes, file.Path);
  outcome.Changed = RemoveEntries(config);
  if (outcome.Changed) Save(file, config, outcome);
  return outcome;
}

}  // namespace velmaro::host::doublecmd
