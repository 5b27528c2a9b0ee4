#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The wire-fault campaign at length: one drive of a million passes (or the
# count given) against the faulty wire, every row, code and identification
# compared with what its own pass received. Needs a built tree (build/ or
# the folder given second). Prints the campaign's figures.
set -euo pipefail
cd "$(dirname "$0")/.."
passes=${1:-1000000}
dir=${2:-build}
seed=${SEED:-1}
M797_CAMPAIGN_PASSES=$passes M797_CAMPAIGN_SEED=$seed \
  "$dir/tests/logic_tests" --gtest_filter='WireFaultCampaign.*'
