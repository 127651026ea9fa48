#!/usr/bin/env bash
# The main job on its built-in default, run from a built tree.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then set -- models; fi
exec build/default/bin/tolvanectl "$@"
