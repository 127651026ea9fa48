#include "macro/macro_library.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "app/log.h"
#include "macro/hd_macro.h"
#include "macro/macro_check.h"
#include "macro/macro_file.h"
#include "macro/macro_names.h"

namespace fs = std::filesystem;

namespace tolvane {

namespace {

constexpr uint32_t kDirtyBits = kMacroDirtySettings | kMacroDirtyEvents;
constexpr const char* kTempPrefix = ".~";  // WriteFileReplacing's temporary files

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  return buf;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// File name without its extension: everything from the last '.' on is cut.
std::string Title(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

bool SameEvents(const StMacro& a, const StMacro& b) {
  int n = MacroEventCount(a);
  if (n != MacroEventCount(b)) return false;
  for (int i = 0; i < n; ++i) {
    const MacroEvent &x = a.stEvents[i], &y = b.stEvents[i];
    if (x.wCode != y.wCode || x.wFlag != y.wFlag || x.dwDelay != y.dwDelay) return false;
  }
  return true;
}

// A node text that can stand as one component of a path in the library.
bool SafeComponent(const std::string& text, NodeKind kind) {
  if (text.find('/') != std::string::npos || text.find('\0') != std::string::npos) return false;
  if (kind == NodeKind::Folder) return !text.empty() && text != "." && text != "..";
  return true;  // "<text>.qxm" is always a plain file name
}

// A typed name as the library keeps it: a name that would make a hidden
// file gets a visible one, and a macro's name is cut to what the mouse
// keeps, so that a read of the mouse brings back this macro and not a twin.
std::string KeptName(std::string name, NodeKind kind) {
  if (!name.empty() && name[0] == '.') name[0] = '_';
  return kind == NodeKind::Macro ? TruncateUnits(name, kHdNameUnits) : name;
}

}  // namespace

MacroLibrary::MacroLibrary(std::string userDataDir, bool showFolders)
    : userDataDir_(std::move(userDataDir)), root_(userDataDir_ + "Mac"), showFolders_(showFolders) {}

void MacroLibrary::SetTextSource(std::function<std::string(const char*)> texts) {
  std::lock_guard lock(mutex_);
  texts_ = std::move(texts);
}

void MacroLibrary::SetChangeListener(std::function<void(const MacroChange&)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

int MacroLibrary::AddChangeListener(std::function<void(const MacroChange&)> listener) {
  return listeners_.Add(std::move(listener));
}

void MacroLibrary::RemoveChangeListener(int handle) { listeners_.Remove(handle); }

std::string MacroLibrary::Text(const char* id, const char* fallback) const {
  std::string t = texts_ ? texts_(id) : std::string();
  if (!t.empty()) return t;
  return fallback ? fallback : id;
}

void MacroLibrary::Emit(const std::vector<MacroChange>& changes) {
  std::function<void(const MacroChange&)> listener;
  {
    std::lock_guard lock(mutex_);
    listener = listener_;
  }
  if (listener)
    for (const MacroChange& c : changes) listener(c);
  listeners_.Emit(changes);
}

// ---- scanning ----

bool MacroLibrary::ScanFolder(const std::string& folder, NodeId parent,
                              const ScanTarget& target) const {
  if (folder.size() >= kMaxScanPath) return true;
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return true;  // a missing library is an empty one
  int depth = target.tree ? target.tree->FolderDepth(parent) : 0;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    const std::string full = path + name;
    fs::file_status link = it->symlink_status(ec);
    if (ec) continue;
    if (fs::is_directory(link)) {
      if (name[0] == '.' || name[0] == '$' || !showFolders_) continue;
      if (depth >= kMaxFolderDepth) continue;  // neither the folder nor anything below it
      NodeId node = kRootNode;
      if (target.tree) {
        bool icon = LooksLikePng(full + "/" + name + ".png");
        node = target.tree->Add(parent, NodeKind::Folder, name, 0, icon);
        if (node == 0) continue;
      }
      if (!ScanFolder(full + "/", node, target)) return false;
      continue;
    }
    // A link to a folder is not followed: writes below it would leave the
    // library. Our own unfinished temporary files are not macros.
    if (fs::is_symlink(link) && fs::is_directory(it->status(ec))) continue;
    if (name.rfind(kTempPrefix, 0) == 0) {
      if (target.dedupeIds) RemoveIfStaleTemp(full);  // start-up load
      continue;
    }
    MacroFileRead r = ReadMacroFile(full);
    if (r.status != MacroFileStatus::Ok) continue;
    StMacro m = r.macro;
    // Ids have 24 bits; a file made elsewhere may carry more, and 0 is no id.
    m.dwID &= 0xFFFFFF;
    bool taken = m.dwID == 0 && target.list;
    if (target.dedupeIds && target.list) {
      for (const StMacro& other : *target.list) {
        if ((other.dwID & 0xFFFFFF) == (m.dwID & 0xFFFFFF)) {
          taken = true;
          break;
        }
      }
    }
    if (target.newIds || taken) {
      uint32_t id;
      bool clash;
      int tries = 0;
      do {
        id = MakeTimeId();
        clash = false;
        if (target.list) {
          for (const StMacro& other : *target.list) clash |= (other.dwID & 0xFFFFFF) == id;
        }
      } while (clash && ++tries < 50);
      m.dwID = id;
      m.dwDirty |= kMacroDirtySettings;
    }
    if (target.list) target.list->push_back(m);
    if (target.tree) target.tree->Add(parent, NodeKind::Macro, Title(name), m.dwID);
  }
  return true;
}

bool MacroLibrary::Load() {
  bool ok;
  {
    std::lock_guard lock(mutex_);
    list_.clear();
    tree_.Clear();
    ScanTarget target{&tree_, &list_, false, true};
    ok = ScanFolder(root_, kRootNode, target);
  }
  Emit({{MacroChange::TreeReloaded, 0, 0}});
  return ok;
}

bool MacroLibrary::FillTree(MacroTree& tree) const {
  tree.Clear();
  ScanTarget target{&tree, nullptr, false, false};
  return ScanFolder(root_, kRootNode, target);
}

// ---- the list ----

StMacro* MacroLibrary::FindByIdLocked(uint32_t id) {
  id &= 0xFFFFFF;
  for (StMacro& m : list_) {
    if (m.dwID == id) return &m;
  }
  return nullptr;
}

StMacro* MacroLibrary::FindByNameLocked(std::string_view name) {
  if (name.empty()) return nullptr;
  for (StMacro& m : list_) {
    if (SameNameNoCase(GetMacroName(m), name, kMacroNameUnits)) return &m;
  }
  // The mouse keeps the first 15 units of a name: a name of exactly that
  // length read from it stands for the library macro it was cut from.
  if (Utf16Length(name) == kHdNameUnits) {
    for (StMacro& m : list_) {
      if (Utf16Length(GetMacroName(m)) > kHdNameUnits &&
          SameNameNoCase(GetMacroName(m), name, kHdNameUnits))
        return &m;
    }
  }
  return nullptr;
}

bool MacroLibrary::IsDamaged(uint32_t id) const {
  std::lock_guard lock(mutex_);
  const StMacro* m = const_cast<MacroLibrary*>(this)->FindByIdLocked(id);
  return m && !CheckMacro(*m).Ok();
}

std::optional<uint32_t> MacroLibrary::FindTwin(const StMacro& macro) const {
  std::lock_guard lock(mutex_);
  const std::string name = TruncateUnits(SafeMacroFileName(GetMacroName(macro)), kHdNameUnits);
  for (const StMacro& m : list_) {
    if (SameNameNoCase(GetMacroName(m), name, kMacroNameUnits) && SameEvents(m, macro) &&
        m.nLoopMode == macro.nLoopMode && m.wRepeat == macro.wRepeat &&
        m.bAutoDelay == macro.bAutoDelay)
      return m.dwID;
  }
  return std::nullopt;
}

size_t MacroLibrary::Count() const {
  std::lock_guard lock(mutex_);
  return list_.size();
}

std::optional<StMacro> MacroLibrary::FindById(uint32_t id) const {
  std::lock_guard lock(mutex_);
  const StMacro* m = const_cast<MacroLibrary*>(this)->FindByIdLocked(id);
  return m ? std::optional<StMacro>(*m) : std::nullopt;
}

std::optional<StMacro> MacroLibrary::FindByName(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const StMacro* m = const_cast<MacroLibrary*>(this)->FindByNameLocked(name);
  return m ? std::optional<StMacro>(*m) : std::nullopt;
}

bool MacroLibrary::HasId(uint32_t id) const {
  std::lock_guard lock(mutex_);
  return const_cast<MacroLibrary*>(this)->FindByIdLocked(id) != nullptr;
}

std::vector<StMacro> MacroLibrary::Records() const {
  std::lock_guard lock(mutex_);
  return list_;
}

bool MacroLibrary::Update(uint32_t id, const std::function<void(StMacro&)>& change) {
  std::lock_guard lock(mutex_);
  StMacro* m = FindByIdLocked(id);
  if (!m) return false;
  uint32_t keep = m->dwID;
  change(*m);
  m->dwID = keep;
  m->dwMagicNumber = kMacroMagic;
  return true;
}

uint32_t MacroLibrary::UniqueIdLocked() {
  uint32_t id = MakeTimeId();
  for (int tries = 0; (id == 0 || FindByIdLocked(id)) && tries < 50; ++tries) id = MakeTimeId();
  return id;
}

// ---- the tree ----

MacroTree MacroLibrary::Tree() const {
  std::lock_guard lock(mutex_);
  return tree_;
}

std::optional<MacroNode> MacroLibrary::Node(NodeId node) const {
  std::lock_guard lock(mutex_);
  const MacroNode* n = tree_.Get(node);
  return n ? std::optional<MacroNode>(*n) : std::nullopt;
}

NodeId MacroLibrary::FindNodeByPath(std::string_view path) const {
  std::lock_guard lock(mutex_);
  NodeId node = kRootNode;
  while (!path.empty()) {
    size_t slash = path.find('/');
    std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty()) continue;
    node = tree_.FindChild(node, part);
    if (node == 0) return 0;
  }
  return node;
}

void MacroLibrary::Select(NodeId node) {
  std::lock_guard lock(mutex_);
  tree_.Select(node);
}

std::optional<std::string> MacroLibrary::PathLocked(const MacroTree& tree, NodeId node) const {
  std::vector<const MacroNode*> chain;
  for (NodeId n = node; n != kRootNode;) {
    const MacroNode* rec = tree.Get(n);
    if (!rec || chain.size() >= size_t(kMaxPathLevels)) return std::nullopt;
    chain.push_back(rec);
    n = rec->parent;
  }
  if (chain.empty()) return std::nullopt;
  std::string path = root_;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const MacroNode* rec = *it;
    if (!SafeComponent(rec->text, rec->kind)) return std::nullopt;
    path += "/" + rec->text;
    if (rec->kind == NodeKind::Macro) path += kMacroExtension;
  }
  return path;
}

std::optional<std::string> MacroLibrary::TreeItem_To_FilePath(NodeId node) const {
  std::lock_guard lock(mutex_);
  return PathLocked(tree_, node);
}

// ---- writing ----

int MacroLibrary::FlushLocked(NodeId node) {
  const MacroNode* n = tree_.Get(node);
  if (!n) {
    LogPrint("Flush_Dirty_Macro: pItem=0x%0x(%s) error", 0u, "");
    return 0;
  }
  if (n->kind == NodeKind::Folder) return 0;
  std::optional<std::string> path = PathLocked(tree_, node);
  if (!path) {
    LogPrint("Flush_Dirty_Macro: TreeItem_To_FilePath failed");
    return EINVAL;
  }
  StMacro* rec = FindByIdLocked(n->id);
  if (!rec || (rec->dwDirty & kDirtyBits) == 0) return 0;
  uint32_t dirty = rec->dwDirty & kDirtyBits;
  rec->dwDirty &= ~kDirtyBits;
  int err = WriteMacroFile(*path, *rec);
  if (err != 0) {
    LogPrint("Flush_Dirty_Macro: WriteFile err=0x%x, %s", err, path->c_str());
    rec->dwDirty |= dirty;  // still unsaved: the next save tries again
  }
  return err;
}

int MacroLibrary::Flush_Dirty_Macro(NodeId node) {
  std::lock_guard lock(mutex_);
  FlushLocked(node);
  return 0;
}

int MacroLibrary::SaveMacro(NodeId node) {
  std::lock_guard lock(mutex_);
  return FlushLocked(node);
}

void MacroLibrary::FlushAll() {
  std::lock_guard lock(mutex_);
  for (NodeId n : tree_.Subtree(kRootNode)) FlushLocked(n);
}

std::string MacroLibrary::UniqueTopLevelName(const std::string& base, NodeId parent) {
  std::string folder = root_;
  if (parent != kRootNode) {
    std::optional<std::string> p = PathLocked(tree_, parent);
    if (p) folder = *p;
  }
  std::string candidate = base;
  for (int i = 2; i < 10000; ++i) {
    if (tree_.FindChild(parent, candidate) == 0 &&
        !PathExists(folder + "/" + candidate + kMacroExtension)) {
      return candidate;
    }
    std::string suffix = " (" + std::to_string(i) + ")";
    candidate = TruncateUnits(base, kHdNameUnits - suffix.size()) + suffix;
  }
  return candidate;
}

std::optional<StMacro> MacroLibrary::AddLocked(const StMacro& macro,
                                               std::vector<MacroChange>& changes) {
  if (macro.dwMagicNumber != kMacroMagic) {
    LogPrint("Add_Macro: FAILED, dwMagicNumber=0x%x", macro.dwMagicNumber);
    return std::nullopt;
  }
  StMacro copy = macro;
  copy.dwID &= 0xFFFFFF;
  if (copy.dwID == 0 || FindByIdLocked(copy.dwID)) copy.dwID = UniqueIdLocked();
  // Cut to what the mouse keeps, so that a read brings back this macro and
  // not a twin of it.
  std::string name = TruncateUnits(SafeMacroFileName(GetMacroName(copy)), kHdNameUnits);
  // The macro is named after the file it gets ("Name (2)" when "Name" is
  // taken), so that one name never stands for two macros.
  std::string text = UniqueTopLevelName(name, kRootNode);
  SetMacroName(copy, text);
  NodeId node = tree_.Add(kRootNode, NodeKind::Macro, text, copy.dwID);
  copy.dwDirty |= kDirtyBits;
  list_.push_back(copy);
  FlushLocked(node);
  changes.push_back({MacroChange::NodeAdded, node, copy.dwID});
  return *FindByIdLocked(copy.dwID);
}

std::optional<StMacro> MacroLibrary::Add_Macro(const StMacro& macro) {
  std::vector<MacroChange> changes;
  std::optional<StMacro> r;
  {
    std::lock_guard lock(mutex_);
    r = AddLocked(macro, changes);
  }
  Emit(changes);
  return r;
}

// ---- the user's operations ----

MacroResult MacroLibrary::NewMacro(std::string_view typed) {
  std::vector<MacroChange> changes;
  MacroResult result;
  {
    std::lock_guard lock(mutex_);
    if (list_.size() >= kMaxLibraryMacros) {
      return MacroResult::Fail("The number of macro is up to the maximum");
    }
    std::string name;
    if (!AcceptTypedName(typed, name)) return MacroResult::Fail(Text("tc_tip1", "Invalid file name."));
    name = KeptName(std::move(name), NodeKind::Macro);
    // A file of that name that is not in the tree (not a macro file, say)
    // counts as taken too: the next save would overwrite it.
    if (tree_.FindChild(kRootNode, name) != 0 ||
        PathExists(root_ + "/" + name + kMacroExtension)) {
      return MacroResult::Fail(Text("tc_macro_msg8", nullptr));
    }
    StMacro m{};
    m.dwMagicNumber = kMacroMagic;
    m.dwID = UniqueIdLocked();
    m.bAutoDelay = 1;
    m.nLoopMode = 0;
    SetMacroName(m, name);
    m.wRepeat = 1;
    m.dwDirty = kDirtyBits;
    list_.push_back(m);
    NodeId node = tree_.Add(kRootNode, NodeKind::Macro, name, m.dwID);
    tree_.Select(node);
    changes.push_back({MacroChange::NodeAdded, node, m.dwID});
    result = MacroResult::Ok(node, m.dwID);
  }
  Emit(changes);
  return result;
}

MacroResult MacroLibrary::Rename(NodeId node, std::string_view typed) {
  std::vector<MacroChange> changes;
  MacroResult result;
  {
    std::lock_guard lock(mutex_);
    std::string r;
    if (!AcceptTypedName(typed, r)) return MacroResult::Fail(Text("tc_tip1", "Invalid file name."));
    const MacroNode* n = tree_.Get(node);
    if (!n) return MacroResult::Fail("Rename failed.");
    r = KeptName(std::move(r), n->kind);
    if (tree_.FindChild(n->parent, r) != 0) return MacroResult::Fail(Text("tc_macro_msg8", nullptr));
    std::optional<std::string> path = PathLocked(tree_, node);
    if (!path) return MacroResult::Fail("Rename failed.");
    const NodeKind kind = n->kind;
    if (kind == NodeKind::Folder && n->children.empty()) {
      tree_.SetText(node, r);
      changes.push_back({MacroChange::NodeRenamed, node, 0});
    } else {
      size_t slash = path->rfind('/');
      std::string d = path->substr(0, slash + 1), g = path->substr(slash + 1);
      std::string oldPath = d + g, newPath;
      bool rebuild = false;
      if (kind == NodeKind::Macro) {
        if (StMacro* rec = FindByIdLocked(n->id)) SetMacroName(*rec, r);
        FlushLocked(node);  // pending changes go to the old file first
        newPath = d + r + kMacroExtension;
      } else {
        bool icon = false;
        for (NodeId c : tree_.Subtree(node)) {
          const MacroNode* cn = tree_.Get(c);
          icon |= cn->kind == NodeKind::Folder && cn->hasIcon;
        }
        if (icon) {
          MoveNoReplace(d + g + "/" + g + ".png", d + g + "/" + r + ".png");  // failure ignored
          rebuild = true;
        }
        newPath = d + r;
      }
      if (int err = MoveNoReplace(oldPath, newPath); err != 0) {
        return MacroResult::Fail(Format("Rename failed. err=0x%x", err));
      }
      tree_.SetText(node, r);
      if (rebuild) {
        // The nodes below keep their records; only the folder's own picture
        // has a new name.
        tree_.GetMutable(node)->hasIcon = LooksLikePng(d + r + "/" + r + ".png");
      }
      changes.push_back({MacroChange::NodeRenamed, node, kind == NodeKind::Macro ? n->id : 0});
    }
    result = MacroResult::Ok(node, kind == NodeKind::Macro ? tree_.Get(node)->id : 0);
  }
  Emit(changes);
  return result;
}

bool MacroLibrary::ResetKeysLocked(const KeyTables& tables) const {
  if (!tables.keys || !tables.defaults) return false;
  bool changed = false;
  for (int t = 0; t < kKeyModes; ++t) {
    for (int b = 0; b < kMaxKeys; ++b) {
      KeyInfo& k = tables.keys[t][b];
      if ((k.dwFunID & 0xFF000000) != kMacroGroup) continue;
      if (const_cast<MacroLibrary*>(this)->FindByIdLocked(k.dwMacroID)) continue;
      k = tables.defaults[t][b];
      changed = true;
    }
  }
  return changed;
}

bool MacroLibrary::ResetMissingMacroKeys(const KeyTables& tables) const {
  std::lock_guard lock(mutex_);
  return ResetKeysLocked(tables);
}

MacroResult MacroLibrary::DeleteNode(NodeId node, const KeyTables* tables) {
  std::vector<MacroChange> changes;
  MacroResult result;
  {
    std::lock_guard lock(mutex_);
    const MacroNode* n = tree_.Get(node);
    if (!n) return MacroResult::Fail(Format("Operation failed, hItem = 0x%x, pItem = 0x%x.", node, 0u));
    std::optional<std::string> path = PathLocked(tree_, node);
    if (!path) return MacroResult::Fail("Get file path failed.");
    const NodeKind kind = n->kind;
    const uint32_t id = n->id;
    for (NodeId c : tree_.Subtree(node)) {
      const MacroNode* cn = tree_.Get(c);
      if (cn->kind != NodeKind::Macro) continue;
      for (auto it = list_.begin(); it != list_.end(); ++it) {
        if (it->dwID == (cn->id & 0xFFFFFF)) {
          list_.erase(it);
          break;
        }
      }
    }
    tree_.Remove(node);
    changes.push_back({MacroChange::NodeRemoved, node, id});
    if (tables && ResetKeysLocked(*tables)) changes.push_back({MacroChange::KeysReset, 0, 0});
    tree_.Select(kRootNode);
    result = MacroResult::Ok(node, id);
    if (kind == NodeKind::Folder) {
      int err = path->size() >= kMaxScanPath ? 0 : DeleteFolderTree(*path);
      if (err != 0 && err != ENOENT && err != ENOTDIR) {
        result = MacroResult::Fail(Format("Remove Directory failed, err = %d.", err));
      }
    } else if (unlink(path->c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
      int err = errno;
      LogPrint("DeleteFile %s, err=%d", path->c_str(), err);
      result = MacroResult::Fail(Format("Delete File failed, err = %d.", err));
    }
  }
  Emit(changes);
  return result;
}

MacroResult MacroLibrary::Import(const std::string& file, NodeId parent) {
  std::vector<MacroChange> changes;
  MacroResult result;
  {
    std::lock_guard lock(mutex_);
    const MacroNode* p = tree_.Get(parent);
    if (p && p->kind == NodeKind::Macro) parent = p->parent;  // a macro holds no macros
    else if (!p) parent = kRootNode;
    std::string base = file.substr(file.rfind('/') + 1);
    std::string title = TruncateUnits(SafeMacroFileName(Title(base)), kHdNameUnits);
    if (tree_.FindChild(parent, title) != 0) return MacroResult::Fail(Text("tc_macro_msg8", nullptr));
    MacroFileRead r = ReadMacroFile(file);
    switch (r.status) {
      case MacroFileStatus::OpenFailed:
        return MacroResult::Fail(Format("Open macro file failed. error=0x%x", r.error));
      case MacroFileStatus::ReadFailed:
        return MacroResult::Fail(Format("Read macro file failed. error=0x%x", r.error));
      case MacroFileStatus::BadMagic:
        return MacroResult::Fail("This is not a valid macro file.");
      case MacroFileStatus::Ok:
        break;
    }
    StMacro m = r.macro;
    for (int i = 0; i < kMacroEventSlots && m.stEvents[i].wCode != 0; ++i) {
      const MacroEvent& e = m.stEvents[i];
      if ((e.wFlag & kEventMove) == 0 && (e.wCode == kWheelUp || e.wCode == kWheelDown)) {
        return MacroResult::Fail("This macro contains unsupported key.");
      }
    }
    if (MacroCheck c = CheckMacro(m); !c.Ok()) {
      LogPrint("ImportMacro: %s: %s", file.c_str(), DescribeMacroFault(m, c).c_str());
      return MacroResult::Fail(c.fault == MacroFault::UnknownKey
                                   ? "This macro contains unsupported key."
                                   : "This is not a valid macro file.");
    }
    SetMacroName(m, title);
    m.dwID = UniqueIdLocked();
    m.dwDirty |= kDirtyBits;
    std::string text = UniqueTopLevelName(title, parent);
    list_.push_back(m);
    NodeId node = tree_.Add(parent, NodeKind::Macro, text, m.dwID);
    tree_.Select(node);
    int err = FlushLocked(node);
    changes.push_back({MacroChange::NodeAdded, node, m.dwID});
    result = MacroResult::Ok(node, m.dwID);
    if (err != 0) result.message = Format("Flush_Dirty_Macro: WriteFile err=0x%x", err);
  }
  Emit(changes);
  return result;
}

MacroResult MacroLibrary::ExportMacro(NodeId node, const std::string& destination) {
  std::lock_guard lock(mutex_);
  const MacroNode* n = tree_.Get(node);
  std::optional<std::string> path = PathLocked(tree_, node);
  if (!n || n->kind != NodeKind::Macro || !path) return MacroResult::Fail("");
  if (int err = CopyFileReplacing(*path, destination); err != 0) {
    LogPrint("ExportMacro: copy file err=0x%x", err);
    return MacroResult::Fail("");
  }
  return MacroResult::Ok(node, n->id);
}

// ---- device and profile import ----

void MacroLibrary::MergeDeviceMacro(const StMacro& macro) {
  std::vector<MacroChange> changes;
  {
    std::lock_guard lock(mutex_);
    StMacro m = macro;
    // The name becomes a file name: make it a safe one first, so that the
    // same device macro finds its library copy on every read.
    std::string name = SafeMacroFileName(GetMacroName(m));
    SetMacroName(m, name);
    if (StMacro* same = FindByNameLocked(name)) {
      // A name as long as the mouse keeps may be the cut name of a longer one.
      const std::string libName = GetMacroName(*same);
      const bool cut = Utf16Length(libName) != Utf16Length(name);
      if ((libName == name || cut) && SameEvents(*same, m)) return;
      NodeId top = tree_.FindChild(kRootNode, libName);
      const MacroNode* tn = tree_.Get(top);
      StMacro* rec = tn && tn->kind == NodeKind::Macro ? FindByIdLocked(tn->id) : nullptr;
      if (rec) {
        if (tree_.Selected() == top) tree_.Select(kRootNode);
        uint32_t keep = rec->dwID;
        *rec = m;
        rec->dwID = keep;
        if (cut) SetMacroName(*rec, libName);
        FlushLocked(top);  // the copy carries no dirty bit: the file keeps the old events
        changes.push_back({MacroChange::RecordReplaced, top, keep});
      }
    }
    if (changes.empty()) AddLocked(m, changes);
  }
  Emit(changes);
}

bool MacroLibrary::ReplaceMacro(uint32_t id, const StMacro& content) {
  std::vector<MacroChange> changes;
  {
    std::lock_guard lock(mutex_);
    StMacro* rec = FindByIdLocked(id);
    if (!rec) return false;
    // The macro takes the content but keeps its id and its name, which is
    // its file's name (the user may have renamed it since the export).
    const uint32_t keep = rec->dwID;
    uint16_t name[kMacroNameUnits];
    std::memcpy(name, rec->szName, sizeof name);
    *rec = content;
    rec->dwID = keep;
    std::memcpy(rec->szName, name, sizeof name);
    rec->dwMagicNumber = kMacroMagic;
    rec->dwDirty &= ~kDirtyBits;
    for (NodeId n : tree_.Subtree(kRootNode)) {
      const MacroNode* node = tree_.Get(n);
      if (!node || node->kind != NodeKind::Macro || node->id != keep) continue;
      if (std::optional<std::string> path = PathLocked(tree_, n)) {
        if (int err = WriteMacroFile(*path, *rec); err != 0) {
          LogPrint("ReplaceMacro: WriteFile err=0x%x", err);
        }
      }
      changes.push_back({MacroChange::RecordReplaced, n, keep});
      break;
    }
  }
  Emit(changes);
  return true;
}

// ---- snapshot ----

int MacroLibrary::SaveSnapshot() const {
  auto buffer = std::make_unique<uint8_t[]>(kMacSnapshotSize);
  std::memset(buffer.get(), 0, kMacSnapshotSize);
  {
    std::lock_guard lock(mutex_);
    size_t slot = 0;
    for (const StMacro& m : list_) {
      if (slot >= kMaxLibraryMacros) break;
      if (m.dwID == 0 || m.stEvents[0].wCode == 0) continue;
      std::memcpy(buffer.get() + slot * sizeof(StMacro), &m, sizeof(StMacro));
      ++slot;
    }
  }
  bool createFailed = false;
  int err = WriteFileReplacing(userDataDir_ + "mac.dct", buffer.get(), kMacSnapshotSize,
                               &createFailed);
  if (err != 0) {
    LogPrint(createFailed ? "Save macro: CreateFile err=%d" : "Save macro: WriteFile err=%d", err);
    return 0;
  }
  return 1;
}

}  // namespace tolvane
