#!/usr/bin/env bash
# The house rules a build cannot see: which room may include which, and one
# code style. Fails, naming the file, when a rule is broken.
#   engine/  includes nothing from drivers/, device/, ui/ or cli/ (it runs
#            unchanged under every front end and with every driver);
#   device/  includes nothing of engine/'s frame code (a receiver model that
#            calls the sender's code would check nothing);
#   console/ includes nothing of cli/ (two front ends side by side, both on
#            the session library);
#   session/ includes no front end, writes nothing to standard output or
#            error and never ends the process (front ends decide all that);
#   records/ includes nothing of the house but itself (it knows SQLite only),
#            and like session/ prints nothing and never ends the process;
# (each room's include path is also its own folder and its dependencies':
# cmake/Rooms.cmake, so the compiler refuses most wrong includes by itself)
#   every C++ file is formatted as .clang-format says.
set -uo pipefail
cd "$(dirname "$0")/.."
failed=0

check_includes() {
  local room=$1 pattern=$2 why=$3
  local hits
  hits=$(grep -rnE "^#include \"($pattern)" "$room" --include='*.cpp' --include='*.h' || true)
  if [ -n "$hits" ]; then
    echo "$room/ must not include $why:"
    echo "$hits"
    failed=1
  fi
}

check_includes engine 'drivers/|device/|ui/|cli/|session/' "drivers/, device/, ui/, cli/ or session/"
check_includes session 'cli/|ui/|console/' "a front end (cli/, ui/, console/)"
check_includes console 'cli/|ui/' "another front end (cli/, ui/)"
check_includes records 'engine/|drivers/|device/|files/|profiles/|session/|cli/|ui/|console/' \
  "another room of the house (it knows SQLite only)"

for room in session records; do
  stdio=$(grep -rnE "\b(std::)?(printf|puts|perror)\(|\bstd(out|err)\b|std::cout|std::cerr|\b(std::)?(_Exit|exit|abort|quick_exit)\(" $room --include='*.cpp' --include='*.h' || true)
  if [ -n "$stdio" ]; then
    echo "$room/ must not print or end the process:"
    echo "$stdio"
    failed=1
  fi
done
check_includes device 'engine/frame' "engine/'s frame code"

if command -v clang-format >/dev/null; then
  unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -oE '^[^:]+\.(cpp|h)' | sort -u)
  if [ -n "$unformatted" ]; then
    echo "not formatted as .clang-format says (clang-format -i FILE):"
    echo "$unformatted"
    failed=1
  fi
else
  echo "clang-format is missing; the style is not checked" >&2
  failed=1
fi

[ $failed -eq 0 ] && echo "house rules hold"
exit $failed
