#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | grep -v '^service/coast_japan' | xargs clang-format --dry-run -Werror
echo "format: every file as .clang-format says"
