// Spec strings: how tests, tolvanectl and the GUI describe a virtual mouse.
//
//   FAMILY[:key=value,...]    FAMILY is `pro` or `pro+`
//   cid=HEX mid=HEX           identity (default: the family's first catalogue model)
//   link=wired|wireless       default: from pid when a product list knows it, else wired
//   pid=HEX vid=HEX           USB ids (default: the first of the catalogue lists)
//   eeprom=PATH               raw image, created from the factory image when missing
//   latency=MS                reply latency
//   power=N charging[=0|1]    battery level (percent) and charging flag
//   asleep[=0|1] wake=MS      wireless: the mouse is off, and wakes MS after plug-in
//   4k=HEX ver=HEX            PRO+ 4K code of the identification reply; bcdDevice
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/catalogue.h"
#include "config/dev_cfg.h"
#include "sim/sim_factory.h"
#include "sim/sim_mouse.h"
#include "sim/sim_transport.h"

namespace tolvane::sim {

struct SimSpec {
  Family family = Family::Pro;
  std::optional<uint8_t> cid, mid;
  std::optional<Link> link;
  std::optional<uint16_t> pid, vid;
  std::string eeprom;
  int latencyMs = 0;
  uint8_t power = 100;
  bool charging = false;
  bool asleep = false;
  int wakeAfterMs = -1;
  std::optional<uint8_t> code4k;
  uint16_t version = 0x0100;
};

// What the catalogue supplies: the models and the USB id lists.
struct SimCatalogue {
  std::vector<DevCfg> models;
  std::vector<uint16_t> vids, wiredPids, wirelessPids;
  FactoryOptions factory;
};

// The models in use and the USB id lists of a loaded catalogue. The DPI codes
// of the factory images come from the catalogue's sensor tables, which must
// outlive the result.
SimCatalogue SimCatalogueFrom(const Catalogue& cat);

// Ids used when the catalogue lists none.
constexpr uint16_t kFallbackVid = 0x7A05;
constexpr uint16_t kFallbackWiredPid = 0x0A01;
constexpr uint16_t kFallbackWirelessPid = 0x0A02;

// Parses a spec string. On failure returns false and a one-line message.
bool ParseSimSpec(const std::string& text, SimSpec* out, std::string* err);

// The model a spec stands for: the catalogue entry of its identity, or a
// generic model carrying an identity no catalogue entry has.
bool ResolveModel(const SimSpec& spec, const SimCatalogue& cat, DevCfg* model, std::string* err);

// Builds the mouse (not yet plugged in). Null and a message on failure, for
// example an EEPROM image of the wrong size or one that cannot be created.
std::shared_ptr<VirtualMouse> MakeVirtualMouse(const SimSpec& spec, const SimCatalogue& cat,
                                               std::string* err);
std::shared_ptr<VirtualMouse> MakeVirtualMouse(const std::string& spec, const SimCatalogue& cat,
                                               std::string* err);

// A transport with one plugged-in mouse per spec (--simulate, repeatable).
// Null and the first spec's message when any spec fails.
std::unique_ptr<SimTransport> MakeSimTransport(const std::vector<std::string>& specs,
                                               const SimCatalogue& cat, std::string* err);

}  // namespace tolvane::sim
