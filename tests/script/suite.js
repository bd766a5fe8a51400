// What every JScript suite shares: the counters, check, raised, describe, and
// the closing lines that scripts/test reads. A suite loads this file with eval.
var passed = 0, failed = 0;
function check(condition, what) {
    if (condition) passed++; else { failed++; WScript.Echo("FAIL: " + what); }
}
function describe(e) { return e ? e.number + " " + e.description : "no error"; }
function raised(action) {
    try { action(); } catch (e) { return e; }
    return null;
}
function endSuite() {
    WScript.Echo(passed + " passed, " + failed + " failed");
    WScript.Echo("END OF SUITE");
    WScript.Quit(failed > 0 ? 1 : 0);
}
