// soak --runs N --seed S [--mice 1..4] [--ops M] [--pacing] [--scale K] [--verbose]
// Seeded fault-injection runs against virtual mice; exits 1 on any violation.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "app/log.h"
#include "soak.h"

int main(int argc, char** argv) {
  tolvane::soak::SoakOptions o;
  CLI::App app("Fault-injection soak of the device, profile and macro layers against virtual mice");
  app.add_option("--runs", o.runs, "number of runs")->check(CLI::PositiveNumber);
  app.add_option("--seed", o.seed, "seed of the first run (run r uses seed + r)");
  app.add_option("--mice", o.mice, "mice per run, 1 to 4 (default: 1 to 4 at random)")
      ->check(CLI::Range(1, 4));
  app.add_option("--ops", o.ops, "operations per run")->check(CLI::PositiveNumber);
  app.add_option("--scale", o.boundScale, "multiplies every time bound (slow builds)")
      ->check(CLI::PositiveNumber);
  app.add_flag("--pacing", o.pacing, "keep the pauses between EEPROM pieces");
  app.add_flag("--verbose", o.verbose, "one line per operation");
  CLI11_PARSE(app, argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  tolvane::LogLevel = 0;
  tolvane::soak::SoakCounts c = tolvane::soak::RunSoak(o);
  std::fflush(stdout);
  return c.violations.empty() ? 0 : 1;
}
