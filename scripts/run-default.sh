#!/usr/bin/env bash
# The main job on its built-in default, run from a built tree.
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/default/bin/tolvanectl "${@:-version}"
