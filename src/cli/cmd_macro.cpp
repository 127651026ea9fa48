// tolvanectl macro: the macro library in the user data folder.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/paths.h"
#include "cli/cli.h"
#include "cli/user_dir.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "app/notifier.h"
#include "platform/xdg.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "macro/macro_names.h"
#include "profile/key_codes.h"

namespace tolvane::cli {

namespace {

struct MacroArgs {
  bool json = false;
  std::string name, newName, file;
  std::vector<std::string> events;
};

// Language texts of the installation's default text.xml.
std::string LangText(std::string_view id) { return Tx(id); }

// Null, after the one-line message, when the user folder cannot be used.
std::unique_ptr<MacroLibrary> OpenLibrary(const CliContext& ctx) {
  if (!EnsureUserDataDir(ctx)) return nullptr;
  EnsureTexts(ctx);
  // Folders in the library only with cfg.ini `MacroDir`; without a cfg.ini
  // the library is flat.
  static std::string catalogueFrom;
  const std::string cfg = ProgramDir + "cfg.ini";
  bool folders = false;
  if (platform::IsFile(cfg)) {
    if (catalogueFrom != cfg || !Cat().bLoaded) {
      LoadCatalogue(cfg, g_Catalogue(), GetNotifier());
      catalogueFrom = cfg;
    }
    folders = Cat().opt.MacroDir != 0;
  }
  auto lib = std::make_unique<MacroLibrary>(UserDataDir, folders);
  lib->SetTextSource([](const char* id) { return LangText(id); });
  lib->Load();
  return lib;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

std::string PlayMode(const StMacro& m) {
  if (m.nLoopMode == 1) return "mode 0xFF";
  if (m.nLoopMode == 2) return "mode 0xFE";
  return "repeat " + std::to_string(m.wRepeat);
}

std::string KeyLabel(uint16_t code) {
  std::string name = KeyName(code, LangText);
  return name.empty() ? Hex(code, 2) : name;
}

// KEY of an event: a key name as KeyName gives it (letter case ignored), or
// a virtual-key code in hex ("0x41" or "41").
std::optional<uint16_t> ParseKey(const std::string& key) {
  if (key.empty()) return std::nullopt;
  bool prefixed = key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X');
  if (!prefixed) {
    for (uint32_t vk = 1; vk <= 0xFE; ++vk) {
      std::string name = KeyName(vk, LangText);
      if (!name.empty() && SameNameNoCase(name, key)) return uint16_t(vk);
    }
  }
  std::string digits = prefixed ? key.substr(2) : key;
  if (digits.empty() || digits.size() > 2 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  unsigned long v = std::stoul(digits, nullptr, 16);
  if (v == 0 || v > 0xFE) return std::nullopt;
  return uint16_t(v);
}

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
  if (s.empty() || s.size() > 10) return false;
  size_t pos = 0;
  try {
    out = std::stol(s, &pos, 10);
  } catch (...) {
    return false;
  }
  return pos == s.size() && out >= lo && out <= hi;
}

// Finds the macro node NAME ("Folder/Name" inside folders).
NodeId FindMacroNode(const MacroLibrary& lib, const std::string& name) {
  NodeId n = lib.FindNodeByPath(name);
  auto node = lib.Node(n);
  return node && node->kind == NodeKind::Macro ? n : 0;
}

int NoSuchMacro(const std::string& name) {
  CliContext::Fail("no macro named \"" + name + "\"");
  return kExitFailure;
}

int Refuse(const MacroResult& r) {
  CliContext::Fail(r.message.empty() ? "the operation failed" : r.message);
  return kExitFailure;
}

// Path of a node below the library root, "/" between the levels.
std::string NodePath(const MacroTree& tree, NodeId n) {
  std::string path;
  for (const MacroNode* node = tree.Get(n); node; node = tree.Get(node->parent)) {
    path = path.empty() ? node->text : node->text + "/" + path;
  }
  return path;
}

int ListMacros(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  MacroTree tree = lib->Tree();
  std::string json = "[";
  for (NodeId n : tree.Subtree(kRootNode)) {
    const MacroNode* node = tree.Get(n);
    if (node->kind != NodeKind::Macro) continue;
    auto m = lib->FindById(node->id);
    if (!m) continue;
    std::string path = NodePath(tree, n);
    int events = MacroEventCount(*m);
    if (a.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(path) + ",\"id\":\"" + Hex(m->dwID, 6) +
              "\",\"events\":" + std::to_string(events) +
              ",\"loop_mode\":" + std::to_string(m->nLoopMode) +
              ",\"repeat\":" + std::to_string(m->wRepeat) + ",\"play\":" + JsonString(PlayMode(*m)) + "}";
    } else {
      std::printf("%-32s %s %3d events  %s\n", path.c_str(), Hex(m->dwID, 6).c_str(), events,
                  PlayMode(*m).c_str());
    }
  }
  if (a.json) std::printf("%s]\n", json.c_str());
  return kExitOk;
}

int ShowMacro(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  NodeId n = FindMacroNode(*lib, a.name);
  auto m = n ? lib->FindById(lib->Node(n)->id) : std::nullopt;
  if (!m) return NoSuchMacro(a.name);
  std::vector<std::string> lines, objects;
  int count = std::min(MacroEventCount(*m), kMaxMacroEvents);
  for (int i = 0; i < count; ++i) {
    const MacroEvent& e = m->stEvents[i];
    if (e.wFlag & kEventMove) {
      int x = int8_t(e.wCode & 0xFF), y = int8_t(e.wCode >> 8);
      lines.push_back("move X=" + std::to_string(x) + " Y=" + std::to_string(y));
      objects.push_back("{\"type\":\"move\",\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + "}");
    } else if (e.wCode != 0) {
      const char* kind = (e.wFlag & kEventPress) ? "press" : "release";
      std::string key = KeyLabel(e.wCode);
      lines.push_back(std::string(kind) + " " + key);
      objects.push_back(std::string("{\"type\":\"") + kind + "\",\"code\":\"" + Hex(e.wCode, 2) +
                        "\",\"key\":" + JsonString(key) + "}");
    }
    if (e.dwDelay != 0) {
      lines.push_back("delay " + std::to_string(e.dwDelay) + " ms");
      objects.push_back("{\"type\":\"delay\",\"ms\":" + std::to_string(e.dwDelay) + "}");
    }
  }
  if (a.json) {
    std::string out = "{\"name\":" + JsonString(a.name) + ",\"id\":\"" + Hex(m->dwID, 6) +
                      "\",\"loop_mode\":" + std::to_string(m->nLoopMode) +
                      ",\"repeat\":" + std::to_string(m->wRepeat) + ",\"events\":[";
    for (size_t i = 0; i < objects.size(); ++i) out += (i ? "," : "") + objects[i];
    std::printf("%s]}\n", out.c_str());
  } else {
    for (const std::string& l : lines) std::printf("%s\n", l.c_str());
  }
  return kExitOk;
}

int Save(MacroLibrary& lib, NodeId n) {
  if (int err = lib.SaveMacro(n); err != 0) {
    CliContext::Fail("cannot write the macro file, err=" + std::to_string(err));
    return kExitFailure;
  }
  return kExitOk;
}

int NewMacroCmd(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  MacroResult r = lib->NewMacro(a.name);
  if (!r.ok) return Refuse(r);
  if (int rc = Save(*lib, r.node); rc != kExitOk) return rc;
  std::printf("%s %s\n", lib->Node(r.node)->text.c_str(), Hex(r.id, 6).c_str());
  return kExitOk;
}

int AddEvents(const CliContext& ctx, const MacroArgs& a) {
  EnsureTexts(ctx);  // key names of the mouse buttons
  // Parse everything before touching the library.
  struct Parsed {
    bool isDelay;
    MacroEvent e;
  };
  std::vector<Parsed> parsed;
  for (const std::string& ev : a.events) {
    size_t colon = ev.find(':');
    std::string kind = ev.substr(0, colon), value = colon == std::string::npos ? "" : ev.substr(colon + 1);
    long v = 0;
    if (kind == "down" || kind == "up") {
      auto key = ParseKey(value);
      if (!key) {
        CliContext::Fail("unknown key in \"" + ev + "\"");
        return kExitUsage;
      }
      parsed.push_back({false, {*key, kind == "down" ? kEventPress : kEventRelease, 0}});
    } else if (kind == "delay" && ParseInt(value, 1, kMaxMacroDelay, v)) {
      parsed.push_back({true, {0, 0, uint32_t(v)}});
    } else if (kind == "move") {
      size_t comma = value.find(',');
      long x = 0, y = 0;
      if (comma == std::string::npos || !ParseInt(value.substr(0, comma), -128, 127, x) ||
          !ParseInt(value.substr(comma + 1), -128, 127, y) || (x == 0 && y == 0)) {
        CliContext::Fail("a move needs X,Y from -128 to 127, not both 0: \"" + ev + "\"");
        return kExitUsage;
      }
      uint16_t code = uint16_t(uint8_t(int8_t(x)) | (uint8_t(int8_t(y)) << 8));
      parsed.push_back({false, {code, kEventMove, 0}});
    } else {
      CliContext::Fail("bad event \"" + ev + "\" (down:KEY, up:KEY, delay:MS, move:X,Y)");
      return kExitUsage;
    }
  }
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  NodeId n = FindMacroNode(*lib, a.name);
  auto node = lib->Node(n);
  if (!node || !lib->FindById(node->id)) return NoSuchMacro(a.name);
  int status = kExitOk;
  lib->Update(node->id, [&](StMacro& m) {
    StMacro edit = m;
    int count = MacroEventCount(edit);
    for (const Parsed& p : parsed) {
      if (p.isDelay) {
        if (count == 0) {
          CliContext::Fail("a delay needs an event before it");
          status = kExitUsage;
          return;
        }
        // The record is packed: work on the field's value, never bind a reference to it.
        auto& prev = edit.stEvents[count - 1];
        prev.dwDelay = std::min<uint32_t>(uint32_t(prev.dwDelay) + p.e.dwDelay, kMaxMacroDelay);
        continue;
      }
      if (count >= kMaxMacroEvents) {
        std::string text = LangText("tc_macro_msg18");
        CliContext::Fail(text.empty() ? "A macro holds at most 70 events." : text);
        status = kExitFailure;
        return;
      }
      edit.stEvents[count++] = p.e;
    }
    for (int i = count; i < kMacroEventSlots; ++i) edit.stEvents[i] = MacroEvent{0, 0, 0};
    edit.dwDirty |= kMacroDirtyEvents;
    m = edit;
  });
  if (status != kExitOk) return status;
  return Save(*lib, n);
}

int RenameCmd(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  NodeId n = lib->FindNodeByPath(a.name);
  if (n == 0) return NoSuchMacro(a.name);
  MacroResult r = lib->Rename(n, a.newName);
  return r.ok ? kExitOk : Refuse(r);
}

int DeleteCmd(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  NodeId n = lib->FindNodeByPath(a.name);
  if (n == 0) return NoSuchMacro(a.name);
  MacroResult r = lib->DeleteNode(n);
  return r.ok ? kExitOk : Refuse(r);
}

int ImportCmd(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  MacroResult r = lib->Import(a.file);
  if (!r.ok) return Refuse(r);
  if (!r.message.empty()) {
    CliContext::Fail(r.message);
    return kExitFailure;
  }
  std::printf("%s %s\n", lib->Node(r.node)->text.c_str(), Hex(r.id, 6).c_str());
  return kExitOk;
}

int ExportCmd(const CliContext& ctx, const MacroArgs& a) {
  auto lib = OpenLibrary(ctx);
  if (!lib) return kExitFailure;
  NodeId n = FindMacroNode(*lib, a.name);
  if (n == 0) return NoSuchMacro(a.name);
  if (!lib->ExportMacro(n, a.file).ok) {
    CliContext::Fail("cannot copy the macro file to " + a.file);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

void RegisterMacroCommands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<MacroArgs>();
  CLI::App* macro = app.add_subcommand("macro", "The macro library in the user data folder");
  macro->require_subcommand(1);
  auto bind = [&ctx, args](CLI::App* sub, int (*fn)(const CliContext&, const MacroArgs&)) {
    sub->callback([&ctx, args, fn] { ctx.action = [&ctx, args, fn] { return fn(ctx, *args); }; });
  };

  CLI::App* list = macro->add_subcommand("list", "List the macros: name, id, events, play mode");
  list->add_flag("--json", args->json, "Print JSON");
  bind(list, ListMacros);

  CLI::App* show = macro->add_subcommand("show", "Print the events of a macro, one per line");
  show->add_option("NAME", args->name, "Macro name (Folder/Name inside folders)")->required();
  show->add_flag("--json", args->json, "Print JSON");
  bind(show, ShowMacro);

  CLI::App* make = macro->add_subcommand("new", "Create an empty macro");
  make->add_option("NAME", args->name, "Name of the new macro")->required();
  bind(make, NewMacroCmd);

  CLI::App* add = macro->add_subcommand("add", "Append events to a macro");
  add->add_option("NAME", args->name, "Macro name")->required();
  add->add_option("EVENT", args->events, "down:KEY, up:KEY, delay:MS or move:X,Y")->required();
  bind(add, AddEvents);

  CLI::App* rename = macro->add_subcommand("rename", "Rename a macro or folder");
  rename->add_option("OLD", args->name, "Current name")->required();
  rename->add_option("NEW", args->newName, "New name")->required();
  bind(rename, RenameCmd);

  CLI::App* del = macro->add_subcommand("delete", "Delete a macro or folder");
  del->add_option("NAME", args->name, "Macro or folder name")->required();
  bind(del, DeleteCmd);

  CLI::App* import = macro->add_subcommand("import", "Copy a macro file into the library");
  import->add_option("FILE", args->file, "A .qxm file")->required();
  bind(import, ImportCmd);

  CLI::App* exp = macro->add_subcommand("export", "Copy a macro's file out of the library");
  exp->add_option("NAME", args->name, "Macro name")->required();
  exp->add_option("FILE", args->file, "Destination .qxm file")->required();
  bind(exp, ExportCmd);
}

}  // namespace tolvane::cli
