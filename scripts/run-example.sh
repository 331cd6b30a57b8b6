#!/usr/bin/env bash
# The main job on the bundled example.
set -euo pipefail
kova=$1
"$kova" version
echo
"$kova" check-format COMMA10.2
"$kova" check-format ANYDTDTE. --informat
