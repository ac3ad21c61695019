// The page's look: plain, large enough to touch on a tablet, no fonts or
// pictures fetched from anywhere.
#include "console/page.h"

const char* pageCss() {
  return R"css(
:root { --ink: #1d2127; --soft: #5b6470; --line: #d6dbe1; --ok: #1e7b34; --bad: #b3261e;
  --warn: #9a6700; --bar: #2f6fd6; --back: #f6f7f9; }
* { box-sizing: border-box; }
body { margin: 0; font: 16px/1.4 system-ui, sans-serif; color: var(--ink); background: var(--back); }
header { display: flex; align-items: baseline; gap: 1em; padding: .6em 1em; background: #20262e;
  color: #fff; }
h1 { font-size: 1.3em; margin: 0; }
h2 { font-size: 1.1em; margin: 0 0 .5em; }
main { display: grid; gap: 1em; padding: 1em; grid-template-columns: minmax(18em, 1fr) 3fr; }
section { background: #fff; border: 1px solid var(--line); border-radius: 6px; padding: .8em; }
#runs-section { grid-column: 2; grid-row: 1 / span 3; }
@media (max-width: 900px) { main { grid-template-columns: 1fr; }
  #runs-section { grid-column: 1; grid-row: auto; } }
label { display: block; margin: .3em 0; }
input[type=text], select { font: inherit; padding: .35em; width: 100%; border: 1px solid var(--line);
  border-radius: 4px; }
.row { display: flex; gap: 1em; flex-wrap: wrap; align-items: end; }
.row label { flex: 1; }
.check { display: flex; align-items: center; gap: .4em; }
.check input { width: 1.3em; height: 1.3em; }
button { font: inherit; padding: .45em 1.1em; border-radius: 4px; border: 1px solid #244f99;
  background: var(--bar); color: #fff; cursor: pointer; min-height: 2.4em; }
button.stop { background: var(--bad); border-color: #7d1a15; }
button:disabled { opacity: .5; cursor: default; }
.info { color: var(--soft); margin: .3em 0; overflow-wrap: anywhere; }
.refusal { color: var(--bad); white-space: pre-wrap; margin: .5em 0 0; }
.link { font-size: .9em; color: #c9d1da; }
.link.down { color: #ffb4ab; }
.run { border-top: 1px solid var(--line); padding: .6em 0; }
.run:first-child { border-top: 0; }
.run-head { display: flex; flex-wrap: wrap; gap: .3em 1em; align-items: center; }
.run-head .title { font-weight: 600; }
table { border-collapse: collapse; width: 100%; margin-top: .4em; font-variant-numeric: tabular-nums; }
th, td { text-align: left; padding: .25em .5em; border-bottom: 1px solid var(--line);
  vertical-align: middle; }
th { font-weight: 600; color: var(--soft); font-size: .9em; }
td.num { text-align: right; white-space: nowrap; }
.bar { width: 9em; height: .8em; background: #e6e9ed; border-radius: 3px; overflow: hidden; }
.bar > div { height: 100%; width: 0; background: var(--bar); }
.state-done { color: var(--ok); font-weight: 600; }
.state-failed, .state-refused, .state-not-verified { color: var(--bad); font-weight: 600; }
.state-stopped, .state-skipped { color: var(--warn); font-weight: 600; }
.reason { color: var(--soft); font-size: .92em; }
details pre { max-height: 14em; overflow: auto; background: #20262e; color: #e6e9ed;
  padding: .5em; font-size: .85em; white-space: pre-wrap; }
.driver { margin: .3em 0; }
.driver .name { font-weight: 600; }
)css";
}
