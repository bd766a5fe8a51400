// The time limits and the HTTP status from JScript, late bound.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var stall = parseInt(env("QUORLIN_STALL_PORT"), 10);
var http = new ActiveXObject("quorlin.HTTP");
check(http.Timeout === 0 && http.Status === 0, "both start at 0");
var e = raised(function () { http.Timeout = 86401; });
check(e && e.number == -2146828283 && e.description == "Invalid procedure call or argument", "limit refused: " + describe(e));
http.Timeout = 1;
http.URL = "127.0.0.1:" + (stall + 3) + "/body-stall";
var started = new Date().getTime();
e = raised(function () { var body = http.GetString(); });
var took = new Date().getTime() - started;
check(e && e.number == -2147220501 && e.description.indexOf("GetString error code: 12002 ") > 0,
    "a stalled body times out: " + describe(e));
check(took < 3500, "within the limit plus two seconds: " + took);
check(http.Status == 200, "the status was read before the body stalled: " + http.Status);
var ftp = new ActiveXObject("quorlin.FTP");
ftp.Timeout = 1;
ftp.URL = "127.0.0.1";
ftp.Port = stall + 1;
ftp.Username = "any";
e = raised(function () { ftp.OpenConnection(); });
check(e && e.number == -2147220990 && e.description.indexOf("OpenConnection error code: 12002 ") > 0,
    "a server that never greets times out: " + describe(e));
// A download left stalled when this process ends: scripts/test finds its folder empty afterwards.
var fso = new ActiveXObject("Scripting.FileSystemObject"), folder = env("QUORLIN_SCRATCH") + "\\process-end";
if (!fso.FolderExists(folder)) fso.CreateFolder(folder);
ftp.Port = stall + 2;
ftp.Passive = true;
ftp.OpenConnection();
e = raised(function () { ftp.GetFile("stall.bin", folder + "\\stalled.bin", true); });
check(e && e.description.indexOf("GetFile error code: 12002 ") > 0, "a stalled download times out: " + describe(e));
endSuite();
