// tolvanectl models / sensor: the catalogue and the sensor DPI tables.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/notifier.h"
#include "cli/cli.h"
#include "cli/cli_startup.h"
#include "cli/json.h"
#include "config/catalogue.h"

namespace tolvane::cli {

namespace {

std::string FamilyName(uint32_t fw) {
  if (fw == 0) return "PRO";
  if (fw == 1) return "PRO+";
  return "Fw" + std::to_string(fw);
}

int ListModels(bool json) {
  const Catalogue& cat = Cat();
  const std::vector<int> used = cat.ModelsInUse();
  if (json) {
    std::printf("[");
    for (size_t i = 0; i < used.size(); ++i) {
      const DevCfg& d = cat.dev[used[i]];
      std::printf(
          "%s\n  {\"entry\": %d, \"name\": %s, \"cid\": %u, \"mid\": %u, \"family\": %s, \"fw\": %u, "
          "\"sensor\": %u, \"levels\": %d, \"keys\": %d}",
          i ? "," : "", used[i] + 1, JsonString(d.Name()).c_str(), d.nCid, d.nMid,
          JsonString(FamilyName(d.nFw)).c_str(), d.nFw, d.nSensor, d.DpiLevels(), d.KeyCount());
    }
    std::printf("%s]\n", used.empty() ? "" : "\n");
    return kExitOk;
  }
  std::printf("%-5s  %-19s  %-4s  %-4s  %-6s  %-6s  %-6s  %s\n", "ENTRY", "NAME", "CID", "MID", "FAMILY",
              "SENSOR", "LEVELS", "KEYS");
  for (int i : used) {
    const DevCfg& d = cat.dev[i];
    std::printf("%-5d  %-19s  0x%02x  0x%02x  %-6s  0x%04x  %-6d  %d\n", i + 1, d.Name().c_str(), d.nCid,
                d.nMid, FamilyName(d.nFw).c_str(), d.nSensor, d.DpiLevels(), d.KeyCount());
  }
  return kExitOk;
}

// A whole-string number: hexadecimal (with or without 0x) or decimal.
std::optional<long long> ParseNumber(const std::string& s, int base) {
  std::string digits = s;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
    base = 16;
  }
  if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(digits.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || v > 0x7FFFFFFF) return std::nullopt;
  return v;
}

struct SensorArgs {
  std::string sensor;
  bool json = false;
  std::string dpi, code, mode;
};

void PrintConversion(bool json, int dpi, int code, int mode) {
  if (json)
    std::printf("{\"dpi\": %d, \"code\": %d, \"mode\": %d}\n", dpi, code, mode);
  else
    std::printf("dpi=%d code=%d mode=%d\n", dpi, code, mode);
}

int SensorCommand(const CliContext& ctx, const SensorArgs& a) {
  const auto sensor = ParseNumber(a.sensor, 16);
  if (!sensor || *sensor == 0) {
    CliContext::Fail("SENSOR must be a hexadecimal sensor id such as 0x3370, not \"" + a.sensor + "\"");
    return kExitUsage;
  }
  if (!a.dpi.empty() && (!a.code.empty() || !a.mode.empty())) {
    CliContext::Fail("--dpi cannot be combined with --code or --mode");
    return kExitUsage;
  }
  if (!a.mode.empty() && a.code.empty()) {
    CliContext::Fail("--mode needs --code");
    return kExitUsage;
  }
  std::optional<long long> dpi, code, mode = 0;
  if (!a.dpi.empty() && !(dpi = ParseNumber(a.dpi, 10))) {
    CliContext::Fail("--dpi needs a number, not \"" + a.dpi + "\"");
    return kExitUsage;
  }
  if (!a.code.empty() && !(code = ParseNumber(a.code, 10))) {
    CliContext::Fail("--code needs a number, not \"" + a.code + "\"");
    return kExitUsage;
  }
  if (!a.mode.empty() && !(mode = ParseNumber(a.mode, 10))) {
    CliContext::Fail("--mode needs a number, not \"" + a.mode + "\"");
    return kExitUsage;
  }

  if (!LoadCatalogueForCli(ctx, GetNotifier())) return kExitFailure;
  const SensorTables& tables = Cat().sensors;
  const uint32_t id = uint32_t(*sensor);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04x", id);
  const SensorCfg* table = tables.Find(id);
  if (!table) {
    CliContext::Fail(std::string("sensor ") + hex + " has no DPI table");
    return kExitFailure;
  }

  if (dpi) {
    // The sensor's own rule decides; the table lists only some of the values
    // a formula sensor takes.
    if (!tables.Defines(id, int(*dpi))) {
      CliContext::Fail(std::to_string(*dpi) + " DPI has no code on sensor " + hex);
      return kExitFailure;
    }
    int m = 0;
    const int c = tables.DpiToCode(id, int(*dpi), &m);
    PrintConversion(a.json, int(*dpi), c, m);
    if (tables.DpiToIndex(id, int(*dpi)) < 0)
      std::fprintf(stderr, "tolvanectl: %ld DPI is not in the table of sensor %s\n", long(*dpi), hex);
    return kExitOk;
  }
  if (code) {
    DevCfg model;
    model.nSensor = id;
    const int v = tables.CodeToDpi(&model, int(*code), int(*mode));
    if (v == 0) {
      CliContext::Fail("code " + std::to_string(*code) + " with mode " + std::to_string(*mode) +
                       " has no DPI value on sensor " + hex);
      return kExitFailure;
    }
    PrintConversion(a.json, v, int(*code), int(*mode));
    return kExitOk;
  }

  // The whole table, each value with the code and mode the device takes.
  if (a.json) {
    std::printf("{\"sensor\": %u, \"count\": %d, \"table\": [", id, table->nCount);
    for (int i = 0; i < table->nCount; ++i) {
      int m = 0;
      const int c = tables.DpiToCode(id, table->nDpi[i], &m);
      std::printf("%s\n  {\"index\": %d, \"dpi\": %d, \"code\": %d, \"mode\": %d}", i ? "," : "", i,
                  table->nDpi[i], c, m);
    }
    std::printf("%s]}\n", table->nCount ? "\n" : "");
    return kExitOk;
  }
  std::printf("sensor %s: %d values\n%-5s  %-6s  %-4s  %s\n", hex, table->nCount, "INDEX", "DPI", "CODE",
              "MODE");
  for (int i = 0; i < table->nCount; ++i) {
    int m = 0;
    const int c = tables.DpiToCode(id, table->nDpi[i], &m);
    std::printf("%-5d  %-6d  %-4d  %d\n", i, table->nDpi[i], c, m);
  }
  return kExitOk;
}

}  // namespace

void RegisterModelsCommands(CLI::App& app, CliContext& ctx) {
  auto* models = app.add_subcommand("models", "List the models of the catalogue (cfg.ini)");
  auto json = std::make_shared<bool>(false);
  models->add_flag("--json", *json, "Print a JSON array");
  models->callback([&ctx, json] {
    ctx.action = [&ctx, json] {
      if (!LoadCatalogueForCli(ctx, GetNotifier())) return kExitFailure;
      return ListModels(*json);
    };
  });

  auto* sensor = app.add_subcommand("sensor", "Print a sensor's DPI table or convert DPI values and codes");
  auto args = std::make_shared<SensorArgs>();
  sensor->add_option("SENSOR", args->sensor, "Sensor id in hexadecimal, e.g. 0x3370")->required();
  sensor->add_flag("--json", args->json, "Print JSON");
  sensor->add_option("--dpi", args->dpi, "Print the code and mode of this DPI value");
  sensor->add_option("--code", args->code, "Print the DPI value of this register code");
  sensor->add_option("--mode", args->mode, "Resolution mode given with --code (default 0)");
  sensor->callback([&ctx, args] {
    ctx.action = [&ctx, args] { return SensorCommand(ctx, *args); };
  });
}

}  // namespace tolvane::cli
